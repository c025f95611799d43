#include "platform/linux/directory_app_group_containers.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <optional>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::readBytes;
using testing::writeBytes;

class TempFolderTest : public testing::TempFolderTest {
  protected:
    FileURL url(const std::string& name) const { return FileURL::fromPath((dir_ / name).string()); }
};

TEST_F(TempFolderTest, ContainerRootFollowsTheEnvironment) {
    using Value = std::optional<std::string>;
    const char* names[] = {"CORVANE_GROUP_CONTAINERS", "XDG_DATA_HOME", "HOME"};
    Value saved[3];
    auto set = [](const char* name, const Value& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    };
    const std::string home = "home/.local/share/corvane/group-containers";
    // Explicit root, data home ("@x": the folder x in the test folder), expected root.
    const std::tuple<Value, Value, std::string> cases[] = {
        {"@explicit", "@xdg", "explicit"},  {"", "@xdg", "xdg/corvane/group-containers"},
        {std::nullopt, std::nullopt, home}, {std::nullopt, "", home},
        {std::nullopt, "rel/data", home},
    };
    auto under = [&](Value v) {
        return v && v->starts_with('@') ? (dir_ / v->substr(1)).string() : v;
    };
    for (int i = 0; i < 3; ++i)
        if (const char* value = std::getenv(names[i]))
            saved[i] = value;
    for (const auto& [explicitRoot, dataHome, expected] : cases) {
        set(names[0], under(explicitRoot));
        set(names[1], under(dataHome));
        set(names[2], (dir_ / "home").string());
        EXPECT_EQ(DirectoryAppGroupContainers::rootFromEnvironment(), (dir_ / expected).string())
            << expected;
    }
    for (int i = 0; i < 3; ++i)
        set(names[i], saved[i]);
}

// A root that is a regular file is checked with the settings files.
TEST_F(TempFolderTest, ContainersArePrivateFoldersInsideTheRootAndBadIdsGetNone) {
    DirectoryAppGroupContainers containers((dir_ / "a/b/root").string());
    for (const std::string& id : {""s, "."s, ".."s, "a/b"s, "/"s, "../a"s, "a\0b"s})
        EXPECT_FALSE(containers.containerURL(id)) << id;
    EXPECT_FALSE(fs::exists(dir_ / "a")) << "a bad id creates nothing";

    auto container = containers.containerURL("group.Brenvo.Corvane");
    ASSERT_TRUE(container);
    EXPECT_EQ(container->path(), (dir_ / "a/b/root/group.Brenvo.Corvane").string());
    EXPECT_EQ(fs::status(container->path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(containers.containerURL("group.Brenvo.Corvane"), container) << "second call";
}
} // namespace
} // namespace corvane
