#pragma once

#include <optional>
#include <string>

namespace corvane::xdg {

// The user's folders as the environment names them, read anew at each call.
// Relative values of the XDG variables are invalid and ignored, as the XDG
// base directory rules say.

/// $HOME when set and not empty; else the home folder of the user database
/// (a service may start with a scrubbed environment); else "/".
std::string homeFolder();

/// $XDG_CONFIG_HOME, else `~/.config`.
std::string configHome();

/// $XDG_DATA_HOME, else `~/.local/share`.
std::string dataHome();

/// $XDG_CACHE_HOME, else `~/.cache`.
std::string cacheHome();

/// $XDG_RUNTIME_DIR; none when it is not set to an absolute path.
std::optional<std::string> runtimeDir();

} // namespace corvane::xdg
