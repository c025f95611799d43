#pragma once

// Every platform service corvane-plus uses, built in this one place.

#include "platform/error.h"
#include "platform/plist_value.h"

#include <glibmm/refptr.h>

#include <memory>
#include <optional>
#include <string>

namespace Gio::DBus {
class Connection;
}

namespace corvane {
class DesktopApplications;
class FileManager;
class NotificationCenter;
class SecurityScope;
class SettingsSuite;
} // namespace corvane

namespace corvane::companion {

/// The shared settings suite, the notification centre, bookmarks, the file
/// system and the applications' configuration, as the extension has them.
class AppServices {
  public:
    /// Notifications travel on `session`.
    explicit AppServices(Glib::RefPtr<Gio::DBus::Connection> session);
    ~AppServices();
    AppServices(const AppServices&) = delete;
    AppServices& operator=(const AppServices&) = delete;

    /// The shared settings suite "group.Brenvo.Corvane", opened afresh.
    Expected<std::unique_ptr<SettingsSuite>> openSharedSuite();
    /// The root of "MenuOptions.plist" in the App Group container; none when
    /// the file is missing or holds no dictionary.
    std::optional<PlistDictionary> optionsFileRoot();
    /// Bookmark data of the folder at `path`.
    Expected<std::string> makeBookmark(const std::string& path);

    NotificationCenter& notifications();
    SecurityScope& security();
    FileManager& files();
    DesktopApplications& applications();
    /// Where `applications.ini` is (it need not exist).
    const std::string& applicationsFile() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace corvane::companion
