// corvane-companion: plays the companion app. Writes the shared settings the
// extension reads (running flag, menu options, secured directories), reads
// them back as JSON, and listens to the extension's distributed notifications.

#include "extension/companion_contract.h"
#include "platform/file_url.h"
#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist/plist_codec.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/linux/posix_io.h"
#include "tools/plist_json.h"

#include <glib-unix.h>
#include <glib.h>
#include <unistd.h>

#include <giomm/dbusconnection.h>
#include <giomm/init.h>
#include <glibmm/main.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace corvane;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: corvane-companion running on|off|clear\n"
    "       corvane-companion options [--file] KEY=VALUE... | options [--file] --clear\n"
    "       corvane-companion grant DIR [--key KEY]\n"
    "       corvane-companion revoke KEY\n"
    "       corvane-companion read KEY\n"
    "       corvane-companion listen [--count N] [--timeout SECONDS] [NAME...]\n";

/// A command line that cannot be carried out as given: exit 2 with the usage.
struct UsageError {
    std::string message;
};

/// Something outside the command line failed: exit 1 with the message.
struct Failure {
    std::string message;
};

bool isUtf8(std::string_view text) {
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

/// `text` for a message: as it is when it is UTF-8, else with the stray bytes escaped.
std::string printable(std::string_view text) {
    if (isUtf8(text))
        return std::string(text);
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
    return out;
}

/// An argument that must become a property-list string.
std::string requireText(std::string_view argument, std::string_view what) {
    if (!isUtf8(argument))
        throw UsageError{std::string(what) + " \"" + printable(argument) + "\" is not valid UTF-8"};
    return std::string(argument);
}

// ---------------------------------------------------------------- shared settings

struct SharedSettings {
    DirectoryAppGroupContainers containers{DirectoryAppGroupContainers::rootFromEnvironment()};
    PlistFileSettingsProvider provider{containers};

    std::string containerFolder() {
        auto url = containers.containerURL(contract::kAppGroupId);
        if (!url)
            throw Failure{"the App Group container \"" + std::string(contract::kAppGroupId) +
                          "\" cannot be used under " + printable(containers.root())};
        return url->path();
    }

    std::unique_ptr<SettingsSuite> openSuite() {
        auto suite = provider.openSuite(contract::kAppGroupId);
        if (!suite)
            throw Failure{"the shared settings suite \"" + std::string(contract::kAppGroupId) +
                          "\" cannot be opened under " + printable(containers.root())};
        return suite;
    }
};

void check(const Expected<void>& result, std::string_view what) {
    if (!result)
        throw Failure{"cannot " + std::string(what) + ": " + result.error().description};
}

// Every write is followed by a synchronize, as the companion app does.
void store(SettingsSuite& suite, std::string_view key, const PlistValue& value) {
    check(suite.setObject(value, key), "write \"" + std::string(key) + "\"");
    suite.synchronize();
}

void erase(SettingsSuite& suite, std::string_view key) {
    check(suite.removeObject(key), "remove \"" + std::string(key) + "\"");
    suite.synchronize();
}

// ---------------------------------------------------------------- commands

int running(const std::vector<std::string_view>& args) {
    if (args.size() != 1)
        throw UsageError{"running takes one of on, off, clear"};
    SharedSettings settings;
    auto suite = settings.openSuite();
    if (args[0] == "on" || args[0] == "off")
        store(*suite, contract::kAppRunningKey, args[0] == "on");
    else if (args[0] == "clear")
        erase(*suite, contract::kAppRunningKey);
    else
        throw UsageError{"running takes one of on, off, clear"};
    return 0;
}

/// `true`/`false` are booleans, a decimal integer is a number, anything else a string.
PlistValue optionValue(std::string_view text) {
    if (text == "true")
        return true;
    if (text == "false")
        return false;
    std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
    if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos) {
        std::int64_t number = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (ec == std::errc() && end == text.data() + text.size())
            return number;
    }
    return requireText(text, "the value");
}

