#include "platform/linux/dbus_notification_center.h"
#include "tools/companion/commands.h"
#include "tools/companion/session_bus.h"
#include "tools/plist_json.h"

#include <glib-unix.h>
#include <glib.h>

#include <giomm/dbusconnection.h>
#include <glibmm/main.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <iostream>
#include <optional>
#include <set>

namespace corvane::tools::companion {

namespace {

struct ListenOptions {
    std::optional<std::uint64_t> count;
    std::optional<double> timeoutSeconds;
    std::set<std::string> names;
};

Outcome<ListenOptions> parseListen(Arguments args) {
    ListenOptions options;
    ArgumentReader reader(args);
    while (!reader.done()) {
        std::string_view arg = reader.take();
        if (arg == "--count") {
            auto count = reader.numberOf<std::uint64_t>(arg, "a positive whole number",
                                                        [](std::uint64_t n) { return n > 0; });
            if (!count)
                return propagate(count);
            options.count = *count;
        } else if (arg == "--timeout") {
            auto seconds =
                reader.numberOf<double>(arg, "a number of seconds above 0", [](double s) {
                    return std::isfinite(s) && s > 0 && s <= 1e6;
                });
            if (!seconds)
                return propagate(seconds);
            options.timeoutSeconds = *seconds;
        } else if (arg.starts_with("--")) {
            return usageError("unknown option " + printable(arg));
        } else {
            if (arg.empty())
                return usageError("a notification name is empty");
            auto name = requireText(arg, "the notification name");
            if (!name)
                return propagate(name);
            options.names.insert(std::move(*name));
        }
    }
    return options;
}

struct ListenState {
    Glib::RefPtr<Glib::MainLoop> loop;
    ListenOptions options;
    std::uint64_t received = 0;
    /// The timeout's source while it is pending.
    guint timeout = 0;
    /// Set when the listening ends short of what was asked.
    std::optional<CommandError> error;
};

gboolean onTimeout(gpointer data) {
    auto* state = static_cast<ListenState*>(data);
    state->timeout = 0; // removed by returning G_SOURCE_REMOVE
    try {
        if (state->options.count)
            state->error = CommandError{
                ExitStatus::Failure, "timed out after " + std::to_string(state->received) + " of " +
                                         std::to_string(*state->options.count) + " notifications"};
    } catch (...) {
        // Out of memory for the message: end without it.
        state->error = CommandError{};
    }
    state->loop->quit();
    return G_SOURCE_REMOVE;
}

gboolean onQuitSignal(gpointer data) {
    auto* state = static_cast<ListenState*>(data);
    // Stopped before the count is reached: a failure that needs no words.
    if (state->options.count)
        state->error = CommandError{};
    state->loop->quit();
    return G_SOURCE_CONTINUE;
}

} // namespace

Outcome<> listen(Arguments args) {
    ListenState state;
    auto options = parseListen(args);
    if (!options)
        return propagate(options);
    state.options = std::move(*options);

    auto bus = connectToSessionBus();
    if (!bus)
        return propagate(bus);
    Glib::RefPtr<Gio::DBus::Connection> connection = std::move(*bus);
    state.loop = Glib::MainLoop::create();

    DBusNotificationCenter center(connection, std::cerr);
    auto print = [&state](const Notification& notification) {
        if (state.options.count && state.received >= *state.options.count)
            return;
        PlistDictionary line{{"name", notification.name}, {"userInfo", notification.userInfo}};
        std::cout << json::toJson(line) << std::endl;
        ++state.received;
        if (state.options.count && state.received == *state.options.count)
            state.loop->quit();
    };
    if (state.options.names.empty())
        center.addObserver("", print);
    for (const std::string& name : state.options.names)
        center.addObserver(name, print);

    connection->signal_closed().connect([&state](bool, const Glib::Error&) {
        try {
            state.error =
                CommandError{ExitStatus::Failure, "the session bus closed the connection"};
        } catch (...) {
            state.error = CommandError{};
        }
        state.loop->quit();
    });

    // A round trip to the bus, so the subscription is in force before we say so.
    try {
        connection->call_sync("/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId", {},
                              "org.freedesktop.DBus");
    } catch (const Glib::Error& error) {
        return failure("the session bus does not answer: " + std::string(error.what()));
    }
    std::cerr << "listening" << std::endl;

    if (state.options.timeoutSeconds)
        state.timeout =
            g_timeout_add(static_cast<guint>(std::ceil(*state.options.timeoutSeconds * 1000.0)),
                          onTimeout, &state);
    guint sigint = g_unix_signal_add(SIGINT, onQuitSignal, &state);
    guint sigterm = g_unix_signal_add(SIGTERM, onQuitSignal, &state);
    state.loop->run();
    if (state.timeout)
        g_source_remove(state.timeout);
    g_source_remove(sigint);
    g_source_remove(sigterm);

    if (state.error)
        return std::unexpected(std::move(*state.error));
    return {};
}

} // namespace corvane::tools::companion
