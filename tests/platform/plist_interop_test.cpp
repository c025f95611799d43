// Python's plistlib as an independent reader and writer of both formats.

#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace corvane {
namespace {

using testing::samplePlist;

class PlistInterop : public testing::TempFolderTest {
  protected:
    static int python(const std::string& mode, const std::filesystem::path& path) {
        std::string command = std::string(CORVANE_PYTHON3) + " '" + CORVANE_TEST_HELPER_DIR +
                              "/plist_interop.py' " + mode + " '" + path.string() + "'";
        return std::system(command.c_str());
    }
};

TEST_F(PlistInterop, WeReadWhatPythonWritesInBothFormats) {
    ASSERT_EQ(python("write", dir_), 0);
    for (const char* name : {"python.xml", "python.bin"}) {
        std::string bytes = testing::readBytes(dir_ / name);
        ASSERT_FALSE(bytes.empty()) << name;
        auto value = plist::read(bytes);
        ASSERT_TRUE(value) << name << ": " << value.error().description;
        EXPECT_EQ(*value, samplePlist()) << name;
    }
}

TEST_F(PlistInterop, PythonReadsWhatWeWriteInBothFormats) {
    for (bool binary : {true, false}) {
        auto bytes = binary ? plist::writeBinary(samplePlist()) : plist::writeXml(samplePlist());
        ASSERT_TRUE(bytes);
        auto file = dir_ / (binary ? "ours.bin" : "ours.xml");
        testing::writeBytes(file, *bytes);
        EXPECT_EQ(python("check", file), 0) << file;
    }
}

} // namespace
} // namespace corvane
