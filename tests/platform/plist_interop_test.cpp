// Python's plistlib as an independent reader and writer of both formats.

#include "platform/linux/plist_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace corvane {
namespace {

namespace fs = std::filesystem;

// Keep in step with sample() in plist_interop.py.
PlistValue interopSample() {
    std::string allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes += static_cast<char>(i);
    std::string big;
    for (int i = 0; i < 70000; ++i)
        big += static_cast<char>(i % 251);
    PlistArray many;
    for (int i = 0; i < 300; ++i)
        many.push_back(i);
    return PlistDictionary{
        {"zeta", true},
        {"alpha", false},
        {"one", 1},
        {"integers",
         PlistArray{0, -1, 255, 256, 65535, 65536, std::int64_t{1} << 32, INT64_MAX, INT64_MIN}},
        {"reals", PlistArray{0.1, -0.0, 1e300, 3.0, INFINITY, -INFINITY}},
        {"strings", PlistArray{"", "plain", "caf\u00e9", "\U0001F600 smile", "\u65e5\u672c",
                               "<&>\n\t ]]> \"'"}},
        {"data", PlistArray{PlistData{}, PlistData{allBytes}}},
        {"date", PlistDate{730902896}}, // 2024-02-29T12:34:56Z
        {"nested", PlistArray{PlistDictionary{{"k\u00e9y", PlistArray{PlistDictionary{{"x", 2}}}}},
                              PlistArray{}, PlistDictionary{}}},
        {"many", many},
        {"big", PlistData{big}},
        {"caf\u00e9 \U0001F600", "non-ASCII key"},
    };
}

class PlistInterop : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "plist-interop-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    static int python(const std::string& mode, const fs::path& path) {
        std::string command = std::string(CORVANE_PYTHON3) + " '" + CORVANE_TEST_HELPER_DIR +
                              "/plist_interop.py' " + mode + " '" + path.string() + "'";
        return std::system(command.c_str());
    }

    static std::string slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path dir_;
};

TEST_F(PlistInterop, WeReadWhatPythonWritesInBothFormats) {
    ASSERT_EQ(python("write", dir_), 0);
    for (const char* name : {"python.xml", "python.bin"}) {
        std::string bytes = slurp(dir_ / name);
        ASSERT_FALSE(bytes.empty()) << name;
        auto value = plist::read(bytes);
        ASSERT_TRUE(value) << name << ": " << value.error().description;
        EXPECT_EQ(*value, interopSample()) << name;
    }
}

TEST_F(PlistInterop, PythonReadsWhatWeWriteInBothFormats) {
    for (bool binary : {true, false}) {
        auto bytes =
            binary ? plist::writeBinary(interopSample()) : plist::writeXml(interopSample());
        ASSERT_TRUE(bytes);
        fs::path file = dir_ / (binary ? "ours.bin" : "ours.xml");
        std::ofstream(file, std::ios::binary) << *bytes;
        EXPECT_EQ(python("check", file), 0) << file;
    }
}

} // namespace
} // namespace corvane
