// corvane-plus started as at login: no window, and "appIsRunning" true until
// SIGTERM ends it.

#include "tests/desktop/desktop_session.h"
#include "tests/integration/end_to_end.h"

#include <csignal>

namespace corvane::testing {
namespace {

using CompanionRunningTest = EndToEnd;

TEST_F(CompanionRunningTest, BackgroundStartReportsRunningUntilSigterm) {
    DesktopSession desktop(env);
    ASSERT_TRUE(desktop.started()) << "Xvfb did not start";
    // In the sanitizer build: fontconfig (under GTK) keeps its cache until exit.
    dir.writeFile("lsan.supp", "leak:libfontconfig.so\n");
    env["LSAN_OPTIONS"] = "suppressions=" + dir / "lsan.supp";
    Process plus({CORVANE_PLUS, "--background"}, env);
    ASSERT_TRUE(waitUntil([&] {
        return companion({"read", "appIsRunning"}).out == "true\n";
    })) << plus.output(Stream::Stderr);
    EXPECT_TRUE(desktop.windows("corvane-plus").empty());
    plus.sendSignal(SIGTERM);
    EXPECT_EQ(plus.wait(), 0) << plus.output(Stream::Stderr);
    EXPECT_EQ(companion({"read", "appIsRunning"}).out, "false\n");
}

} // namespace
} // namespace corvane::testing
