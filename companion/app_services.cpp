#include "companion/app_services.h"

#include "extension/companion_contract.h"
#include "platform/app_group.h"
#include "platform/file_manager.h"
#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/linux_platform.h"
#include "platform/settings.h"

#include <giomm/dbusconnection.h>

#include <iostream>

namespace corvane::companion {

// The same services the extension process builds, from the same place.
struct AppServices::Impl {
    explicit Impl(Glib::RefPtr<Gio::DBus::Connection> session)
        : platform(std::move(session), std::cerr) {}

    LinuxPlatform platform;
};

AppServices::AppServices(Glib::RefPtr<Gio::DBus::Connection> session)
    : impl_(std::make_unique<Impl>(std::move(session))) {}

AppServices::~AppServices() = default;

Expected<std::unique_ptr<SettingsSuite>> AppServices::openSharedSuite() {
    if (auto suite = impl_->platform.settings().openSuite(contract::kAppGroupId))
        return suite;
    return makeError("The shared settings cannot be opened under " +
                     impl_->platform.containerRoot());
}

std::optional<PlistDictionary> AppServices::optionsFileRoot() {
    auto container = impl_->platform.containers().containerURL(contract::kAppGroupId);
    if (!container)
        return std::nullopt;
    return impl_->platform.files().readPropertyListDictionary(
        container->appending(contract::kMenuOptionsFileName));
}

Expected<std::string> AppServices::makeBookmark(const std::string& path) {
    return makeBookmarkData(path);
}

NotificationCenter& AppServices::notifications() {
    return impl_->platform.notifications();
}

SecurityScope& AppServices::security() {
    return impl_->platform.security();
}

FileManager& AppServices::files() {
    return impl_->platform.files();
}

DesktopApplications& AppServices::applications() {
    return impl_->platform.applications();
}

const std::string& AppServices::applicationsFile() const {
    return impl_->platform.config().applications.configFile;
}

} // namespace corvane::companion
