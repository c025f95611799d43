#include "platform/linux/desktop_applications.h"

#include "platform/file_url.h"
#include "platform/linux/file_identity_cache.h"
#include "platform/linux/posix_io.h"
#include "platform/linux/xdg_folders.h"

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
// A configuration file of a few lines; anything this large is a mistake.
constexpr std::size_t kMaxConfigFileSize = std::size_t{1} << 20;
// Program names come from the defaults and a few Exec lines; a bound all the same.
constexpr std::size_t kMaxKeptSearches = 32;

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

/// The configuration file as read.
struct DesktopApplications::Config {
    /// Null when there is no file or it cannot be read.
    std::unique_ptr<GKeyFile, KeyFileFree> keys;
    /// Why the file cannot be read; empty when it can or is missing.
    std::string error;
};

/// The configuration file, kept while it (or, when missing, its folder) is
/// unchanged; and each program look-up, kept while the folders that showed
/// the program absent are unchanged. Items that exist but cannot be run are
/// never watched (a `chmod +x` changes no folder), and a found program is
/// checked again on every question.
struct DesktopApplications::Kept {
    explicit Kept(ChangeWatch* watch) : config(1, watch), searches(kMaxKeptSearches, watch) {}

    FileIdentityCache<std::shared_ptr<const Config>> config;
    FileIdentityCache<std::string> searches;
};

std::shared_ptr<const DesktopApplications::Config> DesktopApplications::config() const {
    const std::string& file = settings_.configFile;
    if (auto kept = kept_->config.find(file))
        return *kept;
    const std::int64_t began = posix::fileClockNow();
    auto fresh = std::make_shared<Config>();
    // A relative path would depend on the working folder: nothing is there.
    if (!posix::isUsablePath(file) || file.front() != '/')
        return fresh;
    std::vector<WatchedItem> watched;
    bool watchable = false;
    posix::FileIdentity identity;
    auto bytes = posix::readFile(file, kMaxConfigFileSize, &identity);
    if (!bytes && bytes.error().code == std::errc::no_such_file_or_directory) {
        watchable = watchAbsence(file, watched);
    } else {
        if (!bytes) {
            fresh->error = bytes.error().description;
        } else {
            fresh->keys.reset(g_key_file_new());
            GError* rawError = nullptr;
            if (!g_key_file_load_from_data(fresh->keys.get(), bytes->data(), bytes->size(),
                                           G_KEY_FILE_NONE, &rawError)) {
                fresh->keys.reset();
                fresh->error = "Cannot read " + file + ": " + ErrorPtr(rawError)->message;
            }
        }
        // The identity is that of the item opened; none when opening failed.
        watchable = identity.inode != 0;
        watched.push_back({file, identity});
    }
    if (watchable)
        kept_->config.keep(file, std::move(watched), began, fresh);
    else
        kept_->config.forget(file);
    return fresh;
}

DesktopApplications::DesktopApplications(Settings settings, ChangeWatch* watch)
    : settings_(std::move(settings)), kept_(std::make_unique<Kept>(watch)) {}
DesktopApplications::~DesktopApplications() = default;

DesktopApplications::Settings DesktopApplications::settingsFromEnvironment() {
    const char* path = g_getenv("PATH");
    return Settings{xdg::configHome() + "/corvane/applications.ini",
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
    if (auto kept = kept_->searches.find(program);
        kept && (kept->empty() || isExecutableFile(*kept)))
        return *kept;

    const std::int64_t began = posix::fileClockNow();
    std::vector<WatchedItem> watched;
    std::string found;
    // Whether every folder before the one at hand was shown not to hold the program.
    bool witnessed = true;
    std::string_view folders = settings_.searchPath;
    while (!folders.empty()) {
        std::size_t colon = folders.find(':');
        std::string_view folder = folders.substr(0, colon);
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        // An empty or relative entry would mean the extension's own working folder.
        if (folder.empty() || folder.front() != '/')
            continue;
        if (witnessed && watchAbsence(folder, program, watched))
            continue;
        std::string candidate = std::string(folder) + "/" + std::string(program);
        if (isExecutableFile(candidate)) {
            found = std::move(candidate);
            break;
        }
        witnessed = false;
    }
    if (witnessed)
        kept_->searches.keep(program, std::move(watched), began, found);
    else
        kept_->searches.forget(program);
    return found;
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
    const std::shared_ptr<const Config> config = this->config();
    if (!config->error.empty())
        return makeError(config->error);
    std::string line;
    bool configured = false;
    if (config->keys && g_key_file_has_key(config->keys.get(), name.c_str(), "Exec", nullptr)) {
        GError* rawError = nullptr;
        gchar* exec = g_key_file_get_string(config->keys.get(), name.c_str(), "Exec", &rawError);
        if (!exec)
            return makeError("The Exec line of [" + name + "] in " + file +
                             " cannot be read: " + ErrorPtr(rawError)->message);
        line = exec;
        g_free(exec);
        configured = true;
    }
    if (!configured)
        line = defaultExecLine(name);
    if (line.empty())
        return makeError("No program is set for " + name + ": add an Exec line to the group [" +
                         name + "] of " + file);

    gchar** argv = nullptr;
    GError* rawError = nullptr;
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
