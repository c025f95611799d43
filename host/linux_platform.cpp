#include "host/linux_platform.h"

#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/desktop_applications.h"
#include "platform/linux/desktop_clipboard.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/freedesktop_alert.h"
#include "platform/linux/freedesktop_system_images.h"
#include "platform/linux/freedesktop_workspace.h"
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

// Members in dependency order: the settings provider refers to the containers,
// the file manager and the workspace to the applications. The settings files
// and "MenuOptions.plist" are read through one cache.
struct LinuxPlatform::Impl {
    Impl(Glib::RefPtr<Gio::DBus::Connection> connection, std::ostream& log,
         std::ostream& diagnostics)
        : notifications(connection), log(log), workspace(connection, applications, scheduler),
          alerts(connection, diagnostics) {}

    DesktopApplications applications{DesktopApplications::settingsFromEnvironment()};
    HostFinderSyncController controller;
    DirectoryAppGroupContainers containers{DirectoryAppGroupContainers::rootFromEnvironment()};
    std::shared_ptr<PlistFileCache> plistFiles = std::make_shared<PlistFileCache>();
    PlistFileSettingsProvider settings{containers, plistFiles};
    PosixFileManager files{plistFiles, &applications};
    BookmarkSecurityScope security;
    DBusNotificationCenter notifications;
    GlibScheduler scheduler;
    LibuuidSource uuids;
    FreedesktopSystemImages images;
    std::ostream& log;
    FreedesktopWorkspace workspace;
    DesktopClipboard pasteboard{DesktopClipboard::settingsFromEnvironment()};
    FreedesktopAlert alerts;
};

LinuxPlatform::LinuxPlatform(Glib::RefPtr<Gio::DBus::Connection> connection, std::ostream& log,
                             std::ostream& diagnostics)
    : impl_(std::make_unique<Impl>(std::move(connection), log, diagnostics)) {}

LinuxPlatform::~LinuxPlatform() = default;

FinderSyncServices LinuxPlatform::services() {
    return FinderSyncServices{
        impl_->controller,    impl_->settings,   impl_->containers, impl_->files,  impl_->security,
        impl_->notifications, impl_->scheduler,  impl_->uuids,      impl_->images, impl_->log,
        impl_->workspace,     impl_->pasteboard, impl_->alerts};
}

HostFinderSyncController& LinuxPlatform::controller() {
    return impl_->controller;
}

std::vector<std::string> LinuxPlatform::menuFiles() {
    std::vector<std::string> files;
    if (auto suite = impl_->settings.suiteFilePath(contract::kAppGroupId))
        files.push_back(std::move(*suite));
    if (auto container = impl_->containers.containerURL(contract::kAppGroupId))
        files.push_back(container->appending(contract::kMenuOptionsFileName).path());
    return files;
}

} // namespace corvane
