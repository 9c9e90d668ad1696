#include "ui/SkinStyle.h"

namespace ui {

QColor ParseColor(const QString& text) {
  QString value = text.trimmed();
  if (value.startsWith("0x", Qt::CaseInsensitive)) value = "#" + value.mid(2);
  const QColor color = QColor::fromString(value);
  return color;
}

}  // namespace ui
