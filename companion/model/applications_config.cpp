#include "companion/model/applications_config.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <vector>

namespace corvane::companion {

namespace {

constexpr std::array<std::string_view, 1> kTerminalGroups{"Terminal"};
// Both editions: the extension prefers the stable one and falls back to the
// Insiders edition, so the chosen program answers to either name.
constexpr std::array<std::string_view, 2> kEditorGroups{"Visual Studio Code",
                                                        "Visual Studio Code - Insiders"};
constexpr std::array<KnownEditor, 8> kEditors{{
    {"Visual Studio Code", "code"},
    {"Visual Studio Code - Insiders", "code-insiders"},
    {"VSCodium", "codium"},
    {"GNOME Text Editor", "gnome-text-editor"},
    {"gedit", "gedit"},
    {"Kate", "kate"},
    {"Mousepad", "mousepad"},
    {"Pluma", "pluma"},
}};

std::string_view trimmed(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

/// The group a header line opens; none for any other line.
std::optional<std::string_view> groupHeader(std::string_view line) {
    line = trimmed(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return std::nullopt;
    return line.substr(1, line.size() - 2);
}

/// The value of an "Exec" line, still escaped; none for any other line.
std::optional<std::string_view> execValue(std::string_view line) {
    line = trimmed(line);
    if (!line.starts_with("Exec"))
        return std::nullopt;
    std::string_view rest = trimmed(line.substr(4));
    if (rest.empty() || rest.front() != '=')
        return std::nullopt;
    rest.remove_prefix(1);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    return rest;
}

bool isBlank(const std::string& line) {
    return trimmed(line).empty();
}

// Key-file values carry backslash escapes for what a line cannot hold.
std::string escaped(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        switch (value[i]) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case ' ':
            out += i == 0 ? "\\s" : " ";
            break;
        default:
            out += value[i];
        }
    }
    return out;
}

std::string unescaped(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 's':
            out += ' ';
            break;
        default:
            out += value[i];
        }
    }
    return out;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

} // namespace

std::span<const std::string_view> groupsOf(ApplicationRole role) {
    if (role == ApplicationRole::Terminal)
        return kTerminalGroups;
    return kEditorGroups;
}

std::span<const KnownEditor> knownEditors() {
    return kEditors;
}

std::string execLineFor(ApplicationRole role, std::string_view program) {
    // Exec lines are split as a shell would; a plain name needs no quotes.
    const bool plain = !program.empty() && std::ranges::all_of(program, [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("/._+-").contains(c);
    });
    std::string line;
    if (plain) {
        line = program;
    } else {
        line = "'";
        for (char c : program)
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += "'";
    }
    return role == ApplicationRole::Editor ? line + " %F" : line;
}

std::optional<std::string> storedExecLine(std::string_view ini, ApplicationRole role) {
    const std::string_view wanted = groupsOf(role).front();
    bool inGroup = false;
    for (const std::string& line : splitLines(ini)) {
        if (auto group = groupHeader(line))
            inGroup = *group == wanted;
        else if (auto value = inGroup ? execValue(line) : std::nullopt)
            return unescaped(*value);
    }
    return std::nullopt;
}

std::string withExecLine(std::string_view ini, ApplicationRole role,
                         const std::optional<std::string>& execLine) {
    const std::span<const std::string_view> groups = groupsOf(role);
    const std::string newLine = execLine ? "Exec=" + escaped(*execLine) : std::string();
    std::vector<std::string> out;
    std::vector<std::string_view> seen;
    // A managed group is collected whole, so it can be left out when nothing
    // but its header would remain.
    std::vector<std::string> group;
    bool managed = false;
    auto flushGroup = [&] {
        if (managed && !execLine && std::ranges::count_if(group, std::not_fn(isBlank)) <= 1)
            group.clear();
        out.insert(out.end(), group.begin(), group.end());
        group.clear();
    };
    for (std::string& line : splitLines(ini)) {
        if (auto name = groupHeader(line)) {
            flushGroup();
            auto found = std::ranges::find(groups, *name);
            managed = found != groups.end();
            if (managed)
                seen.push_back(*found);
            group.push_back(std::move(line));
            if (managed && execLine)
                group.push_back(newLine);
        } else if (!(managed && execValue(line))) {
            group.push_back(std::move(line));
        }
    }
    flushGroup();
    for (std::string_view name : groups) {
        if (!execLine || std::ranges::find(seen, name) != seen.end())
            continue;
        if (!out.empty() && !isBlank(out.back()))
            out.emplace_back();
        out.push_back("[" + std::string(name) + "]");
        out.push_back(newLine);
    }
    std::string text;
    for (const std::string& line : out)
        text += line + "\n";
    return text;
}

} // namespace corvane::companion
