// corvane-plus, the companion app of the Corvane file-manager commands.

#include "companion/companion_app.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    try {
        return corvane::companion::CompanionApp().run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "corvane-plus: " << error.what() << std::endl;
        return 1;
    }
}
