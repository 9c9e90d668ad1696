#pragma once
// The skin's inline text markup, turned into Qt rich text:
//   {f n}..{/f} font n of the window's font list   {c #rrggbb}..{/c} colour
//   {a}..{/a} link        {u}..{/u} underline       {b}/{i} bold, italic
//   {n} line break        {p}..{/p} paragraph
// Closings are matched by kind, so texts that close a tag they never opened
// ("{f 1}text{/c}{/f}") still render. Unknown braces stay literal text.
// Links get the hrefs "link:0", "link:1", ... in text order.
#include <QColor>
#include <QString>

#include "ui/FontList.h"

namespace ui {

struct MarkupStyle {
  const FontList* fonts = nullptr;
  int defaultFont = 0;
  QColor textColor = Qt::black;
  QColor linkColor = QColor(0x28, 0xbf, 0x74);
};

QString MarkupToHtml(const QString& markup, const MarkupStyle& style);

// The text without its markup ({n} and {p} become line breaks).
QString MarkupToPlain(const QString& markup);

}  // namespace ui
