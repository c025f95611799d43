#include "platform/linux/desktop_clipboard.h"

#include "platform/linux/gvariant_plist.h"
#include "platform/linux/posix_io.h"
#include "platform/linux/xdg_folders.h"

#include <gio/gio.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace corvane {

namespace {

// A clipboard tool that takes longer than this is stuck: the main loop must not wait on it.
constexpr guint kToolTimeoutMs = 5000;
// More than any list of paths a person selects.
constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

struct ToolRun {
    bool finished = false;
    bool timedOut = false;
    GBytes* out = nullptr;
    GBytes* err = nullptr;
    GError* error = nullptr;
};

std::string text(GBytes* bytes) {
    gsize size = 0;
    const char* data = bytes ? static_cast<const char*>(g_bytes_get_data(bytes, &size)) : nullptr;
    return data ? std::string(data, size) : std::string();
}

std::unexpected<Error> toolError(const std::string& tool, const std::string& what) {
    return makeError(tool + ": " + toDBusString(what));
}

/// Runs `argv` with `input` on its standard input (when given) and returns
/// its standard output. Only standard input is a pipe when storing: xclip and
/// wl-copy leave a child behind that serves the clipboard and would hold any
/// other pipe open. The run goes on a private main context, so the caller's
/// loop dispatches nothing meanwhile; a failed run says what the tool wrote
/// on standard error, when it could be read.
// FIXME: Pasteboard's calls return their outcome, so the caller's main loop
// waits for the tool, up to kToolTimeoutMs, and serves no file manager
// meanwhile; a Pasteboard that completes later would not stall it.
Expected<std::string> runTool(const std::vector<std::string>& argv,
                              std::optional<std::string_view> input) {
    const std::string& tool = argv.front();
    std::vector<const char*> args;
    for (const std::string& arg : argv)
        args.push_back(arg.c_str());
    args.push_back(nullptr);
    auto flags =
        input ? GSubprocessFlags(G_SUBPROCESS_FLAGS_STDIN_PIPE | G_SUBPROCESS_FLAGS_STDOUT_SILENCE |
                                 G_SUBPROCESS_FLAGS_STDERR_SILENCE)
              : GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_PIPE);
    // Pushed first, so that every source of the run belongs to this context.
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GError* error = nullptr;
    GSubprocess* process = g_subprocess_newv(args.data(), flags, &error);
    if (!process) {
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
        auto failed = toolError(tool, error->message);
        g_error_free(error);
        return failed;
    }
    ToolRun run;
    GBytes* stdinBytes = input ? g_bytes_new(input->data(), input->size()) : nullptr;
    g_subprocess_communicate_async(
        process, stdinBytes, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer data) {
            auto* state = static_cast<ToolRun*>(data);
            g_subprocess_communicate_finish(G_SUBPROCESS(source), result, &state->out, &state->err,
                                            &state->error);
            state->finished = true;
        },
        &run);
    GSource* timer = g_timeout_source_new(kToolTimeoutMs);
    g_source_set_callback(
        timer,
        +[](gpointer data) -> gboolean {
            static_cast<ToolRun*>(data)->timedOut = true;
            return G_SOURCE_REMOVE;
        },
        &run, nullptr);
    g_source_attach(timer, context);
    while (!run.finished && !run.timedOut)
        g_main_context_iteration(context, TRUE);
    if (!run.finished) {
        g_subprocess_force_exit(process);
        while (!run.finished)
            g_main_context_iteration(context, TRUE);
    }
    g_source_destroy(timer);
    g_source_unref(timer);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    if (stdinBytes)
        g_bytes_unref(stdinBytes);

    Expected<std::string> outcome;
    if (run.timedOut) {
        outcome = toolError(tool, "did not finish within " + std::to_string(kToolTimeoutMs / 1000) +
                                      " seconds");
    } else if (run.error) {
        outcome = toolError(tool, run.error->message);
    } else if (!g_subprocess_get_if_exited(process)) {
        outcome = toolError(tool, "ended by a signal");
    } else if (int status = g_subprocess_get_exit_status(process); status != 0) {
        std::string said = text(run.err);
        while (!said.empty() && (said.back() == '\n' || said.back() == ' '))
            said.pop_back();
        outcome =
            toolError(tool, said.empty() ? "exited with status " + std::to_string(status) : said);
    } else {
        outcome = text(run.out);
    }
    for (GBytes* bytes : {run.out, run.err})
        if (bytes)
            g_bytes_unref(bytes);
    if (run.error)
        g_error_free(run.error);
    g_object_unref(process);
    return outcome;
}

/// Runs a tool whose output is of no interest.
Expected<void> runQuietTool(const std::vector<std::string>& argv,
                            std::optional<std::string_view> input) {
    Expected<std::string> ran = runTool(argv, input);
    if (!ran)
        return std::unexpected(ran.error());
    return {};
}

std::string folderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

} // namespace

DesktopClipboard::DesktopClipboard(Settings settings) : settings_(std::move(settings)) {}

DesktopClipboard::Settings DesktopClipboard::settingsFromEnvironment() {
    auto set = [](const char* name) {
        const char* value = g_getenv(name);
        return value && value[0] != '\0';
    };
    Settings settings;
    settings.mechanism = set("WAYLAND_DISPLAY") ? Mechanism::WaylandTools
                         : set("DISPLAY")       ? Mechanism::X11Tools
                                                : Mechanism::File;
    settings.fallbackFile = xdg::runtimeDir().value_or(xdg::cacheHome()) + "/corvane/pasteboard";
    return settings;
}

Expected<void> DesktopClipboard::store(std::string_view text) {
    switch (settings_.mechanism) {
    case Mechanism::WaylandTools:
        return runQuietTool({"wl-copy"}, text);
    case Mechanism::X11Tools:
        return runQuietTool({"xclip", "-selection", "clipboard", "-in"}, text);
    case Mechanism::File:
        break;
    }
    const std::string& file = settings_.fallbackFile;
    if (auto folder = posix::makeDirectories(folderOf(file), 0700); !folder)
        return folder;
    return posix::writeFileAtomically(file, text, 0600, posix::Replace::Existing);
}

Expected<void> DesktopClipboard::clearContents() {
    switch (settings_.mechanism) {
    case Mechanism::WaylandTools:
        return runQuietTool({"wl-copy", "--clear"}, std::nullopt);
    case Mechanism::X11Tools:
        // xclip has no way to give the selection up: it serves an empty text.
        return store("");
    case Mechanism::File:
        break;
    }
    if (::unlink(settings_.fallbackFile.c_str()) != 0 && errno != ENOENT)
        return posix::systemError("Cannot clear " + settings_.fallbackFile, errno);
    return {};
}

Expected<void> DesktopClipboard::setString(std::string_view text) {
    return store(text);
}

Expected<std::string> DesktopClipboard::string() {
    switch (settings_.mechanism) {
    case Mechanism::WaylandTools:
        return runTool({"wl-paste", "--no-newline"}, std::nullopt);
    case Mechanism::X11Tools:
        return runTool({"xclip", "-selection", "clipboard", "-out"}, std::nullopt);
    case Mechanism::File:
        break;
    }
    Expected<std::string> contents = posix::readFile(settings_.fallbackFile, kMaxFileBytes);
    if (!contents && contents.error().code == std::errc::no_such_file_or_directory)
        return std::string();
    return contents;
}

} // namespace corvane
