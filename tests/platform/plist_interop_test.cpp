// Python's plistlib as an independent reader and writer of both formats.

#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace corvane {
namespace {

using PlistInterop = testing::TempFolderTest;

int python(const std::string& arguments) {
    const std::string script = std::string(CORVANE_TEST_HELPER_DIR) + "/plist_interop.py";
    return std::system((std::string(CORVANE_PYTHON3) + " '" + script + "' " + arguments).c_str());
}

// plistlib writes every kind of value in both formats: we read the same from
// each, and write it back in both for plistlib to compare with what it wrote.
TEST_F(PlistInterop, WeReadWhatPythonWritesAndPythonReadsWhatWeWriteInBothFormats) {
    ASSERT_EQ(python("write '" + temp_.path() + "'"), 0);
    auto fromXml = plist::read(temp_.readFile("python.xml"));
    auto fromBinary = plist::read(temp_.readFile("python.bin"));
    ASSERT_TRUE(fromXml && fromBinary) << testing::failure(fromXml) << testing::failure(fromBinary);
    EXPECT_EQ(*fromXml, *fromBinary);
    temp_.writeFile("ours.bin", plist::writeBinary(*fromXml).value());
    temp_.writeFile("ours.xml", plist::writeXml(*fromBinary).value());
    EXPECT_EQ(python("check '" + temp_ / "ours.bin" + "' '" + temp_ / "ours.xml" + "'"), 0);
}

} // namespace
} // namespace corvane
