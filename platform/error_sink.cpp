#include "platform/error_sink.h"

#include <cstdio>

namespace platform {
namespace {
ErrorSink& Sink() {
  static ErrorSink sink;
  return sink;
}
}  // namespace

void ReportError(const std::string& layer, const std::string& cause) {
  std::string line = layer + ": " + cause;
  if (Sink()) {
    Sink()(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

void SetErrorSink(ErrorSink sink) { Sink() = std::move(sink); }

}  // namespace platform
