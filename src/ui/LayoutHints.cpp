#include "ui/LayoutHints.h"

#include <QVariant>
#include <QWidget>

namespace ui {

LayoutHints HintsOf(const QWidget* widget) {
  LayoutHints hints;
  hints.width = widget->property("qmWidth").toInt();
  hints.height = widget->property("qmHeight").toInt();
  hints.padding = widget->property("qmPadding").value<QMargins>();
  hints.floating = widget->property("qmFloat").toBool();
  hints.pos = widget->property("qmPos").toRect();
  return hints;
}

void SetHints(QWidget* widget, const LayoutHints& hints) {
  widget->setProperty("qmWidth", hints.width);
  widget->setProperty("qmHeight", hints.height);
  widget->setProperty("qmPadding", QVariant::fromValue(hints.padding));
  widget->setProperty("qmFloat", hints.floating);
  widget->setProperty("qmPos", hints.pos);
  widget->updateGeometry();
}

void SetFixedHeightHint(QWidget* widget, int height) {
  widget->setProperty("qmHeight", height);
  widget->updateGeometry();
}

void SetFixedWidthHint(QWidget* widget, int width) {
  widget->setProperty("qmWidth", width);
  widget->updateGeometry();
}

}  // namespace ui
