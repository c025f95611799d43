#include "platform/linux/desktop_clipboard.h"
#include "tools/finder/commands.h"

#include <iostream>

namespace corvane::tools::finder {

Outcome<> paste(Arguments args) {
    if (!args.empty())
        return usageError("paste takes no arguments");
    DesktopClipboard pasteboard(DesktopClipboard::settingsFromEnvironment());
    Expected<std::string> text = pasteboard.string();
    if (!text)
        return failure("cannot paste: " + text.error().description);
    // Exactly as stored: the bytes, with no line feed of our own.
    std::cout << *text << std::flush;
    return {};
}

} // namespace corvane::tools::finder
