#include "platform/linux/libuuid_source.h"

#include <gtest/gtest.h>

#include <regex>

namespace corvane {
namespace {

TEST(LibuuidSourceTest, MakesDistinctUpperCaseVersionFourUuids) {
    LibuuidSource source;
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::string first = source.makeUUIDString(), second = source.makeUUIDString();
    EXPECT_TRUE(std::regex_match(first, form)) << first;
    EXPECT_TRUE(std::regex_match(second, form)) << second;
    EXPECT_NE(first, second);
}
} // namespace
} // namespace corvane
