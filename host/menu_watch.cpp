#include "host/menu_watch.h"

#include "extension/finder_sync.h"
#include "finderbus/finder_bus.h"
#include "platform/app_group.h"
#include "platform/file_manager.h"
#include "platform/linux/linux_platform.h"
#include "platform/settings.h"

#include <giomm/dbusconnection.h>
#include <giomm/file.h>
#include <giomm/filemonitor.h>
#include <glibmm/main.h>

#include <exception>

namespace corvane {

namespace {

// A write replaces a file through a temporary one and a rename: wait for the
// burst of events to end before reading.
constexpr unsigned kSettleMs = 100;

} // namespace

std::vector<std::string> menuFiles(LinuxPlatform& platform) {
    std::vector<std::string> files;
    if (std::string suite = platform.settingsFile(contract::kAppGroupId); !suite.empty())
        files.push_back(std::move(suite));
    if (auto container = platform.containers().containerURL(contract::kAppGroupId))
        files.push_back(container->appending(contract::kMenuOptionsFileName).path());
    return files;
}

PlistValue menuFacts(const FinderSyncServices& services) {
    PlistArray facts;
    if (std::unique_ptr<SettingsSuite> suite = services.settings.openSuite(contract::kAppGroupId)) {
        facts.emplace_back(suite->boolForKey(contract::kAppRunningKey));
        facts.emplace_back(suite->objectForKey(contract::kMenuOptionsKey).value_or(PlistValue()));
    }
    if (auto container = services.containers.containerURL(contract::kAppGroupId)) {
        FileURL file = container->appending(contract::kMenuOptionsFileName);
        facts.emplace_back(
            services.files.readPropertyListDictionary(file).value_or(PlistDictionary()));
    }
    return facts;
}

MenuWatch::MenuWatch(Glib::RefPtr<Gio::DBus::Connection> connection,
                     const std::vector<std::string>& files, Facts facts)
    : connection_(std::move(connection)), facts_(std::move(facts)), lastFacts_(facts_()) {
    for (const std::string& path : files) {
        try {
            auto monitor = Gio::File::create_for_path(path)->monitor_file();
            monitor->signal_changed().connect([this](const Glib::RefPtr<Gio::File>&,
                                                     const Glib::RefPtr<Gio::File>&,
                                                     Gio::FileMonitor::Event) { changed(); });
            monitors_.push_back(std::move(monitor));
        } catch (const Glib::Error&) {
            // Unwatched, a change shows at the file manager's next request.
        }
    }
}

MenuWatch::~MenuWatch() {
    settle_.disconnect();
    for (const auto& monitor : monitors_)
        monitor->cancel();
}

void MenuWatch::changed() {
    settle_.disconnect();
    settle_ = Glib::signal_timeout().connect(
        [this] {
            settled();
            return false;
        },
        kSettleMs);
}

void MenuWatch::settled() {
    // An exception escaping this slot would be swallowed by the loop.
    try {
        PlistValue facts = facts_();
        if (facts == lastFacts_)
            return;
        lastFacts_ = std::move(facts);
        connection_->emit_signal(finderbus::kObjectPath, finderbus::kInterface,
                                 finderbus::kMenuChanged);
    } catch (const std::exception&) {
        // The file managers keep the menu they have until their next request.
    }
}

} // namespace corvane
