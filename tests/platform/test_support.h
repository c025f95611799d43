#pragma once

// Shared by the platform tests: a temporary folder per test, a failure's
// text, and a GLib main-loop pump.

#include "platform/error.h"
#include "tests/temp_dir.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

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

/// Iterates the default main context until `done` holds; false once `timeout` passed.
template <typename Predicate> bool runLoopUntil(Predicate done, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        g_main_context_iteration(nullptr, FALSE);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace corvane::testing
