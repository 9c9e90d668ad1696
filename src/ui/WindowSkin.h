#pragma once
// What the root element of a window's layout says about the window itself.
#include <QMargins>
#include <QRect>
#include <QSize>

#include "ui/SkinStyle.h"

namespace ui {

struct WindowSkin {
  QSize size;        // empty: keep the size given at creation
  QRect caption;     // area that drags the window; height 0 = none
  QMargins sizeBox;  // resize border (the windows here never resize)
  QSize roundCorner;
  bool transparent = false;  // background left transparent ("bktrans")
  SkinStylePtr style = std::make_shared<SkinStyle>();
};

}  // namespace ui
