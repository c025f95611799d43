#pragma once

#include "finderbus/finder_bus.h"
#include "tools/command_line.h"

#include <functional>
#include <string_view>

namespace corvane::tools::finder {

/// An option one command takes beyond the shared ones: true when it took
/// `option` (reading its value, if it has one, from `rest`), false when it
/// does not know it.
using ExtraOption = std::function<Outcome<bool>(std::string_view option, ArgumentReader& rest)>;

/// Reads the request part of a command line, `[--target DIR | --no-target]
/// [ITEM...]` with the options `extra` takes mixed in: options may stand
/// between items and `--` ends them; an argument that is empty, "-" or does
/// not start with "-" is an item. The targeted folder is DIR, else the
/// current folder unless `--no-target` is given; relative paths are made
/// absolute against the current folder.
Outcome<finderbus::RequestContext> readRequestContext(ArgumentReader& args,
                                                      const ExtraOption& extra = {});

} // namespace corvane::tools::finder
