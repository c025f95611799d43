#pragma once

#include "platform/pasteboard.h"

#include <string>
#include <vector>

namespace corvane {

/// The pasteboard on a Linux desktop: the clipboard (the CLIPBOARD
/// selection) through the desktop's command-line tools, or, with no display,
/// a file that stands in for it.
///
/// The tools' exit statuses are checked and each run is bounded in time; a
/// missing tool fails the call with GLib's readable text. The fallback file
/// is created with mode 0600 in a folder of mode 0700 and written atomically.
class DesktopClipboard final : public Pasteboard {
  public:
    enum class Mechanism {
        /// wl-copy and wl-paste (wl-clipboard).
        WaylandTools,
        /// xclip.
        X11Tools,
        /// The fallback file.
        File,
    };

    struct Settings {
        Mechanism mechanism = Mechanism::File;
        std::string fallbackFile;
    };

    explicit DesktopClipboard(Settings settings);

    /// WaylandTools when WAYLAND_DISPLAY is set, else X11Tools when DISPLAY
    /// is set, else File. The fallback file is `$XDG_RUNTIME_DIR/corvane/
    /// pasteboard`, else `$XDG_CACHE_HOME/corvane/pasteboard`, else
    /// `~/.cache/corvane/pasteboard`.
    static Settings settingsFromEnvironment();

    Expected<void> clearContents() override;
    Expected<void> setString(std::string_view text) override;
    /// Empty when the fallback file is missing.
    Expected<std::string> string() override;

  private:
    Expected<void> store(std::string_view text);

    Settings settings_;
};

} // namespace corvane
