#include "ui/Notify.h"

#include <QWidget>

#include "ui/WindowImplBase.h"

namespace ui {

void SendNotify(QWidget* sender, const QString& type, std::intptr_t wParam) {
  for (QWidget* w = sender; w != nullptr; w = w->parentWidget()) {
    if (auto* window = qobject_cast<WindowImplBase*>(w)) {
      TNotifyUI msg{type, sender->objectName(), sender, wParam};
      window->Notify(msg);
      return;
    }
  }
}

}  // namespace ui
