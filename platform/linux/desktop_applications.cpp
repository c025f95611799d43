#include "platform/linux/desktop_applications.h"

#include "platform/file_url.h"
#include "platform/linux/posix_io.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>

namespace corvane {

namespace {

constexpr std::string_view kBundleSuffix = ".app";
constexpr std::array<std::string_view, 3> kBundleFolders = {
    "/Applications", "/Applications/Utilities", "/System/Applications/Utilities"};
// Debian's alternative first, then terminals that start in their working folder.
constexpr std::array<std::string_view, 5> kTerminals = {"x-terminal-emulator", "gnome-terminal",
                                                        "konsole", "xfce4-terminal", "xterm"};
constexpr std::string_view kOpenedPaths = "%F";

struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;
struct KeyFileFree {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return posix::isUsablePath(path) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string quoted(std::string_view text) {
    return "\u201C" + std::string(text) + "\u201D";
}

/// A desktop-entry argument other than "%F": "%%" is a percent sign, every
/// other field code is dropped.
std::string expandFieldCodes(std::string_view arg) {
    std::string out;
    for (std::size_t i = 0; i < arg.size(); ++i) {
        if (arg[i] != '%' || i + 1 == arg.size()) {
            out += arg[i];
        } else if (arg[++i] == '%') {
            out += '%';
        }
    }
    return out;
}

} // namespace

DesktopApplications::DesktopApplications(Settings settings) : settings_(std::move(settings)) {}

DesktopApplications::Settings DesktopApplications::settingsFromEnvironment() {
    const char* configHome = g_getenv("XDG_CONFIG_HOME");
    std::string config = configHome && configHome[0] == '/'
                             ? std::string(configHome)
                             : std::string(g_get_home_dir()) + "/.config";
    const char* path = g_getenv("PATH");
    return Settings{config + "/corvane/applications.ini",
                    path ? std::string(path) : std::string("/usr/local/bin:/usr/bin:/bin")};
}

bool DesktopApplications::isBundlePath(std::string_view path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return false;
    std::string_view folder = path.substr(0, slash);
    std::string_view name = path.substr(slash + 1);
    return name.size() > kBundleSuffix.size() && name.ends_with(kBundleSuffix) &&
           std::ranges::find(kBundleFolders, folder) != kBundleFolders.end();
}

std::string DesktopApplications::findProgram(std::string_view program) const {
    if (program.find('/') != std::string_view::npos)
        return program.front() == '/' && isExecutableFile(std::string(program))
                   ? std::string(program)
                   : std::string();
    std::string_view folders = settings_.searchPath;
    while (!folders.empty()) {
        std::size_t colon = folders.find(':');
        std::string_view folder = folders.substr(0, colon);
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        // An empty or relative entry would mean the extension's own working folder.
        if (folder.empty() || folder.front() != '/')
            continue;
        std::string candidate = std::string(folder) + "/" + std::string(program);
        if (isExecutableFile(candidate))
            return candidate;
    }
    return {};
}

std::string DesktopApplications::defaultExecLine(std::string_view name) const {
    if (name == "Terminal") {
        for (std::string_view terminal : kTerminals)
            if (!findProgram(terminal).empty())
                return std::string(terminal);
        return std::string(kTerminals.front());
    }
    if (name == "Visual Studio Code")
        return "code %F";
    if (name == "Visual Studio Code - Insiders")
        return "code-insiders %F";
    return {};
}

Expected<std::vector<std::string>>
DesktopApplications::programFor(std::string_view applicationPath) const {
    const std::string path(applicationPath);
    struct stat st {};
    if (posix::isUsablePath(path) && ::lstat(path.c_str(), &st) == 0) {
        if (!isExecutableFile(path))
            return makeError(quoted(path) + " is not an executable program");
        return std::vector<std::string>{path, std::string(kOpenedPaths)};
    }
    if (!isBundlePath(path))
        return makeError("There is no application at " + quoted(path));

    std::string name = path.substr(path.rfind('/') + 1);
    name.resize(name.size() - kBundleSuffix.size());
    const std::string& file = settings_.configFile;
    std::string line;
    bool configured = false;
    std::unique_ptr<GKeyFile, KeyFileFree> keys(g_key_file_new());
    GError* rawError = nullptr;
    if (g_key_file_load_from_file(keys.get(), file.c_str(), G_KEY_FILE_NONE, &rawError)) {
        if (g_key_file_has_key(keys.get(), name.c_str(), "Exec", nullptr)) {
            gchar* exec = g_key_file_get_string(keys.get(), name.c_str(), "Exec", &rawError);
            if (!exec)
                return makeError("The Exec line of [" + name + "] in " + file +
                                 " cannot be read: " + ErrorPtr(rawError)->message);
            line = exec;
            g_free(exec);
            configured = true;
        }
    } else {
        ErrorPtr error(rawError);
        if (!g_error_matches(error.get(), G_FILE_ERROR, G_FILE_ERROR_NOENT))
            return makeError("Cannot read " + file + ": " + error->message);
    }
    if (!configured)
        line = defaultExecLine(name);
    if (line.empty())
        return makeError("No program is set for " + name + ": add an Exec line to the group [" +
                         name + "] of " + file);

    gchar** argv = nullptr;
    if (!g_shell_parse_argv(line.c_str(), nullptr, &argv, &rawError))
        return makeError("The Exec line of " + name +
                         " cannot be read: " + ErrorPtr(rawError)->message);
    std::vector<std::string> args(argv, argv + g_strv_length(argv));
    g_strfreev(argv);
    std::string program = findProgram(args.front());
    if (program.empty())
        return makeError("The program " + quoted(args.front()) + " for " + name +
                         (args.front().find('/') == std::string::npos
                              ? " is not found on PATH"
                              : " is not an executable file"));
    args.front() = std::move(program);
    return args;
}

bool DesktopApplications::canStart(std::string_view applicationPath) const {
    return programFor(applicationPath).has_value();
}

Expected<DesktopApplications::Command>
DesktopApplications::commandFor(std::string_view applicationPath,
                                const std::vector<std::string>& paths) const {
    Expected<std::vector<std::string>> program = programFor(applicationPath);
    if (!program)
        return std::unexpected(program.error());
    Command command;
    command.argv.push_back(program->front());
    for (std::size_t i = 1; i < program->size(); ++i) {
        const std::string& arg = (*program)[i];
        if (arg == kOpenedPaths) {
            command.argv.insert(command.argv.end(), paths.begin(), paths.end());
        } else if (std::string expanded = expandFieldCodes(arg); !expanded.empty() || arg.empty()) {
            // A field code standing alone that expands to nothing leaves no argument.
            command.argv.push_back(std::move(expanded));
        }
    }
    if (!paths.empty()) {
        const std::string& first = paths.front();
        struct stat st {};
        bool isFolder =
            posix::isUsablePath(first) && ::stat(first.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        command.workingDirectory = isFolder || first.empty() || first.front() != '/'
                                       ? first
                                       : FileURL::fromPath(first).parent().path();
    }
    return command;
}

} // namespace corvane
