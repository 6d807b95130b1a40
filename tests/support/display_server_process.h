#pragma once
// Starting and stopping an X server for a test: it is given a pipe to write its
// display number to (-displayfd), so it picks a free number itself.
#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

// Runs `args` (args[0] found on PATH) with the text "{fd}" in them replaced by
// the pipe's descriptor, in a process group of its own with its output thrown
// away, and waits up to `timeoutSeconds` for the number. On success sets `pid`
// and `display` (":N"); on failure the server is stopped again.
bool StartDisplayServer(std::vector<std::string> args, int timeoutSeconds, pid_t* pid, std::string* display);

// SIGTERM, up to `graceMilliseconds` for it to end, then SIGKILL. Sets *pid to -1.
void StopDisplayServer(pid_t* pid, int graceMilliseconds);

}  // namespace testing_support
