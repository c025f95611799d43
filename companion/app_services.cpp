#include "companion/app_services.h"

#include "extension/companion_contract.h"
#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/desktop_applications.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/linux/posix_file_manager.h"

#include <giomm/dbusconnection.h>

namespace corvane::companion {

// Members in dependency order: the settings provider refers to the containers.
struct AppServices::Impl {
    explicit Impl(Glib::RefPtr<Gio::DBus::Connection> session)
        : notifications(std::move(session)) {}

    DirectoryAppGroupContainers containers{DirectoryAppGroupContainers::rootFromEnvironment()};
    std::shared_ptr<PlistFileCache> plistFiles = std::make_shared<PlistFileCache>();
    PlistFileSettingsProvider settings{containers, plistFiles};
    DBusNotificationCenter notifications;
    BookmarkSecurityScope security;
    PosixFileManager files{plistFiles};
    DesktopApplications::Settings applicationSettings =
        DesktopApplications::settingsFromEnvironment();
    DesktopApplications applications{applicationSettings};
};

AppServices::AppServices(Glib::RefPtr<Gio::DBus::Connection> session)
    : impl_(std::make_unique<Impl>(std::move(session))) {}

AppServices::~AppServices() = default;

Expected<std::unique_ptr<SettingsSuite>> AppServices::openSharedSuite() {
    if (auto suite = impl_->settings.openSuite(contract::kAppGroupId))
        return suite;
    return makeError("The shared settings cannot be opened under " + impl_->containers.root());
}

std::optional<PlistDictionary> AppServices::optionsFileRoot() {
    auto container = impl_->containers.containerURL(contract::kAppGroupId);
    if (!container)
        return std::nullopt;
    return impl_->files.readPropertyListDictionary(
        container->appending(contract::kMenuOptionsFileName));
}

Expected<std::string> AppServices::makeBookmark(const std::string& path) {
    return makeBookmarkData(path);
}

NotificationCenter& AppServices::notifications() {
    return impl_->notifications;
}

SecurityScope& AppServices::security() {
    return impl_->security;
}

FileManager& AppServices::files() {
    return impl_->files;
}

DesktopApplications& AppServices::applications() {
    return impl_->applications;
}

const std::string& AppServices::applicationsFile() const {
    return impl_->applicationSettings.configFile;
}

} // namespace corvane::companion
