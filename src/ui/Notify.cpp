#include "ui/Notify.h"

#include <QWidget>

namespace ui {

void SendNotify(QWidget* sender, const QString& type, std::intptr_t wParam) {
  for (QWidget* w = sender; w != nullptr; w = w->parentWidget()) {
    if (auto* window = dynamic_cast<INotifyTarget*>(w)) {
      TNotifyUI msg{type, sender->objectName(), sender, wParam};
      window->Notify(msg);
      return;
    }
  }
}

}  // namespace ui
