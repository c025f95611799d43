#include "tools/finder/commands.h"
#include "tools/finder/finder_client.h"
#include "tools/finder/request_arguments.h"
#include "tools/plist_json.h"

#include <iostream>
#include <vector>

namespace corvane::tools::finder {

namespace {

enum class MenuFormat { Lines, Json };

std::string quoteOrNull(const std::optional<std::string>& text) {
    return text ? json::quote(*text) : json::kNull;
}

/// `text`, or none when it is empty (an item without an action or image).
std::optional<std::string> unlessEmpty(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional(text);
}

std::string menuJson(const std::optional<finderbus::Menu>& menu) {
    if (!menu)
        return json::kNull;
    std::vector<std::string> items;
    for (const finderbus::MenuEntry& item : menu->entries) {
        if (item.separator) {
            items.push_back(json::object({{"separator", json::toJson(true)}}));
            continue;
        }
        items.push_back(json::object({{"title", json::quote(item.title)},
                                      {"action", quoteOrNull(unlessEmpty(item.action))},
                                      {"symbol", quoteOrNull(unlessEmpty(item.symbol))},
                                      {"enabled", json::toJson(item.enabled)}}));
    }
    return json::object({{"title", json::quote(menu->title)}, {"items", json::array(items)}});
}

std::string menuLines(const std::optional<finderbus::Menu>& menu) {
    if (!menu)
        return "no menu\n";
    std::string text;
    for (const finderbus::MenuEntry& item : menu->entries) {
        if (item.separator)
            text += "---\n";
        else
            text += item.title + (item.enabled ? "" : " (disabled)") + '\n';
    }
    return text;
}

/// The command's operand (TITLE, SELECTOR), the request that follows it, and
/// the connection to send it on.
struct OperandRequest {
    std::string operand;
    finderbus::RequestContext context;
    FinderClient client;
};

Outcome<OperandRequest> openOperandRequest(std::string_view command, Arguments args) {
    if (args.empty())
        return usageError(std::string(command) + " needs an argument");
    ArgumentReader rest(args.subspan(1));
    auto context = readRequestContext(rest);
    if (!context)
        return propagate(context);
    auto client = FinderClient::connect();
    if (!client)
        return propagate(client);
    return OperandRequest{std::string(args.front()), std::move(*context), std::move(*client)};
}

} // namespace

Outcome<> menu(Arguments args) {
    unsigned kind = 0;
    MenuFormat format = MenuFormat::Lines;
    ArgumentReader reader(args);
    auto context = readRequestContext(
        reader, [&](std::string_view option, ArgumentReader& rest) -> Outcome<bool> {
            if (option == "--json") {
                format = MenuFormat::Json;
                return true;
            }
            if (option != "--kind")
                return false;
            auto number = rest.numberOf<unsigned>(option, "an unsigned number");
            if (!number)
                return propagate(number);
            kind = *number;
            return true;
        });
    if (!context)
        return propagate(context);

    auto client = FinderClient::connect();
    if (!client)
        return propagate(client);
    auto menu = client->menu(kind, *context);
    if (!menu)
        return propagate(menu);
    if (format == MenuFormat::Json)
        std::cout << menuJson(*menu) << '\n';
    else
        std::cout << menuLines(*menu);
    return {};
}

Outcome<> choose(Arguments args) {
    auto request = openOperandRequest("choose", args);
    if (!request)
        return propagate(request);
    auto menu = request->client.menu(0, request->context);
    if (!menu)
        return propagate(menu);
    if (!*menu)
        return failure("no menu");
    for (const finderbus::MenuEntry& item : (*menu)->entries) {
        if (!item.separator && item.enabled && !item.action.empty() &&
            item.title == request->operand)
            return request->client.perform(item.action, request->context);
    }
    return failure("the menu has no enabled item titled \"" + printable(request->operand) + "\"");
}

Outcome<> perform(Arguments args) {
    auto request = openOperandRequest("perform", args);
    if (!request)
        return propagate(request);
    return request->client.perform(request->operand, request->context);
}

} // namespace corvane::tools::finder
