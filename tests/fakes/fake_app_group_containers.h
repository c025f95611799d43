#pragma once

#include "platform/app_group.h"

#include <optional>

namespace corvane::fakes {

/// One container folder for every group id, or none.
struct FakeAppGroupContainers final : AppGroupContainers {
    std::optional<FileURL> containerURL(std::string_view) override { return container; }
    std::optional<FileURL> container;
};

} // namespace corvane::fakes
