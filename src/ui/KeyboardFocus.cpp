#include "ui/KeyboardFocus.h"

#include <QApplication>
#include <QKeyEvent>

namespace ui {
namespace {

bool IsFocusKey(int key) {
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Escape:
      return true;
    default:
      return false;
  }
}

// The flag lives on the top-level window as Qt's own WA_KeyboardFocusChange,
// which Qt also sets for Tab and shortcut focus changes.
void SetKeyboardUse(QWidget* window, bool on) {
  if (window == nullptr || window->testAttribute(Qt::WA_KeyboardFocusChange) == on) return;
  window->setAttribute(Qt::WA_KeyboardFocusChange, on);
  if (QWidget* focus = window->focusWidget()) focus->update();
}

class Watcher : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) return false;
    const bool key = type == QEvent::KeyPress;
    NoteInput(widget->window(), key, key ? static_cast<QKeyEvent*>(event)->key() : 0);
    return false;
  }
};

}  // namespace

void WatchKeyboardFocus(QWidget* window) {
  static Watcher* watcher = nullptr;
  if (watcher == nullptr) {
    watcher = new Watcher;
    watcher->setParent(QCoreApplication::instance());
  }
  for (QWidget* child : window->findChildren<QWidget*>()) child->installEventFilter(watcher);
}

void NoteInput(QWidget* window, bool keyboard, int key) {
  if (!keyboard || IsFocusKey(key)) SetKeyboardUse(window, keyboard);
}

bool ShowsFocusRing(const QWidget* widget) {
  return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

}  // namespace ui
