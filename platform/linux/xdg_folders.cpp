#include "platform/linux/xdg_folders.h"

#include "platform/file_url.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace corvane::xdg {

namespace {

std::optional<std::string> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value && value[0] == '/')
        return FileURL::fromPath(value).path();
    return std::nullopt;
}

std::string baseFolder(const char* variable, std::string_view underHome) {
    if (auto value = absoluteVariable(variable))
        return *value;
    return FileURL::fromPath(homeFolder()).appending(underHome).path();
}

} // namespace

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] != '\0')
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::string configHome() {
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

std::string dataHome() {
    return baseFolder("XDG_DATA_HOME", ".local/share");
}

std::string cacheHome() {
    return baseFolder("XDG_CACHE_HOME", ".cache");
}

std::optional<std::string> runtimeDir() {
    return absoluteVariable("XDG_RUNTIME_DIR");
}

} // namespace corvane::xdg
