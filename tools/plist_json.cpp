#include "tools/plist_json.h"

#include "platform/plist/plist_text.h"
#include "platform/unicode.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace corvane::json {

namespace {

void appendReal(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    out += text;
    if (text.find_first_of(".e") == std::string_view::npos)
        out += ".0";
}

// The one place that writes JSON's brackets and separators: `open`, each
// element as `write` appends it, ", " between, `close`.
template <typename Range, typename Write>
void appendJoined(std::string& out, char open, const Range& elements, Write write, char close) {
    out += open;
    bool first = true;
    for (const auto& element : elements) {
        if (!first)
            out += ", ";
        first = false;
        write(element);
    }
    out += close;
}

void appendMember(std::string& out, std::string_view key) {
    out += quote(key);
    out += ": ";
}

void append(std::string& out, const PlistValue& value) {
    const auto& storage = value.storage();
    if (const bool* b = std::get_if<bool>(&storage)) {
        out += *b ? "true" : "false";
    } else if (const std::int64_t* i = std::get_if<std::int64_t>(&storage)) {
        out += std::to_string(*i);
    } else if (const std::uint64_t* u = std::get_if<std::uint64_t>(&storage)) {
        out += std::to_string(*u);
    } else if (const double* d = std::get_if<double>(&storage)) {
        appendReal(out, *d);
    } else if (const std::string* s = std::get_if<std::string>(&storage)) {
        out += quote(*s);
    } else if (const PlistData* data = std::get_if<PlistData>(&storage)) {
        out += '"' + plist::encodeBase64(data->bytes) + '"';
    } else if (const PlistDate* date = std::get_if<PlistDate>(&storage)) {
        auto text = plist::formatDate(*date, plist::DatePrecision::Milliseconds);
        out += text ? '"' + *text + '"' : kNull;
    } else if (const PlistArray* array = std::get_if<PlistArray>(&storage)) {
        appendJoined(
            out, '[', *array, [&out](const PlistValue& element) { append(out, element); }, ']');
    } else {
        appendJoined(
            out, '{', std::get<PlistDictionary>(storage),
            [&out](const PlistDictionary::Entry& entry) {
                appendMember(out, entry.first);
                append(out, entry.second);
            },
            '}');
    }
}

} // namespace

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"':
            out += "\\\"";
            ++i;
            continue;
        case '\\':
            out += "\\\\";
            ++i;
            continue;
        case '\b':
            out += "\\b";
            ++i;
            continue;
        case '\f':
            out += "\\f";
            ++i;
            continue;
        case '\n':
            out += "\\n";
            ++i;
            continue;
        case '\r':
            out += "\\r";
            ++i;
            continue;
        case '\t':
            out += "\\t";
            ++i;
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
            ++i;
            continue;
        }
        std::size_t length = utf8SequenceLength(text.substr(i));
        if (length == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD for one stray byte
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    out += '"';
    return out;
}

std::string toJson(const PlistValue& value) {
    std::string out;
    append(out, value);
    return out;
}

std::string object(std::initializer_list<std::pair<std::string_view, std::string_view>> members) {
    std::string out;
    appendJoined(
        out, '{', members,
        [&out](const std::pair<std::string_view, std::string_view>& member) {
            appendMember(out, member.first);
            out += member.second;
        },
        '}');
    return out;
}

std::string array(std::span<const std::string> elements) {
    std::string out;
    appendJoined(
        out, '[', elements, [&out](const std::string& element) { out += element; }, ']');
    return out;
}

} // namespace corvane::json
