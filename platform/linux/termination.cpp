#include "platform/termination.h"

#include <signal.h>

namespace platform {
namespace {

volatile sig_atomic_t terminationRequested = 0;

void OnTerminationSignal(int) { terminationRequested = 1; }

}  // namespace

void WatchTerminationSignals() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  // The loops look at the flag at least every 10 ms; nothing blocks longer.
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  // A closed terminal or a daemon's reload ends the run too, but cleanly.
  sigaction(SIGHUP, &action, nullptr);
}

bool TerminationRequested() { return terminationRequested != 0; }

void ClearTerminationRequest() { terminationRequested = 0; }

}  // namespace platform
