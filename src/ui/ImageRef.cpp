#include "ui/ImageRef.h"

#include <QPainter>
#include <QRegularExpression>

#include "ui/ImageCache.h"

namespace ui {

QList<int> ParseInts(const QString& text) {
  QList<int> values;
  for (const QString& part : text.split(',', Qt::SkipEmptyParts)) values << part.trimmed().toInt();
  return values;
}

QMargins ParseMargins(const QString& text) {
  QList<int> v = ParseInts(text);
  while (v.size() < 4) v << 0;
  return QMargins(v[0], v[1], v[2], v[3]);
}

ImageRef ImageRef::Parse(const QString& attribute) {
  ImageRef ref;
  if (!attribute.contains('=')) {
    ref.name = attribute.trimmed();
    return ref;
  }
  static const QRegularExpression pair(R"((\w+)\s*=\s*'([^']*)')");
  for (auto it = pair.globalMatch(attribute); it.hasNext();) {
    const auto match = it.next();
    const QString key = match.captured(1), value = match.captured(2);
    if (key == "file") ref.name = value;
    if (key == "source") {
      const QMargins m = ParseMargins(value);  // left, top, right, bottom
      ref.source = QRect(QPoint(m.left(), m.top()), QPoint(m.right() - 1, m.bottom() - 1));
    }
    if (key == "corner") ref.corner = ParseMargins(value);
  }
  return ref;
}

bool DrawImage(QPainter& painter, const QRect& target, const ImageRef& ref) {
  const QImage image = ImageCache::Instance().Get(ref.name);
  if (image.isNull()) return false;
  // source and corner are given in layout pixels; a 2x picture holds twice
  // as many image pixels for each of them.
  const int scale = qMax(1, qRound(image.devicePixelRatio()));
  const QRect src = ref.source.isEmpty() ? image.rect()
                                         : QRect(ref.source.topLeft() * scale, ref.source.size() * scale);
  const QMargins c = ref.corner;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (c.isNull()) {
    painter.drawImage(target, image, src);
    return true;
  }
  // Nine parts: corners at their size, edges stretched along one axis.
  const QMargins sc = c * scale;
  const int sx[4] = {src.left(), src.left() + sc.left(), src.right() + 1 - sc.right(), src.right() + 1};
  const int sy[4] = {src.top(), src.top() + sc.top(), src.bottom() + 1 - sc.bottom(), src.bottom() + 1};
  const int tx[4] = {target.left(), target.left() + c.left(), target.right() + 1 - c.right(), target.right() + 1};
  const int ty[4] = {target.top(), target.top() + c.top(), target.bottom() + 1 - c.bottom(), target.bottom() + 1};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      const QRect s(QPoint(sx[col], sy[row]), QPoint(sx[col + 1] - 1, sy[row + 1] - 1));
      const QRect t(QPoint(tx[col], ty[row]), QPoint(tx[col + 1] - 1, ty[row + 1] - 1));
      if (s.isValid() && t.isValid()) painter.drawImage(t, image, s);
    }
  }
  return true;
}

}  // namespace ui
