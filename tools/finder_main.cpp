// corvane-finder: plays the file manager. Asks the extension process for its
// context menu and delivers chosen actions, over the session bus.

#include "platform/file_url.h"
#include "platform/linux/finder_bus_protocol.h"
#include "tools/plist_json.h"

#include <gio/gio.h>
#include <giomm/dbusconnection.h>
#include <giomm/init.h>

#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace corvane;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// The extension answers from its main loop at once; anything slower means it is stuck.
constexpr int kCallTimeoutMs = 5000;

constexpr char kUsage[] =
    "usage: corvane-finder menu [--kind N] [--target DIR | --no-target] [--json] [ITEM...]\n"
    "       corvane-finder choose TITLE [--target DIR | --no-target] [ITEM...]\n"
    "       corvane-finder perform SELECTOR [--target DIR | --no-target] [ITEM...]\n";

struct UsageError {
    std::string message;
};

enum class Command { Menu, Choose, Perform };

struct CommandLine {
    Command command = Command::Menu;
    /// TITLE for choose, SELECTOR for perform.
    std::string operand;
    unsigned menuKind = 0;
    bool json = false;
    bool noTarget = false;
    std::optional<std::string> target;
    std::vector<std::string> items;
};

/// `path` made absolute against `cwd` and tidied lexically; bytes pass through untouched.
FileURL absoluteURL(const std::string& path, const std::string& cwd) {
    if (path.empty())
        throw UsageError{"a path is empty"};
    std::filesystem::path full =
        path.front() == '/' ? std::filesystem::path(path) : std::filesystem::path(cwd) / path;
    return FileURL::fromPath(full.lexically_normal().native());
}

CommandLine parse(int argc, char** argv) {
    if (argc < 2)
        throw UsageError{"no command"};
    CommandLine line;
    std::string_view command = argv[1];
    int next = 2;
    if (command == "menu") {
        line.command = Command::Menu;
    } else if (command == "choose" || command == "perform") {
        line.command = command == "choose" ? Command::Choose : Command::Perform;
        if (argc < 3)
            throw UsageError{std::string(command) + " needs an argument"};
        line.operand = argv[2];
        next = 3;
    } else {
        throw UsageError{"unknown command"};
    }

    bool optionsEnded = false;
    for (int i = next; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (optionsEnded || arg.empty() || arg.front() != '-' || arg == "-") {
            line.items.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--target") {
            if (++i == argc)
                throw UsageError{"--target needs a folder"};
            line.target = argv[i];
        } else if (arg == "--no-target") {
            line.noTarget = true;
        } else if (arg == "--json" && line.command == Command::Menu) {
            line.json = true;
        } else if (arg == "--kind" && line.command == Command::Menu) {
            if (++i == argc)
                throw UsageError{"--kind needs a number"};
            std::string_view number = argv[i];
            auto [end, error] =
                std::from_chars(number.data(), number.data() + number.size(), line.menuKind);
            if (error != std::errc() || end != number.data() + number.size())
                throw UsageError{"--kind needs an unsigned number"};
        } else {
            throw UsageError{"unknown option " + std::string(arg)};
        }
    }
    if (line.noTarget && line.target)
        throw UsageError{"--target and --no-target exclude each other"};
    return line;
}

finderbus::RequestContext contextOf(const CommandLine& line) {
    const std::string cwd = std::filesystem::current_path().native();
    finderbus::RequestContext context;
    if (!line.noTarget)
        context.targeted = absoluteURL(line.target.value_or(cwd), cwd);
    for (const std::string& item : line.items)
        context.selected.push_back(absoluteURL(item, cwd));
    return context;
}

/// A failed call as one readable line: the D-Bus error name and its text.
std::string describeCallError(const Glib::Error& error) {
    const GError* raw = error.gobj();
    if (g_dbus_error_is_remote_error(raw)) {
        GError* copy = g_error_copy(raw);
        gchar* name = g_dbus_error_get_remote_error(copy);
        g_dbus_error_strip_remote_error(copy);
        std::string text = std::string(name ? name : "") + ": " + copy->message;
        const bool unreachable =
            name && (std::string_view(name) == "org.freedesktop.DBus.Error.ServiceUnknown" ||
                     std::string_view(name) == "org.freedesktop.DBus.Error.NameHasNoOwner");
        g_free(name);
        g_error_free(copy);
        if (unreachable)
            return std::string("the extension is not running (no owner of ") + finderbus::kBusName +
                   " on the session bus)";
        return text;
    }
    if (g_error_matches(raw, G_IO_ERROR, G_IO_ERROR_TIMED_OUT))
        return "the extension did not answer in time";
    return error.what();
}

