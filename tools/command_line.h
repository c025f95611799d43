#pragma once

// What both stand-ins need on their command lines: a table of commands, the
// outcome a command ends in, and readers for arguments, numbers, text and
// paths.

#include "platform/file_url.h"

#include <charconv>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvane::tools {

/// The exit statuses of both tools.
enum class ExitStatus : int {
    Success = 0,
    Failure = 1, ///< something outside the command line failed
    Usage = 2,   ///< the command line cannot be carried out as given
};

/// Why a command stopped short. `main` prints the message after the tool's
/// name (nothing when it is empty) and, for `ExitStatus::Usage`, the usage.
struct CommandError {
    ExitStatus status = ExitStatus::Failure;
    std::string message;
};

/// A value a command works with, or why it stopped.
template <typename T = void> using Outcome = std::expected<T, CommandError>;

/// A wrong command line: exit 2 with the usage.
std::unexpected<CommandError> usageError(std::string message);
/// A failure outside the command line: exit 1.
std::unexpected<CommandError> failure(std::string message);

/// The error of `failed`, handed on to the caller: `return propagate(x);`.
template <typename T> std::unexpected<CommandError> propagate(Outcome<T>& failed) {
    return std::unexpected(std::move(failed.error()));
}

/// The arguments after the command's name.
using Arguments = std::span<const std::string_view>;

/// One row of a tool's command table.
struct Command {
    std::string_view name;
    /// The usage line without the tool's name, such as "read KEY".
    std::string_view usage;
    Outcome<> (*run)(Arguments);
};

/// Runs the command that `argv[1]` names with the arguments after it and
/// returns the exit status. Failures go to standard error as "<tool>: <message>",
/// followed on a usage error by every command's usage line. Nothing a command
/// throws escapes.
int runTool(std::string_view tool, std::span<const Command> commands, int argc, char** argv);

/// Reads a command's arguments front to back.
class ArgumentReader {
  public:
    explicit ArgumentReader(Arguments args) : args_(args) {}
    /// True when every argument has been taken.
    bool done() const { return next_ == args_.size(); }
    /// Takes the next argument; only when not `done()`.
    std::string_view take() { return args_[next_++]; }
    /// Takes the value that follows `option`: a usage error "<option> needs
    /// <what>" when the arguments end first.
    Outcome<std::string_view> valueOf(std::string_view option, std::string_view what);
    /// The value after `option` as a string, which must be UTF-8 (see
    /// `requireText`); `what` names it in the messages.
    Outcome<std::string> textOf(std::string_view option, std::string_view what);
    /// The value after `option` as a number of type `T` (see `parseNumber`)
    /// that `accept` takes: a usage error "<option> needs <what>" when it is
    /// missing, not a number or not accepted.
    template <typename T, typename Accept = bool (*)(T)>
    Outcome<T> numberOf(
        std::string_view option, std::string_view what, Accept accept = [](T) { return true; });

  private:
    Arguments args_;
    std::size_t next_ = 0;
};

/// The whole of `text` as a number of type `T`, as `std::from_chars` reads
/// it (no sign for unsigned types, no leading blanks), or none.
template <typename T> std::optional<T> parseNumber(std::string_view text) {
    T number{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return number;
}

template <typename T, typename Accept>
Outcome<T> ArgumentReader::numberOf(std::string_view option, std::string_view what, Accept accept) {
    std::optional<T> number;
    if (!done())
        number = parseNumber<T>(take());
    if (!number || !accept(*number))
        return usageError(std::string(option) + " needs " + std::string(what));
    return *number;
}

/// `text` for a message: as it is when it is UTF-8, else with every byte
/// above 0x7F written as "\xHH".
std::string printable(std::string_view text);

/// `argument` as a string for a property list or a D-Bus message: a usage
/// error "<what> "<argument>" is not valid UTF-8" when it is not.
Outcome<std::string> requireText(std::string_view argument, std::string_view what);

/// The current folder; a failure when it cannot be read (it was removed).
Outcome<std::string> currentFolder();

/// `path` made absolute against the current folder, with "." and ".." resolved
/// as text (links are not followed); bytes pass through untouched. An empty
/// `path` is a usage error "<what> is empty".
Outcome<FileURL> absoluteURL(std::string_view path, std::string_view what);

} // namespace corvane::tools
