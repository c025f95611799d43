#include "extension/companion_contract.h"
#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/libuuid_source.h"
#include "tools/companion/commands.h"
#include "tools/companion/session_bus.h"
#include "tools/companion/shared_settings.h"

#include <giomm/dbusconnection.h>

#include <iostream>
#include <optional>

namespace corvane::tools::companion {

namespace {

/// How the execute request reaches the extension.
enum class Channel { Record, Notification };

struct ExecuteOptions {
    std::optional<std::string> baseName;
    Channel channel = Channel::Record;
    std::optional<std::string> id;
    PlistArray paths;
};

Outcome<ExecuteOptions> parseExecute(Arguments args) {
    ExecuteOptions options;
    ArgumentReader reader(args);
    bool optionsEnded = false;
    while (!reader.done()) {
        std::string_view arg = reader.take();
        if (optionsEnded || !arg.starts_with("--")) {
            auto url = absoluteURL(arg, "a PATH");
            if (!url)
                return propagate(url);
            auto path = requireText(url->path(), "the path");
            if (!path)
                return propagate(path);
            options.paths.emplace_back(std::move(*path));
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--base" || arg == "--id") {
            auto text = reader.textOf(arg, arg == "--base" ? "the base name" : "the id");
            if (!text)
                return propagate(text);
            (arg == "--base" ? options.baseName : options.id) = std::move(*text);
        } else if (arg == "--via") {
            auto via = reader.valueOf(arg, "record or notification");
            if (!via)
                return propagate(via);
            if (*via != "record" && *via != "notification")
                return usageError("--via takes record or notification");
            options.channel = *via == "record" ? Channel::Record : Channel::Notification;
        } else {
            return usageError("unknown option " + printable(arg));
        }
    }
    if (!options.baseName)
        return usageError("execute needs --base NAME");
    if (options.paths.empty())
        return usageError("execute needs a PATH");
    if (options.id && options.channel != Channel::Record)
        return usageError("--id goes with --via record only");
    return options;
}

Outcome<> post(const PlistDictionary& request) {
    auto connection = connectToSessionBus();
    if (!connection)
        return propagate(connection);
    DBusNotificationCenter(*connection, std::cerr)
        .post(contract::kBatchRenameExecuteNotification, request);
    try {
        (*connection)->flush_sync();
    } catch (const Glib::Error& error) {
        return failure("cannot post the execute notification: " + std::string(error.what()));
    }
    return {};
}

} // namespace

Outcome<> execute(Arguments args) {
    auto options = parseExecute(args);
    if (!options)
        return propagate(options);
    PlistDictionary request;
    if (options->channel == Channel::Record)
        request.set(std::string(contract::kRecordIdKey),
                    options->id.value_or(LibuuidSource().makeUUIDString()));
    request.set(std::string(contract::kBaseNameKey), std::move(*options->baseName));
    request.set(std::string(contract::kPathsKey), std::move(options->paths));
    if (options->channel == Channel::Notification)
        return post(request);

    auto suite = openSharedSuite();
    if (!suite)
        return propagate(suite);
    return store(**suite, contract::kBatchRenameExecuteKey, request);
}

} // namespace corvane::tools::companion
