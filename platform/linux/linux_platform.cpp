#include "platform/linux/linux_platform.h"

#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/change_watch.h"
#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/freedesktop_alert.h"
#include "platform/linux/freedesktop_system_images.h"
#include "platform/linux/freedesktop_workspace.h"
#include "platform/linux/glib_scheduler.h"
#include "platform/linux/libuuid_source.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/linux/posix_file_manager.h"

#include <giomm/dbusconnection.h>

#include <ostream>

namespace corvane {

LinuxPlatformConfig LinuxPlatformConfig::fromEnvironment() {
    return {DirectoryAppGroupContainers::rootFromEnvironment(),
            DesktopApplications::settingsFromEnvironment(),
            DesktopClipboard::settingsFromEnvironment()};
}

// Members in dependency order: the settings provider refers to the containers,
// the file manager and the workspace to the applications. The settings files
// and "MenuOptions.plist" are read through one cache.
struct LinuxPlatform::Impl {
    Impl(Glib::RefPtr<Gio::DBus::Connection> connection, std::ostream& diagnostics,
         LinuxPlatformConfig config)
        : applications(std::move(config.applications), &changes),
          containers(std::move(config.containerRoot)), notifications(connection, diagnostics),
          workspace(connection, applications, scheduler), pasteboard(std::move(config.clipboard)),
          alerts(connection, diagnostics) {}

    ChangeWatch changes;
    DesktopApplications applications;
    DirectoryAppGroupContainers containers;
    std::shared_ptr<PlistFileCache> plistFiles =
        std::make_shared<PlistFileCache>(PlistFileCache::kDefaultCapacity, &changes);
    PlistFileSettingsProvider settings{containers, plistFiles};
    PosixFileManager files{plistFiles, &applications};
    BookmarkSecurityScope security;
    DBusNotificationCenter notifications;
    GlibScheduler scheduler;
    LibuuidSource uuids;
    FreedesktopSystemImages images;
    FreedesktopWorkspace workspace;
    DesktopClipboard pasteboard;
    FreedesktopAlert alerts;
};

LinuxPlatform::LinuxPlatform(Glib::RefPtr<Gio::DBus::Connection> connection,
                             std::ostream& diagnostics, LinuxPlatformConfig config)
    : config_(config),
      impl_(std::make_unique<Impl>(std::move(connection), diagnostics, std::move(config))) {}

LinuxPlatform::~LinuxPlatform() = default;

SettingsProvider& LinuxPlatform::settings() {
    return impl_->settings;
}
AppGroupContainers& LinuxPlatform::containers() {
    return impl_->containers;
}
FileManager& LinuxPlatform::files() {
    return impl_->files;
}
SecurityScope& LinuxPlatform::security() {
    return impl_->security;
}
NotificationCenter& LinuxPlatform::notifications() {
    return impl_->notifications;
}
Scheduler& LinuxPlatform::scheduler() {
    return impl_->scheduler;
}
UUIDSource& LinuxPlatform::uuids() {
    return impl_->uuids;
}
SystemImages& LinuxPlatform::images() {
    return impl_->images;
}
Workspace& LinuxPlatform::workspace() {
    return impl_->workspace;
}
Pasteboard& LinuxPlatform::pasteboard() {
    return impl_->pasteboard;
}
AlertPresenter& LinuxPlatform::alerts() {
    return impl_->alerts;
}
DesktopApplications& LinuxPlatform::applications() {
    return impl_->applications;
}
const LinuxPlatformConfig& LinuxPlatform::config() const {
    return config_;
}

std::string LinuxPlatform::settingsFile(std::string_view suiteName) {
    return impl_->settings.suiteFilePath(suiteName).value_or("");
}

const std::string& LinuxPlatform::containerRoot() const {
    return config_.containerRoot;
}

} // namespace corvane