int options(const std::vector<std::string_view>& args) {
    bool toFile = false, clear = false, optionsEnded = false;
    PlistDictionary menuOptions;
    for (std::string_view arg : args) {
        if (!optionsEnded && arg == "--file") {
            toFile = true;
        } else if (!optionsEnded && arg == "--clear") {
            clear = true;
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.starts_with("--")) {
            throw UsageError{"unknown option " + printable(arg)};
        } else {
            auto eq = arg.find('=');
            if (eq == std::string_view::npos || eq == 0)
                throw UsageError{"expected KEY=VALUE, got \"" + printable(arg) + "\""};
            menuOptions.set(requireText(arg.substr(0, eq), "the key"),
                            optionValue(arg.substr(eq + 1)));
        }
    }
    if (clear && !menuOptions.empty())
        throw UsageError{"--clear takes no KEY=VALUE"};

    SharedSettings settings;
    if (toFile) {
        std::string path =
            settings.containerFolder() + "/" + std::string(contract::kMenuOptionsFileName);
        if (clear) {
            if (::unlink(path.c_str()) != 0 && errno != ENOENT)
                throw Failure{"cannot remove " + printable(path) + ": " + std::strerror(errno)};
            return 0;
        }
        auto xml = plist::writeXml(menuOptions);
        if (!xml)
            throw Failure{"cannot encode the menu options: " + xml.error().description};
        // Readers see the previous file or the new one, never a partial file.
        if (auto written = posix::writeFileAtomically(path, *xml, 0644, posix::Replace::Existing);
            !written)
            throw Failure{"cannot write " + printable(path) + ": " +
                          std::strerror(written.error().code)};
        return 0;
    }
    auto suite = settings.openSuite();
    if (clear)
        erase(*suite, contract::kMenuOptionsKey);
    else
        store(*suite, contract::kMenuOptionsKey, menuOptions);
    return 0;
}

std::string absolutePath(std::string_view path) {
    if (path.empty())
        throw UsageError{"DIR is empty"};
    std::filesystem::path full(path);
    if (!full.is_absolute())
        full = std::filesystem::current_path() / full;
    return FileURL::fromPath(full.lexically_normal().native()).path();
}

int grant(const std::vector<std::string_view>& args) {
    std::optional<std::string_view> dir, key;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--key") {
            if (++i == args.size())
                throw UsageError{"--key needs a value"};
            key = args[i];
        } else if (!dir) {
            dir = args[i];
        } else {
            throw UsageError{"grant takes one DIR"};
        }
    }
    if (!dir)
        throw UsageError{"grant needs a DIR"};
    std::string path = absolutePath(*dir);
    std::string label = key ? requireText(*key, "the key")
                            : requireText(path, "the folder's path (give --key KEY)");
    if (label.empty())
        throw UsageError{"the key is empty"};

    auto bookmark = makeBookmarkData(path);
    if (!bookmark)
        throw Failure{"cannot make a bookmark of " + printable(path) + ": " +
                      bookmark.error().description};
    SharedSettings settings;
    auto suite = settings.openSuite();
    PlistDictionary directories =
        suite->dictionaryForKey(contract::kSecuredDirectoriesKey).value_or(PlistDictionary{});
    directories.set(label, PlistData{std::move(*bookmark)});
    store(*suite, contract::kSecuredDirectoriesKey, directories);
    return 0;
}

int revoke(const std::vector<std::string_view>& args) {
    if (args.size() != 1)
        throw UsageError{"revoke takes one KEY"};
    std::string key = requireText(args[0], "the key");
    SharedSettings settings;
    auto suite = settings.openSuite();
    auto directories = suite->dictionaryForKey(contract::kSecuredDirectoriesKey);
    if (!directories || !directories->remove(key))
        throw Failure{"no secured directory is stored under \"" + key + "\""};
    store(*suite, contract::kSecuredDirectoriesKey, *directories);
    return 0;
}

int read(const std::vector<std::string_view>& args) {
    if (args.size() != 1)
        throw UsageError{"read takes one KEY"};
    std::string key = requireText(args[0], "the key");
    SharedSettings settings;
    auto suite = settings.openSuite();
    auto value = suite->objectForKey(key);
    std::cout << (value ? json::toJson(*value) : "null") << std::endl;
    return 0;
}

// ---------------------------------------------------------------- listen

struct ListenOptions {
    std::optional<std::uint64_t> count;
    std::optional<double> timeoutSeconds;
    std::set<std::string> names;
};

