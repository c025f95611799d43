#include "platform/linux/freedesktop_system_images.h"

#include <array>
#include <utility>

namespace corvane {

namespace {

// Symbol name → the icon with the closest meaning: standard freedesktop icon
// names, and "view-reveal" (an eye in GTK themes) where they have none.
constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kIcons{{
    {"doc.badge.plus", "document-new"},
    {"terminal", "utilities-terminal"},
    {"terminal.fill", "utilities-terminal"},
    {"doc.on.doc", "edit-copy"},
    {"text.cursor", "insert-text"},
    {"eye", "view-reveal"},
    {"chevron.left.forwardslash.chevron.right", "text-x-script"},
}};

} // namespace

std::optional<MenuImage>
FreedesktopSystemImages::systemSymbolImage(std::string_view symbolName,
                                           std::string_view accessibilityDescription) {
    for (const auto& [symbol, icon] : kIcons) {
        if (symbol == symbolName) {
            MenuImage image;
            image.symbolName = std::string(symbol);
            image.iconName = std::string(icon);
            image.accessibilityDescription = std::string(accessibilityDescription);
            return image;
        }
    }
    return std::nullopt;
}

} // namespace corvane
