#pragma once
// Notifications that controls deliver to their window by control name.
#include <QString>
#include <cstdint>

class QWidget;

namespace ui {

struct TNotifyUI {
  QString sType;       // "click", "link", "itemselect", "selectchanged"
  QString senderName;  // the control's name in the skin
  QWidget* pSender = nullptr;
  std::intptr_t wParam = 0;  // link index, selected item, ...
};

// Hands a notification to the window that holds sender; nothing happens for
// a control outside a skinned window.
void SendNotify(QWidget* sender, const QString& type, std::intptr_t wParam = 0);

}  // namespace ui
