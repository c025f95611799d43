#pragma once

// Shared by the platform tests: a temporary folder per test and a
// failure's text.

#include "platform/error.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane::testing {

/// Gives each test its own temporary folder, removed afterwards.
class TempFolderTest : public ::testing::Test {
  protected:
    TempDir temp_;
};

/// The failure's description, or a text that says there was none.
template <typename T> std::string failure(const Expected<T>& outcome) {
    return outcome ? "(no failure)" : outcome.error().description;
}

} // namespace corvane::testing
