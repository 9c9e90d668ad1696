#pragma once
// Whether the user is working a window with the keyboard: keys that move or
// use the focus switch it on, a mouse press switches it off. The skin draws
// its focus ring only then, so a mouse click leaves no ring behind.
#include <QWidget>

namespace ui {

// Watches the controls of window (window thread). The window itself is not
// watched, as other threads post it messages: its own key and mouse
// handlers report through NoteInput.
void WatchKeyboardFocus(QWidget* window);
// A key (keyboard true) or a mouse press reached window.
void NoteInput(QWidget* window, bool keyboard, int key = 0);
// True when widget has focus and its window is in keyboard use.
bool ShowsFocusRing(const QWidget* widget);

}  // namespace ui
