#include "tools/command_line.h"

#include "platform/unicode.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <vector>

namespace corvane::tools {

std::unexpected<CommandError> usageError(std::string message) {
    return std::unexpected(CommandError{ExitStatus::Usage, std::move(message)});
}

std::unexpected<CommandError> failure(std::string message) {
    return std::unexpected(CommandError{ExitStatus::Failure, std::move(message)});
}

namespace {

Outcome<> dispatch(std::span<const Command> commands, int argc, char** argv) {
    if (argc < 2)
        return usageError("no command");
    const std::string_view name = argv[1];
    for (const Command& command : commands) {
        if (command.name == name) {
            const std::vector<std::string_view> args(argv + 2, argv + argc);
            return command.run(args);
        }
    }
    return usageError("unknown command \"" + printable(name) + "\"");
}

void printUsage(std::string_view tool, std::span<const Command> commands) {
    std::string_view lead = "usage: ";
    for (const Command& command : commands) {
        std::cerr << lead << tool << ' ' << command.usage << '\n';
        lead = "       ";
    }
}

} // namespace

int runTool(std::string_view tool, std::span<const Command> commands, int argc, char** argv) {
    CommandError error;
    try {
        Outcome<> outcome = dispatch(commands, argc, argv);
        if (outcome)
            return static_cast<int>(ExitStatus::Success);
        error = std::move(outcome.error());
    } catch (const std::exception& e) {
        // What the libraries still throw (a Glib::Error is a std::exception too).
        error = CommandError{ExitStatus::Failure, e.what()};
    } catch (...) {
        error = CommandError{ExitStatus::Failure, "an unknown failure"};
    }
    try {
        if (!error.message.empty())
            std::cerr << tool << ": " << error.message << '\n';
        if (error.status == ExitStatus::Usage)
            printUsage(tool, commands);
    } catch (...) {
        // Standard error is gone; the status still tells.
    }
    return static_cast<int>(error.status);
}

Outcome<std::string_view> ArgumentReader::valueOf(std::string_view option, std::string_view what) {
    if (done())
        return usageError(std::string(option) + " needs " + std::string(what));
    return take();
}

Outcome<std::string> ArgumentReader::textOf(std::string_view option, std::string_view what) {
    auto value = valueOf(option, what);
    if (!value)
        return propagate(value);
    return requireText(*value, what);
}

std::string printable(std::string_view text) {
    if (isValidUTF8(text))
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

Outcome<std::string> requireText(std::string_view argument, std::string_view what) {
    if (!isValidUTF8(argument))
        return usageError(std::string(what) + " \"" + printable(argument) +
                          "\" is not valid UTF-8");
    return std::string(argument);
}

Outcome<std::string> currentFolder() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::current_path(error);
    if (error)
        return failure("cannot read the current folder: " + error.message());
    return folder.native();
}

Outcome<FileURL> absoluteURL(std::string_view path, std::string_view what) {
    if (path.empty())
        return usageError(std::string(what) + " is empty");
    std::filesystem::path full(path);
    if (!full.is_absolute()) {
        Outcome<std::string> folder = currentFolder();
        if (!folder)
            return propagate(folder);
        full = std::filesystem::path(*folder) / full;
    }
    return FileURL::fromPath(full.lexically_normal().native());
}

} // namespace corvane::tools
