#pragma once

#include "platform/workspace.h"

#include <glibmm/refptr.h>

namespace Gio::DBus {
class Connection;
}

namespace corvane {

class DesktopApplications;
class Scheduler;

/// The workspace on a freedesktop desktop.
///
/// A file is revealed with `org.freedesktop.FileManager1.ShowItems` on the
/// session bus, with the file's URI as GLib builds it and an empty startup
/// id; no reply is awaited, and a bus without a file manager is no error.
/// URLs are opened by starting the program `DesktopApplications` gives for
/// the application, directly (never through a shell), with its standard
/// output on /dev/null so that it never mixes with the log lines; GLib
/// reaps it. A start failure carries GLib's readable text.
class FreedesktopWorkspace final : public Workspace {
  public:
    /// `connection` may be null: nothing is revealed then. Completions are
    /// queued on `scheduler`.
    FreedesktopWorkspace(Glib::RefPtr<Gio::DBus::Connection> connection,
                         const DesktopApplications& applications, Scheduler& scheduler);
    ~FreedesktopWorkspace() override;

    void selectFile(std::string_view filePath, std::string_view rootPath) override;
    void openURLs(const std::vector<FileURL>& urls, const FileURL& application,
                  OpenCompletion completion) override;

  private:
    Glib::RefPtr<Gio::DBus::Connection> connection_;
    const DesktopApplications& applications_;
    Scheduler& scheduler_;
};

} // namespace corvane
