#pragma once

#include "extension/settings/menu_options.h"
#include "platform/file_url.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace corvane {

class AppGroupContainers;
class FileManager;
class SettingsProvider;

/// The tag in front of every log line of the menu options store.
inline constexpr std::string_view kMenuOptionsLogTag = "[CorvaneExt] ";

/// Loads the menu options from the first of three sources that yields at
/// least one usable entry: the options file in the App Group container, the
/// dictionary in the shared settings suite, the built-in defaults. Sources are
/// never merged. Every load reads afresh; nothing is cached.
class MenuOptionsStore {
  public:
    /// All references must outlive the store. `defaults` are the options used
    /// when neither the file nor the shared settings yield any.
    MenuOptionsStore(SettingsProvider& settings, AppGroupContainers& containers, FileManager& files,
                     std::ostream& log, MenuOptions defaults)
        : settings_(settings), containers_(containers), files_(files), log_(log),
          defaults_(std::move(defaults)) {}

    /// The options file, "MenuOptions.plist" in the App Group container (it
    /// need not exist); none, with a log line, when there is no container.
    std::optional<FileURL> fileURL() const;

    /// The options of the first source that yields any, with the log lines
    /// that tell which source was used.
    MenuOptions load() const;

  private:
    /// The options of the file by the value rule; none when there is no
    /// container, the file cannot be read as a dictionary, or no entry is
    /// usable. Writes no log line of its own.
    std::optional<MenuOptions> loadFromFile() const;
    /// The shared entry by the value rule; empty when the suite or its
    /// dictionary is missing.
    MenuOptions loadFromSharedSettings() const;
    void log(std::string_view message, const MenuOptions& options) const;

    SettingsProvider& settings_;
    AppGroupContainers& containers_;
    FileManager& files_;
    std::ostream& log_;
    MenuOptions defaults_;
};

} // namespace corvane
