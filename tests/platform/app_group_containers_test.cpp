#include "platform/linux/directory_app_group_containers.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using AppGroupContainersTest = testing::TempFolderTest;

// A root that is a regular file is checked with the settings files.
TEST_F(AppGroupContainersTest, RootFollowsTheEnvironmentAndContainersArePrivateFolders) {
    using Value = std::optional<std::string>;
    const char* names[] = {"CORVANE_GROUP_CONTAINERS", "XDG_DATA_HOME", "HOME"};
    Value saved[3];
    for (int i = 0; i < 3; ++i)
        if (const char* value = std::getenv(names[i]))
            saved[i] = value;
    auto set = [&](int i, const Value& value) {
        value ? ::setenv(names[i], value->c_str(), 1) : ::unsetenv(names[i]);
    };
    const std::string data = "/.local/share/corvane/group-containers";
    const std::string userHome = ::getpwuid(::getuid())->pw_dir;
    // The three variables, then the root they name.
    const std::tuple<Value, Value, Value, std::string> cases[] = {
        {temp_ / "explicit", temp_ / "xdg", "/h", temp_ / "explicit"},
        {"", temp_ / "xdg/", "/h", temp_ / "xdg/corvane/group-containers"},
        {std::nullopt, "relative/data", "/h", "/h" + data},
        {std::nullopt, std::nullopt, "", userHome + data},
    };
    for (const auto& [explicitRoot, dataHome, home, expected] : cases) {
        set(0, explicitRoot), set(1, dataHome), set(2, home);
        EXPECT_EQ(DirectoryAppGroupContainers::rootFromEnvironment(), expected);
    }
    for (int i = 0; i < 3; ++i)
        set(i, saved[i]);

    DirectoryAppGroupContainers containers(temp_ / "a/b/root");
    for (const std::string& id : {""s, "."s, ".."s, "a/b"s, "a\0b"s})
        EXPECT_FALSE(containers.containerURL(id)) << id;
    EXPECT_FALSE(fs::exists(temp_ / "a")) << "a bad id creates nothing";
    auto container = containers.containerURL("group.Brenvo.Corvane");
    ASSERT_TRUE(container);
    EXPECT_EQ(container->path(), temp_ / "a/b/root/group.Brenvo.Corvane");
    EXPECT_EQ(fs::status(container->path()).permissions(), fs::perms::owner_all);
}

} // namespace
} // namespace corvane
