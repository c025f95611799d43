#pragma once

// The app's icon in the desktop's status area, where the desktop has one: a
// StatusNotifierItem with a small menu (Settings…, Quit), over D-Bus.

#include <functional>
#include <string>

typedef struct _GDBusConnection GDBusConnection;

namespace corvane::companion {

/// Serves `/StatusNotifierItem` (org.kde.StatusNotifierItem) and its menu
/// (com.canonical.dbusmenu) on the session bus, and registers the item with
/// the desktop's org.kde.StatusNotifierWatcher whenever one owns its name.
/// Without a watcher nothing is shown and nothing is reported.
class StatusIcon {
  public:
    struct Actions {
        std::function<void()> showSettings;
        std::function<void()> quit;
    };

    /// `session` must outlive the icon. The actions run on the main loop,
    /// after the call that asked for them has been answered.
    StatusIcon(GDBusConnection* session, std::string iconName, Actions actions);
    ~StatusIcon();
    StatusIcon(const StatusIcon&) = delete;
    StatusIcon& operator=(const StatusIcon&) = delete;

    struct State;

  private:
    State* state_;
};

} // namespace corvane::companion
