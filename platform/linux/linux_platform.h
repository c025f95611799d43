#pragma once

#include "platform/linux/desktop_applications.h"
#include "platform/linux/desktop_clipboard.h"

#include <glibmm/refptr.h>

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace Gio::DBus {
class Connection;
}

namespace corvane {

class AlertPresenter;
class AppGroupContainers;
class BookmarkSecurityScope;
class DirectoryAppGroupContainers;
class FileManager;
class NotificationCenter;
class Pasteboard;
class PlistFileSettingsProvider;
class Scheduler;
class SecurityScope;
class SettingsProvider;
class SystemImages;
class UUIDSource;
class Workspace;

/// Where the Linux services find their files and programs; by default, as
/// the environment says.
struct LinuxPlatformConfig {
    /// Holds the App Group containers (`DirectoryAppGroupContainers`).
    std::string containerRoot;
    DesktopApplications::Settings applications;
    DesktopClipboard::Settings clipboard;

    static LinuxPlatformConfig fromEnvironment();
};

/// Builds and owns every Linux platform service, for every program that
/// needs them: the extension process, the companion app, the benchmarks.
/// One thread, the GLib main loop's, uses them.
class LinuxPlatform {
  public:
    /// Notifications, the file viewer and alerts go over `connection`; what
    /// the process itself has to say (an alert with no desktop to show it)
    /// goes to `diagnostics`.
    LinuxPlatform(Glib::RefPtr<Gio::DBus::Connection> connection, std::ostream& diagnostics,
                  LinuxPlatformConfig config = LinuxPlatformConfig::fromEnvironment());
    ~LinuxPlatform();
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    SettingsProvider& settings();
    AppGroupContainers& containers();
    FileManager& files();
    SecurityScope& security();
    NotificationCenter& notifications();
    Scheduler& scheduler();
    UUIDSource& uuids();
    SystemImages& images();
    Workspace& workspace();
    Pasteboard& pasteboard();
    AlertPresenter& alerts();
    /// The programs that play the applications' roles (the workspace's
    /// mapping), for a program that shows or edits that choice.
    DesktopApplications& applications();
    const LinuxPlatformConfig& config() const;

    /// The file of the settings suite `suiteName`, where it would be; empty
    /// when its container cannot be made.
    std::string settingsFile(std::string_view suiteName);
    /// The root the App Group containers are made in.
    const std::string& containerRoot() const;

  private:
    struct Impl;
    LinuxPlatformConfig config_;
    std::unique_ptr<Impl> impl_;
};

} // namespace corvane
