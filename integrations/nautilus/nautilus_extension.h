#pragma once

// GNOME Files' extension interface, for C++: the 43 header declares the
// module entry points without C linkage guards.

extern "C" {
#include <nautilus-extension.h>
}
