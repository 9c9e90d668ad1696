#pragma once
// An image attribute of the skin: either a plain name ("skin/btn.png") or the
// long form "file='skin/btn.png' source='0,0,20,20' corner='4,4,4,4'", where
// source picks a part of the image and corner keeps the edges unscaled, both
// in layout pixels (doubled on a picture of device-pixel ratio 2).
#include <QMargins>
#include <QRect>
#include <QString>

class QPainter;

namespace ui {

struct ImageRef {
  QString name;
  QRect source;  // empty: the whole image
  QMargins corner;

  bool IsEmpty() const { return name.isEmpty(); }
  static ImageRef Parse(const QString& attribute);
};

// Draws the image stretched into target, its corners kept; false when the
// image cannot be found.
bool DrawImage(QPainter& painter, const QRect& target, const ImageRef& image);

// "l,t,r,b" -> margins; "x,y" or "w,h" style lists read through ParseInts.
QMargins ParseMargins(const QString& text);
QList<int> ParseInts(const QString& text);

}  // namespace ui
