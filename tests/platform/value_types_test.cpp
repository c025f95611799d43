// The value types of platform/: file URLs and property-list dictionaries.

#include "platform/file_url.h"
#include "platform/plist_value.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

TEST(FileURL, FollowsThePathRulesAndAppendsWithoutDoubleSlashes) {
    // Input, then the expected path, last component, extension and parent.
    const std::string cases[][5] = {
        {"///", "/", "/", "", "/"},
        {"/a", "/a", "a", "", "/"},
        {"/a/b.txt/", "/a/b.txt", "b.txt", "txt", "/a"},
        {"/x/archive.tar.gz", "/x/archive.tar.gz", "archive.tar.gz", "gz", "/x"},
        {"/dir.d/file", "/dir.d/file", "file", "", "/dir.d"},
        {"/a/dot.", "/a/dot.", "dot.", "", "/a"},
    };
    for (const auto& [input, path, last, extension, parent] : cases) {
        FileURL url = FileURL::fromPath(input);
        EXPECT_EQ(url.path(), path) << input;
        EXPECT_EQ(url.lastPathComponent(), last) << input;
        EXPECT_EQ(url.pathExtension(), extension) << input;
        EXPECT_EQ(url.parent().path(), parent) << input;
    }
    EXPECT_EQ(FileURL::fromPath("/").appending("x").path(), "/x");
    EXPECT_EQ(FileURL::fromPath("/a").appending("b/").path(), "/a/b");
}

TEST(PlistDictionary, SetAppendsOrReplacesInPlaceRemoveKeepsTheRestEqualityHeedsOrder) {
    PlistDictionary d{{"c", 1}, {"a", 2}, {"x", 0}};
    d.set("b", 3);
    d.set("c", "replaced");
    EXPECT_TRUE(d.remove("x"));
    EXPECT_FALSE(d.remove("x"));
    EXPECT_EQ(d, (PlistDictionary{{"c", "replaced"}, {"a", 2}, {"b", 3}}));
    EXPECT_NE(d, (PlistDictionary{{"a", 2}, {"c", "replaced"}, {"b", 3}})) << "order";
    EXPECT_NE((PlistDictionary{{"a", 1}}), (PlistDictionary{{"a", true}})) << "kind";
    EXPECT_EQ((PlistDictionary{{"a", 1}, {"a", 2}}), (PlistDictionary{{"a", 2}}));
}

} // namespace
} // namespace corvane
