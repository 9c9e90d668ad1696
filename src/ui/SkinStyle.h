#pragma once
// What a window's skin declares for all its controls: the font list and the
// link and focus colours. Shared by the controls of one window.
#include <QColor>
#include <memory>

#include "ui/FontList.h"

namespace ui {

struct SkinStyle {
  FontList fonts;
  QColor linkColor = QColor(0x28, 0xbf, 0x74);
  QColor linkHoverColor = QColor(0xe1, 0x84, 0x07);
  // The skin's accent colour: the 2 px ring around the control with keyboard focus.
  QColor focusColor = QColor(0x28, 0xbf, 0x74);
};

using SkinStylePtr = std::shared_ptr<const SkinStyle>;

// "#rrggbb", "#aarrggbb" or "0xaarrggbb"; invalid text gives an invalid colour.
QColor ParseColor(const QString& text);

}  // namespace ui
