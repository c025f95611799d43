#pragma once

#include "platform/error.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class ChangeWatch;

/// The Linux programs that play the roles of the application bundles the
/// extension names ("/Applications/Visual Studio Code.app" and the like).
///
/// A real item at an application path always wins: it is run as the program
/// when it is an executable file. Otherwise a bundle path (a name ending in
/// ".app" directly in "/Applications", "/Applications/Utilities" or
/// "/System/Applications/Utilities") is looked up by its name without ".app"
/// in the configuration file: a key-file group of that name whose key "Exec"
/// holds a command line in the desktop-entry manner, where an argument "%F"
/// stands for the opened paths, each one argument, unescaped. Without an
/// entry the built-in defaults apply (see `defaultExecLine`).
///
/// Every answer tells what is on disk now, yet a menu asks several times and
/// must stay cheap: the parsed file and each program look-up's answer are
/// kept in a `FileIdentityCache` while what they were found from is
/// unchanged (a found program is checked again each time), so a question
/// usually costs a `stat` per item instead of a read, a parse and a failed
/// look-up per search folder. One thread uses an object (in the
/// extension process, the main loop's): it takes no locks.
class DesktopApplications {
  public:
    struct Settings {
        /// The configuration file; a missing file means no entries.
        std::string configFile;
        /// Folders searched for a program named without a slash, separated by
        /// colons (as PATH).
        std::string searchPath;
    };

    /// A program to start: its arguments (the first an absolute path) and
    /// the folder it starts in.
    struct Command {
        std::vector<std::string> argv;
        std::string workingDirectory;
        bool operator==(const Command&) const = default;
    };

    /// With `watch`, what was found is kept without a look at the disk while
    /// the watch reports no change (see `FileIdentityCache`).
    explicit DesktopApplications(Settings settings, ChangeWatch* watch = nullptr);
    ~DesktopApplications();

    /// `$XDG_CONFIG_HOME/corvane/applications.ini` (else under `~/.config`)
    /// and `$PATH`.
    static Settings settingsFromEnvironment();

    /// True when `path` is an application bundle path as described above.
    static bool isBundlePath(std::string_view path);

    /// The command line used for the bundle named `name` (e.g. "Terminal")
    /// when the configuration has no entry: "Terminal" is Debian's
    /// x-terminal-emulator, else the first of a few common terminals found on
    /// the search path; "Visual Studio Code" is "code %F" and "Visual Studio
    /// Code - Insiders" is "code-insiders %F"; every other name has none ("").
    std::string defaultExecLine(std::string_view name) const;

    /// True when the program for the application at `applicationPath` can be
    /// started: an absolute path to an executable file, or a name found on
    /// the search path.
    bool canStart(std::string_view applicationPath) const;

    /// The command that opens `paths` with the application at
    /// `applicationPath`. It starts in the first path when that is a folder,
    /// else in that path's folder. Fails with a readable description when no
    /// program is set or found, or the configuration cannot be read.
    Expected<Command> commandFor(std::string_view applicationPath,
                                 const std::vector<std::string>& paths) const;

  private:
    /// The program's arguments, "%F" not yet expanded, with its first
    /// argument found on disk.
    Expected<std::vector<std::string>> programFor(std::string_view applicationPath) const;
    /// The absolute path of an executable file for `program`, or none ("").
    std::string findProgram(std::string_view program) const;

    struct Config;
    /// The configuration file as it is now.
    std::shared_ptr<const Config> config() const;

    struct Kept;
    Settings settings_;
    /// What earlier questions found, with what shows it still holds.
    mutable std::unique_ptr<Kept> kept_;
};

} // namespace corvane
