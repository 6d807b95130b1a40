#pragma once
// One sink for the one-line reports of the platform layer ("EGL: no pbuffer
// config"). By default a line goes to standard error; tests may capture it.
#include <functional>
#include <string>

namespace platform {

using ErrorSink = std::function<void(const std::string& line)>;

// Reports one line: `layer` names the backend, `cause` the decoded reason.
void ReportError(const std::string& layer, const std::string& cause);

// Replaces the sink; an empty function restores standard error.
void SetErrorSink(ErrorSink sink);

}  // namespace platform
