#include "platform/file_url.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

TEST(FileURLPaths, FollowThePathRules) {
    // Input, then the expected path, last component, extension and parent.
    const std::string cases[][5] = {
        {"/", "/", "/", "", "/"},
        {"///", "/", "/", "", "/"},
        {"/a", "/a", "a", "", "/"},
        {"/a/b.txt/", "/a/b.txt", "b.txt", "txt", "/a"},
        {"/x/archive.tar.gz", "/x/archive.tar.gz", "archive.tar.gz", "gz", "/x"},
        {"/home/.bashrc", "/home/.bashrc", ".bashrc", "bashrc", "/home"},
        {"/dir.d/file", "/dir.d/file", "file", "", "/dir.d"},
        {"/a/dot.", "/a/dot.", "dot.", "", "/a"},
        {"/t/\xff\xfe.bin", "/t/\xff\xfe.bin", "\xff\xfe.bin", "bin", "/t"},
    };
    for (const auto& [input, path, last, extension, parent] : cases) {
        FileURL url = FileURL::fromPath(input);
        EXPECT_EQ(url.path(), path) << input;
        EXPECT_EQ(url.lastPathComponent(), last) << input;
        EXPECT_EQ(url.pathExtension(), extension) << input;
        EXPECT_EQ(url.parent().path(), parent) << input;
    }
}

TEST(FileURLAppending, AddsOneComponentWithoutDoubleSlashes) {
    EXPECT_EQ(FileURL::fromPath("/").appending("x").path(), "/x");
    EXPECT_EQ(FileURL::fromPath("/a").appending("b").path(), "/a/b");
    EXPECT_EQ(FileURL::fromPath("/a").appending("b/").path(), "/a/b");
    EXPECT_EQ(FileURL::fromPath("/a/b").appending("c").parent(), FileURL::fromPath("/a/b"));
}

} // namespace
} // namespace corvane
