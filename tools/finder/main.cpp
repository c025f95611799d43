// corvane-finder: plays the file manager. Asks the extension process for its
// context menu and delivers chosen actions, over the session bus.

#include "tools/finder/commands.h"

namespace {

using namespace corvane::tools;

constexpr Command kCommands[] = {
    {"menu", "menu [--kind N] [--target DIR | --no-target] [--json] [ITEM...]", finder::menu},
    {"choose", "choose TITLE [--target DIR | --no-target] [ITEM...]", finder::choose},
    {"perform", "perform SELECTOR [--target DIR | --no-target] [ITEM...]", finder::perform},
    {"paste", "paste", finder::paste},
};

} // namespace

int main(int argc, char** argv) {
    return runTool("corvane-finder", kCommands, argc, argv);
}
