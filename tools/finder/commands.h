#pragma once

// The commands of corvane-finder, one group a file; main.cpp holds the table
// that names them.

#include "tools/command_line.h"

namespace corvane::tools::finder {

// menu_commands.cpp: the context menu and its actions.

/// `menu [--kind N] [--target DIR | --no-target] [--json] [ITEM...]`: prints
/// the extension's menu, one line an entry or one line of JSON.
Outcome<> menu(Arguments args);
/// `choose TITLE [--target DIR | --no-target] [ITEM...]`: delivers the action
/// of the enabled menu item titled TITLE; a failure when there is none.
Outcome<> choose(Arguments args);
/// `perform SELECTOR [--target DIR | --no-target] [ITEM...]`: delivers
/// SELECTOR directly.
Outcome<> perform(Arguments args);

// paste_command.cpp: the pasteboard.

/// `paste`: prints what a paste gives now, from the place the extension
/// copies to, exactly as stored; a failure when it cannot be read.
Outcome<> paste(Arguments args);

} // namespace corvane::tools::finder
