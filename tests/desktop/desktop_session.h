#pragma once

// A desktop for tests: an X server of its own (Xvfb) that programs under test
// draw on, with the keyboard, window list and screenshots of xdotool and
// imagemagick, and a file manager started with a module folder of our own.

#include "tests/integration/process_harness.h"

#include <memory>
#include <string>
#include <vector>

namespace corvane::testing {

/// Whether programs on the display expose their accessibility tree.
enum class Accessibility { Off, On };

/// Xvfb and the environment that puts GTK programs on it.
class DesktopSession {
  public:
    /// Starts Xvfb with `screen` (such as "1024x768x24") and sets in `env`
    /// DISPLAY, the cairo renderer (no GL under Xvfb) and, with
    /// `Accessibility::Off`, NO_AT_BRIDGE. `env` is changed only when the
    /// display came up (`started`).
    DesktopSession(Environment& env, const std::string& screen = "1024x768x24",
                   Accessibility accessibility = Accessibility::Off);

    bool started() const { return !display_.empty(); }

    /// Runs xdotool with `args` on this display.
    CommandResult xdotool(std::vector<std::string> args) const;
    /// The visible windows of programs of `windowClass`, in stacking order,
    /// bottom first (an open popover or menu is a window of its own).
    std::vector<std::string> windows(const std::string& windowClass) const;
    /// Takes a screenshot of the whole screen into the temporary folder;
    /// returns "screenshot: PATH", or why there is none, for a failure message.
    std::string screenshot(const std::string& label) const;
    /// Runs tests/desktop/atspi_driver.py with `args` (see there): an object
    /// of a program's accessibility tree chosen by its role and name.
    CommandResult accessible(std::vector<std::string> args) const;

  private:
    Process server_;
    std::string display_; // the DISPLAY value
    Environment env_;
};

/// True when this process may make a private mount namespace (root only).
bool canMountPrivately(const Environment& env);

/// Starts `argv` in a private mount namespace in which the file `module` is
/// one of the files of `folder`, as if installed there (a read-only overlay
/// on the nearest folder that exists), so a file manager that reads modules
/// only from its own folder loads it; nothing changes outside the namespace.
std::unique_ptr<Process> startWithModuleInPlace(const std::string& module,
                                                const std::string& folder,
                                                const std::vector<std::string>& argv,
                                                const Environment& env, const TempDir& scratch);

} // namespace corvane::testing
