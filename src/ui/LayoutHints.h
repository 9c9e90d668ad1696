#pragma once
// Where a control wants to sit inside its layout, as the skin's attributes say:
// a fixed width or height (0 = share the rest), padding around it, or a
// floating position relative to its parent ("pos" = left,top,right,bottom).
#include <QMargins>
#include <QRect>

class QWidget;

namespace ui {

struct LayoutHints {
  int width = 0;
  int height = 0;
  QMargins padding;
  bool floating = false;
  QRect pos;
};

LayoutHints HintsOf(const QWidget* widget);
void SetHints(QWidget* widget, const LayoutHints& hints);
// Changes the fixed height and lets the parent layout move its neighbours.
void SetFixedHeightHint(QWidget* widget, int height);
void SetFixedWidthHint(QWidget* widget, int width);

}  // namespace ui
