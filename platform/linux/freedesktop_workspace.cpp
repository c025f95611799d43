#include "platform/linux/freedesktop_workspace.h"

#include "platform/linux/desktop_applications.h"
#include "platform/linux/gvariant_plist.h"
#include "platform/scheduler.h"

#include <gio/gio.h>
#include <giomm/dbusconnection.h>

#include <memory>

namespace corvane {

namespace {

/// Starts `command`; GLib reaps the child, so none is left a zombie.
Expected<void> start(const DesktopApplications::Command& command) {
    std::vector<char*> argv;
    for (const std::string& arg : command.argv)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    GError* error = nullptr;
    const char* folder =
        command.workingDirectory.empty() ? nullptr : command.workingDirectory.c_str();
    if (!g_spawn_async(folder, argv.data(), nullptr, G_SPAWN_STDOUT_TO_DEV_NULL, nullptr, nullptr,
                       nullptr, &error)) {
        // GLib's text names the program and the folder as they are, bytes and
        // all; the description travels in notifications, as a D-Bus string.
        std::string description = toDBusString(error->message);
        g_error_free(error);
        return makeError(std::move(description));
    }
    return {};
}

} // namespace

FreedesktopWorkspace::FreedesktopWorkspace(Glib::RefPtr<Gio::DBus::Connection> connection,
                                           const DesktopApplications& applications,
                                           Scheduler& scheduler)
    : connection_(std::move(connection)), applications_(applications), scheduler_(scheduler) {}

FreedesktopWorkspace::~FreedesktopWorkspace() = default;

void FreedesktopWorkspace::selectFile(std::string_view filePath, std::string_view /*rootPath*/) {
    // ShowItems opens a window on the file's folder with the file selected:
    // that folder is the root the caller names.
    if (!connection_ || connection_->is_closed())
        return;
    GFile* file = g_file_new_for_path(std::string(filePath).c_str());
    gchar* uri = g_file_get_uri(file);
    g_object_unref(file);
    const gchar* uris[] = {uri, nullptr};
    // (as uris, s startup_id); fire and forget, so no callback.
    g_dbus_connection_call(connection_->gobj(), "org.freedesktop.FileManager1",
                           "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
                           "ShowItems", g_variant_new("(^ass)", uris, ""), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    g_free(uri);
}

void FreedesktopWorkspace::openURLs(const std::vector<FileURL>& urls, const FileURL& application,
                                    OpenCompletion completion) {
    std::vector<std::string> paths;
    for (const FileURL& url : urls)
        paths.push_back(url.path());
    Expected<DesktopApplications::Command> command =
        applications_.commandFor(application.path(), paths);
    Expected<void> started =
        command ? start(*command) : Expected<void>(std::unexpected(command.error()));
    if (completion)
        scheduler_.postToMainQueue(
            [completion = std::move(completion), started] { completion(started); });
}

} // namespace corvane
