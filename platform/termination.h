#pragma once
// SIGTERM, SIGINT and SIGHUP end a run cleanly: the handler only raises a flag that
// the frame loop reads, so the loop tears down the GL context and the window
// (dropping any grabs) itself.
namespace platform {

void WatchTerminationSignals();
bool TerminationRequested();
void ClearTerminationRequest();  // tests

}  // namespace platform
