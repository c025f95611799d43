#pragma once

// The commands of corvane-companion, one group a file; main.cpp holds the
// table that names them.

#include "tools/command_line.h"

namespace corvane::tools::companion {

// settings_commands.cpp: the running flag, the menu options, any stored value.

/// `running on|off|clear`: "appIsRunning" true, false or removed.
Outcome<> running(Arguments args);
/// `options [--file] KEY=VALUE... | options [--file] --clear`: replaces or
/// removes "contextMenuOptions", or with `--file` the options file.
Outcome<> options(Arguments args);
/// `read KEY`: prints the stored value as one line of JSON, or null.
Outcome<> read(Arguments args);

// bookmark_commands.cpp: the secured directories.

/// `grant DIR [--key KEY]`: adds a bookmark of DIR to "securedDirectories".
Outcome<> grant(Arguments args);
/// `revoke KEY`: removes one bookmark; a failure when none is stored under KEY.
Outcome<> revoke(Arguments args);

// listen_command.cpp: the extension's notifications.

/// `listen [--count N] [--timeout SECONDS] [NAME...]`: prints each
/// notification of the names (all, when none are given) as a JSON line.
Outcome<> listen(Arguments args);

// execute_command.cpp: the companion app's answer to a batch-rename request.

/// `execute --base NAME [--via notification|record] [--id ID] PATH...`: asks
/// the extension to rename the PATHs, by the stored execute record (with ID,
/// else a fresh id) or by the execute notification.
Outcome<> execute(Arguments args);

} // namespace corvane::tools::companion
