// The window procedure's tests on Windows run on the portable message queue
// (platform/window_system.cpp) with a window system of their own; this is the
// backend connection that queue expects, with no system behind it.
#include "platform/window_system.h"

namespace platform {

bool ConnectWindowSystem() { return CurrentWindowSystem() != nullptr; }
void DisconnectWindowSystem() {}

}  // namespace platform
