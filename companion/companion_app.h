#pragma once

// corvane-plus: one instance per session that reports itself running in the
// shared settings, answers the extension's requests, and opens its settings
// window on demand.

#include "platform/notification_center.h"

#include <glibmm/refptr.h>

#include <memory>
#include <string>
#include <vector>

namespace Glib {
class VariantDict;
}
namespace Gtk {
class Application;
}

namespace corvane::companion {

class AppServices;
class DesktopSettingsStores;
class RenameDialog;
class SettingsWindow;
class StatusIcon;
struct NotificationText;
struct RenameRequest;

class CompanionApp {
  public:
    CompanionApp();
    ~CompanionApp();

    /// Runs the app: `corvane-plus` opens the settings window (a second start
    /// brings the running instance's window to the front), `--background`
    /// starts without one. Returns the exit status.
    int run(int argc, char** argv);

  private:
    int handleLocalOptions(const Glib::RefPtr<Glib::VariantDict>& options);
    void startUp();
    void activate();
    void shutDown();
    void observe();
    void writeRunning(bool running);
    void takeUpStoredRequest();
    void handleRenameRequest(const PlistDictionary& userInfo);
    void handleResult(const PlistDictionary& userInfo);
    void toggleHiddenFiles();
    void showFeedback(const PlistDictionary& userInfo);
    void notify(const std::string& id, const NotificationText& text);
    void storedRequestSeen();

    Glib::RefPtr<Gtk::Application> app_;
    std::unique_ptr<AppServices> services_;
    std::unique_ptr<DesktopSettingsStores> stores_;
    std::unique_ptr<RenameDialog> rename_;
    std::unique_ptr<SettingsWindow> settings_;
    std::unique_ptr<StatusIcon> icon_;
    std::vector<NotificationCenter::ObserverId> observers_;
    std::vector<unsigned> signalSources_;
    bool background_ = false;
    bool started_ = false;
};

} // namespace corvane::companion
