#pragma once

// Shared by the platform tests: a temporary folder per test, whole-file reads
// and writes, a GLib main-loop pump and one sample property list.

#include "platform/plist_value.h"
#include "tests/temp_dir.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace corvane::testing {

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

/// Gives each test its own temporary folder, removed afterwards.
class TempFolderTest : public ::testing::Test {
  protected:
    TempDir temp_;
    std::filesystem::path dir_{temp_.path()};
};

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

/// Every value kind (integers above the signed range too), keys out of
/// alphabetical order, booleans beside integers, over 255 objects and over
/// 65535 bytes. Keep in step with plist_interop.py.
inline PlistValue samplePlist() {
    std::string allBytes, big;
    for (int i = 0; i < 256; ++i)
        allBytes += static_cast<char>(i);
    for (int i = 0; i < 70000; ++i)
        big += static_cast<char>(i % 251);
    PlistArray many;
    for (int i = 0; i < 300; ++i)
        many.push_back(i);
    return PlistDictionary{
        {"zeta", true},
        {"alpha", false},
        {"one", 1},
        {"integers", PlistArray{0, -1, 255, 256, 65535, 65536, std::int64_t{1} << 32, INT64_MAX,
                                INT64_MIN, static_cast<std::uint64_t>(INT64_MAX) + 1, UINT64_MAX}},
        {"reals", PlistArray{0.1, -0.0, 1e300, -2.5e-310, 3.0, INFINITY, -INFINITY}},
        {"strings", PlistArray{"", "plain", "caf\u00e9", "\U0001F600 smile", "\u65e5\u672c",
                               "<&>\n\t ]]> \"'"}},
        {"data", PlistArray{PlistData{}, PlistData{allBytes}}},
        {"dates", PlistArray{PlistDate{0}, PlistDate{-978307200}, PlistDate{730902896}}},
        {"nested", PlistArray{PlistDictionary{{"k\u00e9y", PlistArray{PlistDictionary{{"x", 2}}}}},
                              PlistArray{}, PlistDictionary{}}},
        {"many", many},
        {"big", PlistData{big}},
        {"caf\u00e9 \U0001F600", "non-ASCII key"},
    };
}

} // namespace corvane::testing
