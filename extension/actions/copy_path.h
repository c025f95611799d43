#pragma once

#include "platform/file_url.h"

#include <string>
#include <vector>

namespace corvane {

/// The paths of `urls` in their order, joined by single line feeds, with none
/// before the first or after the last. The bytes of each path are kept as
/// they are: nothing is escaped.
std::string joinedPaths(const std::vector<FileURL>& urls);

} // namespace corvane
