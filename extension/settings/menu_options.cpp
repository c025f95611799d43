#include "extension/settings/menu_options.h"

#include <algorithm>

namespace corvane {

MenuOptions::MenuOptions(std::initializer_list<Entry> entries) {
    for (const auto& [key, enabled] : entries)
        set(key, enabled);
}

std::optional<bool> MenuOptions::find(std::string_view key) const {
    auto it = std::ranges::find(entries_, key, &Entry::first);
    if (it == entries_.end())
        return std::nullopt;
    return it->second;
}

void MenuOptions::set(std::string key, bool enabled) {
    auto it = std::ranges::find(entries_, key, &Entry::first);
    if (it != entries_.end())
        it->second = enabled;
    else
        entries_.emplace_back(std::move(key), enabled);
}

MenuOptions menuOptionsFromDictionary(const PlistDictionary& source) {
    MenuOptions options;
    for (const auto& [key, value] : source) {
        if (std::optional<bool> flag = value.flagValue())
            options.appendNew(key, *flag);
    }
    return options;
}

namespace {

// Keys come from the companion app's files; escaping quotes, backslashes and
// line breaks keeps each log message on one line and unambiguous.
void appendQuoted(std::string& out, std::string_view key) {
    out += '"';
    for (char c : key) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    out += '"';
}

} // namespace

std::string describeMenuOptions(const MenuOptions& options) {
    if (options.empty())
        return "[:]";
    std::string text = "[";
    bool first = true;
    for (const auto& [key, enabled] : options.entries()) {
        if (!first)
            text += ", ";
        first = false;
        appendQuoted(text, key);
        text += enabled ? ": true" : ": false";
    }
    text += ']';
    return text;
}

} // namespace corvane