class FinderClient {
  public:
    FinderClient() {
        try {
            connection_ = Gio::DBus::Connection::get_sync(Gio::DBus::BusType::SESSION);
        } catch (const Glib::Error& e) {
            throw std::runtime_error(std::string("cannot reach the session bus: ") + e.what());
        }
    }

    ~FinderClient() {
        try {
            connection_->flush_sync();
        } catch (const Glib::Error&) {
            // Nothing left to deliver to a bus that is gone.
        }
    }

    std::optional<Menu> menu(unsigned kind, const finderbus::RequestContext& context) {
        Glib::VariantContainerBase reply =
            call(finderbus::kGetMenu, finderbus::encodeMenuRequest({kind, context}));
        Expected<std::optional<Menu>> menu = finderbus::decodeMenuReply(reply);
        if (!menu)
            throw std::runtime_error("unexpected reply: " + menu.error().description);
        return *menu;
    }

    void perform(const std::string& selector, const finderbus::RequestContext& context) {
        Expected<Glib::VariantContainerBase> request =
            finderbus::encodeActionRequest({selector, context});
        if (!request)
            throw std::runtime_error(request.error().description);
        call(finderbus::kPerformAction, *request);
    }

  private:
    Glib::VariantContainerBase call(const char* method,
                                    const Glib::VariantContainerBase& parameters) {
        try {
            return connection_->call_sync(finderbus::kObjectPath, finderbus::kInterface, method,
                                          parameters, finderbus::kBusName, kCallTimeoutMs,
                                          Gio::DBus::CallFlags::NO_AUTO_START);
        } catch (const Glib::Error& e) {
            throw std::runtime_error(describeCallError(e));
        }
    }

    Glib::RefPtr<Gio::DBus::Connection> connection_;
};

void printJson(const std::optional<Menu>& menu) {
    if (!menu) {
        std::cout << "null\n";
        return;
    }
    std::cout << "{\"title\": " << json::quote(menu->title) << ", \"items\": [";
    const char* separator = "";
    for (const MenuItem& item : menu->items) {
        std::cout << separator;
        separator = ", ";
        if (item.isSeparator) {
            std::cout << "{\"separator\": true}";
            continue;
        }
        std::cout << "{\"title\": " << json::quote(item.title)
                  << ", \"action\": " << (item.action ? json::quote(*item.action) : "null")
                  << ", \"symbol\": " << (item.image ? json::quote(item.image->symbolName) : "null")
                  << ", \"enabled\": " << (item.enabled ? "true" : "false") << '}';
    }
    std::cout << "]}\n";
}

void printLines(const std::optional<Menu>& menu) {
    if (!menu) {
        std::cout << "no menu\n";
        return;
    }
    for (const MenuItem& item : menu->items) {
        if (item.isSeparator)
            std::cout << "---\n";
        else
            std::cout << item.title << (item.enabled ? "" : " (disabled)") << '\n';
    }
}

int run(const CommandLine& line) {
    finderbus::RequestContext context = contextOf(line);
    FinderClient client;
    switch (line.command) {
    case Command::Menu: {
        std::optional<Menu> menu = client.menu(line.menuKind, context);
        line.json ? printJson(menu) : printLines(menu);
        return 0;
    }
    case Command::Choose: {
        std::optional<Menu> menu = client.menu(line.menuKind, context);
        if (!menu) {
            std::cerr << "corvane-finder: no menu\n";
            return kExitFailure;
        }
        for (const MenuItem& item : menu->items) {
            if (!item.isSeparator && item.enabled && item.action && item.title == line.operand) {
                client.perform(*item.action, context);
                return 0;
            }
        }
        std::cerr << "corvane-finder: the menu has no enabled item titled \"" << line.operand
                  << "\"\n";
        return kExitFailure;
    }
    case Command::Perform:
        client.perform(line.operand, context);
        return 0;
    }
    return kExitFailure;
}

} // namespace

int main(int argc, char** argv) {
    CommandLine line;
    try {
        line = parse(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "corvane-finder: " << e.message << '\n' << kUsage;
        return kExitUsage;
    }
    try {
        Gio::init();
        return run(line);
    } catch (const UsageError& e) {
        std::cerr << "corvane-finder: " << e.message << '\n' << kUsage;
        return kExitUsage;
    } catch (const std::exception& e) {
        // Glib::Error is a std::exception too.
        std::cerr << "corvane-finder: " << e.what() << '\n';
    }
    return kExitFailure;
}
