// corvane-plus, the companion app of the Corvane file-manager commands.

#include "companion/companion_app.h"

#include <cstdlib>
#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    // GTK 4.8 sets up OpenGL as soon as it opens an X display, to choose its
    // visuals, and the GL driver stays resident (about 60 MB with Mesa's
    // software driver) in a process that mostly runs without a window. Its
    // few small windows draw well with cairo. GDK_DEBUG set by the user wins.
    setenv("GDK_DEBUG", "gl-disable", 0);
    try {
        return corvane::companion::CompanionApp().run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "corvane-plus: " << error.what() << std::endl;
        return 1;
    }
}
