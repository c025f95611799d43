// corvane-companion: plays the companion app. Writes the shared settings the
// extension reads (running flag, menu options, secured directories), reads
// them back as JSON, listens to the extension's distributed notifications,
// and answers batch-rename requests.

#include "tools/companion/commands.h"

namespace {

using namespace corvane::tools;

constexpr Command kCommands[] = {
    {"running", "running on|off|clear", companion::running},
    {"options", "options [--file] KEY=VALUE... | options [--file] --clear", companion::options},
    {"grant", "grant DIR [--key KEY]", companion::grant},
    {"revoke", "revoke KEY", companion::revoke},
    {"read", "read KEY", companion::read},
    {"listen", "listen [--count N] [--timeout SECONDS] [NAME...]", companion::listen},
    {"execute", "execute --base NAME [--via notification|record] [--id ID] PATH...",
     companion::execute},
};

} // namespace

int main(int argc, char** argv) {
    return runTool("corvane-companion", kCommands, argc, argv);
}
