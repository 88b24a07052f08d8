// Message boxes: a real one (OK button, no owner) where a display exists,
// otherwise one line "caption: text" on standard error. Tests install a hook
// to capture them instead.
#pragma once

#include <functional>

namespace os {

void ShowMessageBox(const char* text, const char* caption);

// While a hook is set, message boxes go only to it. Pass nullptr to remove.
using MessageBoxHook = std::function<void(const char* text, const char* caption)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace os
