#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane {

/// An image taken from the system's symbol set.
struct MenuImage {
    std::string symbolName;
    /// What the desktop shows for the symbol (a freedesktop icon name on Linux).
    std::string iconName;
    bool isTemplate = false;
    /// What assistive technology reads for the image (the item's title).
    std::string accessibilityDescription{};
    bool operator==(const MenuImage&) const = default;
};

/// One entry of a context menu: a separator, or an item.
struct MenuItem {
    bool isSeparator = false;
    std::string title;
    /// The action selector sent when chosen, such as "createNewTextFile:".
    std::optional<std::string> action;
    std::string keyEquivalent;
    std::optional<MenuImage> image;
    bool enabled = true;

    static MenuItem separator() {
        MenuItem item;
        item.isSeparator = true;
        return item;
    }
    bool operator==(const MenuItem&) const = default;
};

struct Menu {
    std::string title;
    std::vector<MenuItem> items;
    bool operator==(const Menu&) const = default;
};

} // namespace corvane
