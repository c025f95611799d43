#include "host/linux_platform.h"

#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/freedesktop_system_images.h"
#include "platform/linux/glib_scheduler.h"
#include "platform/linux/host_finder_sync_controller.h"
#include "platform/linux/libuuid_source.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/linux/posix_file_manager.h"

#include <giomm/dbusconnection.h>

#include <memory>
#include <ostream>

namespace corvane {

// Members in dependency order: the settings provider refers to the containers.
// The settings files and "MenuOptions.plist" are read through one cache.
struct LinuxPlatform::Impl {
    Impl(Glib::RefPtr<Gio::DBus::Connection> connection, std::ostream& log)
        : notifications(std::move(connection)), log(log) {}

    HostFinderSyncController controller;
    DirectoryAppGroupContainers containers{DirectoryAppGroupContainers::rootFromEnvironment()};
    std::shared_ptr<PlistFileCache> plistFiles = std::make_shared<PlistFileCache>();
    PlistFileSettingsProvider settings{containers, plistFiles};
    PosixFileManager files{plistFiles};
    BookmarkSecurityScope security;
    DBusNotificationCenter notifications;
    GlibScheduler scheduler;
    LibuuidSource uuids;
    FreedesktopSystemImages images;
    std::ostream& log;
};

LinuxPlatform::LinuxPlatform(Glib::RefPtr<Gio::DBus::Connection> connection, std::ostream& log)
    : impl_(std::make_unique<Impl>(std::move(connection), log)) {}

LinuxPlatform::~LinuxPlatform() = default;

FinderSyncServices LinuxPlatform::services() {
    return FinderSyncServices{
        impl_->controller,    impl_->settings,  impl_->containers, impl_->files,  impl_->security,
        impl_->notifications, impl_->scheduler, impl_->uuids,      impl_->images, impl_->log};
}

HostFinderSyncController& LinuxPlatform::controller() {
    return impl_->controller;
}

} // namespace corvane
