// The Linux desktop services: the applications mapping, the workspace's
// completions and the alert's fallback line. Programs started from an Exec
// line with their paths and folder, and a start that fails, are checked end
// to end in tests/integration/finder_actions_test.cpp.

#include "platform/linux/desktop_applications.h"
#include "platform/linux/freedesktop_alert.h"
#include "platform/linux/freedesktop_workspace.h"
#include "platform/linux/glib_scheduler.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/integration/process_harness.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Command = DesktopApplications::Command;

const std::string kVSCode = "/Applications/Visual Studio Code.app";
const std::string kInsiders = "/Applications/Visual Studio Code - Insiders.app";
const std::string kTerminal = "/System/Applications/Utilities/Terminal.app";
const std::string kITerm = "/Applications/iTerm.app";

/// A temporary bin folder for the search path and an applications.ini beside it.
class ApplicationsTest : public testing::TempFolderTest {
  protected:
    ApplicationsTest() { temp_.makeFolder("bin"); }
    /// An executable shell script.
    std::string program(const std::string& relative) {
        temp_.writeFile(relative, "#!/bin/sh\n");
        fs::permissions(temp_ / relative, fs::perms::owner_all);
        return temp_ / relative;
    }
    void configure(std::string_view ini) { temp_.writeFile("applications.ini", ini); }
    std::string whyNot(const std::string& application) {
        return testing::failure(applications_.commandFor(application, {"/x"}));
    }

    DesktopApplications applications_{{temp_ / "applications.ini", temp_ / "bin"}};
};

TEST_F(ApplicationsTest, BundlePathsFindTheirDefaultProgramsAndAnswersFollowTheDisk) {
    for (const char* path :
         {"/Applications/Visual Studio Code.app", "/Applications/Utilities/X.app",
          "/System/Applications/Utilities/X.app"})
        EXPECT_TRUE(DesktopApplications::isBundlePath(path)) << path;
    for (const char* path : {"/Applications/.app", "/Applications/Sub/X.app",
                             "/Applications/X.apps", "/System/Applications/X.app"})
        EXPECT_FALSE(DesktopApplications::isBundlePath(path)) << path;

    for (const std::string& app : {kVSCode, kTerminal, kITerm})
        EXPECT_FALSE(applications_.canStart(app)) << app;
    const std::string code = program("bin/code");
    program("bin/xterm");
    program("bin/konsole");
    EXPECT_EQ(applications_.commandFor(kVSCode, {temp_ / "a b", "/x"}),
              (Command{{code, temp_ / "a b", "/x"}, temp_.path()}));
    // konsole comes before xterm in the list; Debian's alternative before both.
    EXPECT_EQ(applications_.commandFor(kTerminal, {"/"}), (Command{{temp_ / "bin/konsole"}, "/"}));
    const std::string alternative = program("bin/x-terminal-emulator");
    EXPECT_EQ(applications_.commandFor(kTerminal, {"/"}), (Command{{alternative}, "/"}));
    EXPECT_EQ(whyNot(kITerm),
              "No program is set for iTerm: add an Exec line to the group [iTerm] of " +
                  (temp_ / "applications.ini"));

    // Settled folders: what the next answers find is kept, and must give way.
    std::this_thread::sleep_for(posix::kSettleTime + 50ms);
    EXPECT_FALSE(applications_.canStart(kInsiders) || applications_.canStart(kITerm));
    program("bin/code-insiders");
    configure("[iTerm]\nExec=xterm\n");
    EXPECT_TRUE(applications_.canStart(kInsiders)) << "a program installed after a question";
    EXPECT_TRUE(applications_.canStart(kITerm)) << "a configuration file made after a question";
    fs::remove(code);
    EXPECT_FALSE(applications_.canStart(kVSCode)) << "a program removed after it was found";
}

TEST_F(ApplicationsTest, ExecLinesExpandFieldCodesAndPathsUnescapedOrSayWhyNot) {
    const std::string editor = program("my editor");
    configure("[Visual Studio Code]\nExec=\"" + editor + "\" %F \"--x=100%%\" %u\n");
    const std::vector<std::string> paths = {temp_ / "sub/\"q\" $HOME", "/b/caf\xe9"};
    temp_.makeFolder("sub");
    EXPECT_EQ(applications_.commandFor(kVSCode, paths),
              (Command{{editor, paths[0], paths[1], "--x=100%"}, temp_ / "sub"}));

    program("bin/code");
    const std::pair<const char*, const char*> broken[] = {
        {"[Visual Studio Code]\nExec=\n", "No program is set for Visual Studio Code"},
        {"[Visual Studio Code]\nExec=\"unclosed %F\n", "The Exec line of Visual Studio Code"},
        {"[Visual Studio Code]\nExec=relative/code %F\n", "is not an executable file"},
        {"[Visual Studio Code]\nExec=not-installed %F\n", "\u201Cnot-installed\u201D for Visual "
                                                          "Studio Code is not found on PATH"},
        {"not a key file\n", "Cannot read "}};
    for (const auto& [ini, reason] : broken) {
        configure(ini);
        EXPECT_TRUE(whyNot(kVSCode).contains(reason)) << whyNot(kVSCode);
        EXPECT_FALSE(applications_.canStart(kVSCode)) << ini;
    }
}

TEST_F(ApplicationsTest, ARealItemRunsAsTheProgramAndOrdinaryFilesKeepPlainExistence) {
    const std::string tool = program("Terminal.app");
    EXPECT_EQ(applications_.commandFor(tool, {"/x/y"}), (Command{{tool, "/x/y"}, "/x"}));
    temp_.writeFile("plain.app", "");
    EXPECT_TRUE(whyNot(temp_ / "plain.app").contains("is not an executable program"));
    EXPECT_FALSE(applications_.canStart(temp_ / "missing.app"));

    PosixFileManager files(std::make_shared<PlistFileCache>(), &applications_);
    EXPECT_TRUE(files.fileExists(temp_ / "plain.app")) << "not a bundle path: lstat alone";
    EXPECT_FALSE(files.fileExists(kVSCode));
    program("bin/code");
    EXPECT_TRUE(files.fileExists(kVSCode));
    EXPECT_FALSE(PosixFileManager().fileExists(kVSCode)) << "no mapping: the disk decides";
}

TEST_F(ApplicationsTest, WorkspaceCompletesOnceLaterOnTheLoopAndAlertsFallBackToOneLine) {
    GlibScheduler scheduler;
    FreedesktopWorkspace workspace(nullptr, applications_, scheduler);
    std::vector<std::string> outcomes;
    workspace.openURLs(
        {FileURL::fromPath("/x")}, FileURL::fromPath(kITerm),
        [&](Expected<void> outcome) { outcomes.push_back(testing::failure(outcome)); });
    workspace.openURLs({FileURL::fromPath("/x")}, FileURL::fromPath(kITerm), nullptr);
    EXPECT_TRUE(outcomes.empty()) << "never from inside the call";
    testing::spinUntil([] { return false; }, 20ms);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].starts_with("No program is set for iTerm"));

    std::ostringstream errors;
    FreedesktopAlert(nullptr, errors)
        .runModal(
            {"Permission Required", "Grant caf\xe9\nand retry.", AlertStyle::Warning, {"OK"}});
    EXPECT_EQ(errors.str(), "Permission Required: Grant caf\xe9\\nand retry.\n");
}

} // namespace
} // namespace corvane