ListenOptions parseListen(const std::vector<std::string_view>& args) {
    ListenOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--count" || arg == "--timeout") {
            if (++i == args.size())
                throw UsageError{std::string(arg) + " needs a value"};
            std::string_view value = args[i];
            if (arg == "--count") {
                std::uint64_t count = 0;
                auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), count);
                if (ec != std::errc() || end != value.data() + value.size() || count == 0)
                    throw UsageError{"--count needs a positive whole number"};
                options.count = count;
            } else {
                double seconds = 0;
                auto [end, ec] =
                    std::from_chars(value.data(), value.data() + value.size(), seconds);
                if (ec != std::errc() || end != value.data() + value.size() ||
                    !std::isfinite(seconds) || seconds <= 0 || seconds > 1e6)
                    throw UsageError{"--timeout needs a number of seconds above 0"};
                options.timeoutSeconds = seconds;
            }
        } else if (arg.starts_with("--")) {
            throw UsageError{"unknown option " + printable(arg)};
        } else {
            if (arg.empty())
                throw UsageError{"a notification name is empty"};
            options.names.insert(requireText(arg, "the notification name"));
        }
    }
    return options;
}

struct ListenState {
    Glib::RefPtr<Glib::MainLoop> loop;
    ListenOptions options;
    std::uint64_t received = 0;
    int exitStatus = 0;
    std::string reason;
};

gboolean onTimeout(gpointer data) {
    auto* state = static_cast<ListenState*>(data);
    try {
        if (state->options.count) {
            state->exitStatus = kExitFailure;
            state->reason = "timed out after " + std::to_string(state->received) + " of " +
                            std::to_string(*state->options.count) + " notifications";
        }
    } catch (...) {
        // Out of memory for the message: end without it.
    }
    state->loop->quit();
    return G_SOURCE_REMOVE;
}

gboolean onQuitSignal(gpointer data) {
    auto* state = static_cast<ListenState*>(data);
    if (state->options.count)
        state->exitStatus = kExitFailure;
    state->loop->quit();
    return G_SOURCE_CONTINUE;
}

int listen(const std::vector<std::string_view>& args) {
    ListenState state;
    state.options = parseListen(args);

    Gio::init();
    Glib::RefPtr<Gio::DBus::Connection> connection;
    try {
        connection = Gio::DBus::Connection::get_sync(Gio::DBus::BusType::SESSION);
    } catch (const Glib::Error& error) {
        throw Failure{"cannot connect to the session bus: " + std::string(error.what())};
    }
    connection->set_exit_on_close(false);
    state.loop = Glib::MainLoop::create();

    DBusNotificationCenter center(connection);
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
            state.exitStatus = kExitFailure;
            state.reason = "the session bus closed the connection";
            state.loop->quit();
        } catch (...) {
        }
    });

    // A round trip to the bus, so the subscription is in force before we say so.
    try {
        connection->call_sync("/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId", {},
                              "org.freedesktop.DBus");
    } catch (const Glib::Error& error) {
        throw Failure{"the session bus does not answer: " + std::string(error.what())};
    }
    std::cerr << "listening" << std::endl;

    guint timeout = 0;
    if (state.options.timeoutSeconds)
        timeout =
            g_timeout_add(static_cast<guint>(std::ceil(*state.options.timeoutSeconds * 1000.0)),
                          onTimeout, &state);
    guint sigint = g_unix_signal_add(SIGINT, onQuitSignal, &state);
    guint sigterm = g_unix_signal_add(SIGTERM, onQuitSignal, &state);
    state.loop->run();
    if (timeout)
        g_source_remove(timeout);
    g_source_remove(sigint);
    g_source_remove(sigterm);

    if (!state.reason.empty())
        std::cerr << "corvane-companion: " << state.reason << '\n';
    return state.exitStatus;
}

int run(int argc, char** argv) {
    if (argc < 2)
        throw UsageError{"no command"};
    std::string_view command = argv[1];
    std::vector<std::string_view> args(argv + 2, argv + argc);
    if (command == "running")
        return running(args);
    if (command == "options")
        return options(args);
    if (command == "grant")
        return grant(args);
    if (command == "revoke")
        return revoke(args);
    if (command == "read")
        return read(args);
    if (command == "listen")
        return listen(args);
    throw UsageError{"unknown command \"" + printable(command) + "\""};
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const UsageError& error) {
        std::cerr << "corvane-companion: " << error.message << '\n' << kUsage;
        return kExitUsage;
    } catch (const Failure& error) {
        std::cerr << "corvane-companion: " << error.message << '\n';
    } catch (const Glib::Error& error) {
        std::cerr << "corvane-companion: " << error.what() << '\n';
    } catch (const std::exception& error) {
        std::cerr << "corvane-companion: " << error.what() << '\n';
    }
    return kExitFailure;
}
