#pragma once

// The App Group's shared settings as the companion app reaches them, found
// the way the extension finds them: `CORVANE_GROUP_CONTAINERS`, else the XDG
// data folder.

#include "platform/settings.h"
#include "tools/command_line.h"

#include <memory>
#include <string>
#include <string_view>

namespace corvane::tools::companion {

/// The folder of the App Group container; a failure when it cannot be used.
Outcome<std::string> sharedContainerFolder();

/// The shared settings suite; a failure when it cannot be opened.
Outcome<std::unique_ptr<SettingsSuite>> openSharedSuite();

/// Stores `value` under `key` and synchronizes, as the companion app does
/// after every write.
Outcome<> store(SettingsSuite& suite, std::string_view key, const PlistValue& value);
/// Removes `key` and synchronizes.
Outcome<> erase(SettingsSuite& suite, std::string_view key);
/// Edits the value under `key` as the file holds it now, under the suite's
/// lock (`SettingsSuite::modifyObject`), and synchronizes; two companions
/// editing one dictionary at once keep both their changes.
Outcome<> modify(SettingsSuite& suite, std::string_view key,
                 const SettingsSuite::Modification& change);

/// The one KEY that `command` takes, as text.
Outcome<std::string> onlyKey(std::string_view command, Arguments args);

} // namespace corvane::tools::companion
