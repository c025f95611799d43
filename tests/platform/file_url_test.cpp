#include "platform/file_url.h"
#include "platform/plist_value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

struct PathCase {
    std::string input;
    std::string path;
    std::string last;
    std::string extension;
    std::string parent;
};

class FileURLPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(FileURLPaths, FollowThePathRules) {
    const PathCase& c = GetParam();
    FileURL url = FileURL::fromPath(c.input);
    EXPECT_EQ(url.path(), c.path);
    EXPECT_EQ(url.lastPathComponent(), c.last);
    EXPECT_EQ(url.pathExtension(), c.extension);
    EXPECT_EQ(url.parent().path(), c.parent);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileURLPaths,
    ::testing::Values(PathCase{"/", "/", "/", "", "/"}, PathCase{"///", "/", "/", "", "/"},
                      PathCase{"/a", "/a", "a", "", "/"},
                      PathCase{"/a/b.txt/", "/a/b.txt", "b.txt", "txt", "/a"},
                      PathCase{"/x/archive.tar.gz", "/x/archive.tar.gz", "archive.tar.gz", "gz",
                               "/x"},
                      PathCase{"/home/.bashrc", "/home/.bashrc", ".bashrc", "bashrc", "/home"},
                      PathCase{"/dir.d/file", "/dir.d/file", "file", "", "/dir.d"},
                      PathCase{"/a/dot.", "/a/dot.", "dot.", "", "/a"},
                      PathCase{"/t/\xff\xfe.bin", "/t/\xff\xfe.bin", "\xff\xfe.bin", "bin", "/t"}));

TEST(FileURLAppending, AddsOneComponentWithoutDoubleSlashes) {
    EXPECT_EQ(FileURL::fromPath("/").appending("x").path(), "/x");
    EXPECT_EQ(FileURL::fromPath("/a").appending("b").path(), "/a/b");
    EXPECT_EQ(FileURL::fromPath("/a").appending("b/").path(), "/a/b");
    EXPECT_EQ(FileURL::fromPath("/a/b").appending("c").parent(), FileURL::fromPath("/a/b"));
}

std::vector<std::string> keysOf(const PlistDictionary& d) {
    std::vector<std::string> keys;
    for (const auto& entry : d)
        keys.push_back(entry.first);
    return keys;
}

TEST(PlistDictionaryOrder, SetAppendsNewKeysAndReplacesExistingOnesInPlace) {
    PlistDictionary d{{"c", 1}, {"a", 2}};
    d.set("b", 3);
    d.set("c", "replaced");
    EXPECT_EQ(keysOf(d), (std::vector<std::string>{"c", "a", "b"}));
    ASSERT_NE(d.find("c"), nullptr);
    EXPECT_EQ(*d.find("c"), PlistValue("replaced"));
    EXPECT_EQ(d.size(), 3u);
}

TEST(PlistDictionaryOrder, RemoveKeepsTheOrderOfTheRest) {
    PlistDictionary d{{"x", 1}, {"y", 2}, {"z", 3}};
    EXPECT_TRUE(d.remove("y"));
    EXPECT_FALSE(d.remove("y"));
    EXPECT_FALSE(d.contains("y"));
    EXPECT_EQ(keysOf(d), (std::vector<std::string>{"x", "z"}));
}

TEST(PlistDictionaryOrder, EqualityHeedsOrderAndKind) {
    EXPECT_NE((PlistDictionary{{"a", 1}, {"b", 2}}), (PlistDictionary{{"b", 2}, {"a", 1}}));
    EXPECT_NE((PlistDictionary{{"a", 1}}), (PlistDictionary{{"a", true}}));
    EXPECT_EQ((PlistDictionary{{"a", 1}, {"a", 2}}), (PlistDictionary{{"a", 2}}));
}

} // namespace
} // namespace corvane
