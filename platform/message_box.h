#pragma once
// Modal message boxes with an OK button, for the few failures that speak to
// the user. The text always goes to standard error as well, so it is not lost
// where no box can be shown.
#include <functional>
#include <string>

namespace platform {

void MessageBox(const std::string& text, const std::string& caption);

// Tests: replaces the box (and the standard-error line); an empty function
// restores them.
using MessageBoxHandler = std::function<void(const std::string& text, const std::string& caption)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
