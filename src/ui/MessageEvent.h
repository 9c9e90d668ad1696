#pragma once
// A custom window message carried as a Qt event to the window's thread.
#include <QEvent>
#include <cstdint>

namespace ui {

class MessageEvent : public QEvent {
 public:
  MessageEvent(int message, std::intptr_t w, std::intptr_t l)
      : QEvent(Type()), msg(message), wParam(w), lParam(l) {}
  static QEvent::Type Type() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }

  const int msg;
  const std::intptr_t wParam;
  const std::intptr_t lParam;
};

}  // namespace ui
