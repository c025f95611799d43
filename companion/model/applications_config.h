#pragma once

// The programs that play the terminal and the editor, as `applications.ini`
// names them: one group per application name, key "Exec".

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvane::companion {

/// A part a program plays for the menu's commands.
enum class ApplicationRole {
    /// "New Terminal Here".
    Terminal,
    /// "Open in Visual Studio Code", whichever edition the extension picks.
    Editor,
};

/// The groups of `applications.ini` that this app manages for `role`.
std::span<const std::string_view> groupsOf(ApplicationRole role);

/// An editor this app offers when its program is installed.
struct KnownEditor {
    std::string_view name;
    std::string_view program;
};
std::span<const KnownEditor> knownEditors();

/// The Exec line of `program` for `role`: the program, quoted when it must
/// be, then "%F" for an editor (the opened paths) and nothing for a terminal
/// (it starts in the folder).
std::string execLineFor(ApplicationRole role, std::string_view program);

/// The Exec value of the first group of `role` in the text `ini`, unescaped;
/// none when there is none.
std::optional<std::string> storedExecLine(std::string_view ini, ApplicationRole role);

/// `ini` with every group of `role` holding `execLine` as its Exec key (the
/// groups added at the end when missing), or, with none, without that key
/// and without a group left empty; every other line stays as it was.
std::string withExecLine(std::string_view ini, ApplicationRole role,
                         const std::optional<std::string>& execLine);

} // namespace corvane::companion
