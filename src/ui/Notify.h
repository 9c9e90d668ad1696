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

// What a skinned window offers its controls: it takes their notifications.
// Controls reach it through this, not through the window class, so the
// controls do not depend on the window that lays them out.
class INotifyTarget {
 public:
  virtual void Notify(const TNotifyUI& msg) = 0;

 protected:
  ~INotifyTarget() = default;
};

// Hands a notification to the nearest ancestor of sender (or sender itself)
// that takes notifications; nothing happens for a control outside a skinned
// window.
void SendNotify(QWidget* sender, const QString& type, std::intptr_t wParam = 0);

}  // namespace ui
