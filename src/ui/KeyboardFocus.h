#pragma once
// Whether the user is working a window with the keyboard: keys that move or
// use the focus switch it on, a mouse press switches it off. The skin draws
// its focus ring only then, so a mouse click leaves no ring behind.
#include <QWidget>

namespace ui {

// Installs the application-wide watcher once (window thread; idempotent).
void WatchKeyboardFocus();
// True when widget has focus and its window is in keyboard use.
bool ShowsFocusRing(const QWidget* widget);

}  // namespace ui
