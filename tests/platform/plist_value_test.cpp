#include "platform/plist_value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

TEST(PlistDictionaryOrder, SetAppendsOrReplacesInPlaceRemoveKeepsTheRestEqualityHeedsOrder) {
    PlistDictionary d{{"c", 1}, {"a", 2}, {"x", 0}};
    d.set("b", 3);
    d.set("c", "replaced");
    EXPECT_TRUE(d.remove("x"));
    EXPECT_FALSE(d.remove("x"));
    EXPECT_FALSE(d.contains("x"));
    std::vector<std::string> keys;
    for (const auto& entry : d)
        keys.push_back(entry.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(d, (PlistDictionary{{"c", "replaced"}, {"a", 2}, {"b", 3}}));
    EXPECT_NE(d, (PlistDictionary{{"a", 2}, {"c", "replaced"}, {"b", 3}})) << "order";
    EXPECT_NE((PlistDictionary{{"a", 1}}), (PlistDictionary{{"a", true}})) << "kind";
    EXPECT_EQ((PlistDictionary{{"a", 1}, {"a", 2}}), (PlistDictionary{{"a", 2}}));
}

} // namespace
} // namespace corvane
