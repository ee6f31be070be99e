#pragma once
// Modal message boxes. GUI thread only.

#include <functional>
#include <string>

#include "platform/Window.h"

namespace platform {

// Style and result values, with their Windows values.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;

// Shows a modal box with `text`, `caption` and an OK button and returns when it is closed.
// While a quit request is pending the box is never shown and IDOK is returned at once; a quit
// posted while the box is open closes it.
int MessageBoxW(CWnd* owner, const std::u16string& text, const std::u16string& caption,
                unsigned type);

// How a box reaches the user. The default shows a GTK dialog when a display is open and
// otherwise writes the caption and text to standard error. Tools without a display (test
// probes) replace it to record what would have been shown.
using MessageBoxPresenter = std::function<int(CWnd* owner, const std::u16string& text,
                                              const std::u16string& caption, unsigned type)>;
void SetMessageBoxPresenter(MessageBoxPresenter presenter);

}  // namespace platform
