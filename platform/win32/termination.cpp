// A Windows program is ended through its windows (WM_CLOSE, WM_ENDSESSION),
// not by signals: nothing to watch here.
#include "platform/win32/system.h"

namespace platform {

void WatchTerminationSignals() {}
bool TerminationRequested() { return false; }
void ClearTerminationRequest() {}

}  // namespace platform
