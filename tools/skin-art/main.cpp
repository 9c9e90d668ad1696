// Draws the skin's pictures (backgrounds, logo, carousel pictures, animation
// frames, icons and button states) into a folder, normally skin/skin/. The
// pictures are committed; run this again after changing a drawing.
// Every picture is drawn twice from the same vector drawing: at its layout
// size (name.png) and at twice that for high-density screens (name@2x.png).
//   qm-skin-art <output folder>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {

const QColor kAccent(0x83, 0x72, 0xff);
const QColor kAccentDark(0x5b, 0x48, 0xe0);
QString g_out;
int g_scale = 1;  // 1: name.png, 2: name@2x.png

// A canvas of w x h layout pixels: painters draw in layout pixels at any scale.
QImage Canvas(int w, int h) {
  QImage image(w * g_scale, h * g_scale, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(g_scale);
  image.fill(Qt::transparent);
  return image;
}

bool Opaque(const QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(line[x]) != 255) return false;
    }
  }
  return true;
}

void Save(const QImage& image, const QString& name) {
  QString file = name;
  if (g_scale != 1) file.insert(file.lastIndexOf('.'), QString("@%1x").arg(g_scale));
  const QString path = g_out + "/" + file;
  QDir().mkpath(QFileInfo(path).path());
  // Opaque pictures are stored without an alpha channel, and every file at
  // the strongest compression: the 2x set must not swell the skin archive.
  const QImage stored = Opaque(image) ? image.convertToFormat(QImage::Format_RGB32) : image;
  if (!stored.save(path, "PNG", 0)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

void Bubbles(QPainter& p, int w, int h, int seed, int alpha) {
  for (int i = 0; i < 7; ++i) {
    const double x = std::fmod(seed * 97.0 + i * 173.0, w), y = std::fmod(seed * 41.0 + i * 89.0, h);
    const double r = 30 + std::fmod(i * 53.0 + seed * 7, 90);
    QRadialGradient g(x, y, r);
    g.setColorAt(0, QColor(255, 255, 255, alpha));
    g.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(x, y), r, r);
  }
}

void Header() {
  QImage image = Canvas(650, 360);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(image.rect(), Qt::white);
  QLinearGradient g(0, 0, 650, 296);
  g.setColorAt(0, QColor(0x6a, 0x58, 0xf2));
  g.setColorAt(1, QColor(0x9d, 0x7c, 0xff));
  QPainterPath top;
  top.moveTo(0, 0);
  top.lineTo(650, 0);
  top.lineTo(650, 280);
  top.quadTo(325, 312, 0, 280);
  top.closeSubpath();
  p.fillPath(top, g);
  p.setClipPath(top);
  Bubbles(p, 650, 296, 3, 38);
  Save(image, "backgroud.png");
}

void Complete() {
  QImage image = Canvas(650, 360);
  QPainter p(&image);
  QLinearGradient g(0, 0, 0, 360);
  g.setColorAt(0, QColor(0xf1, 0xee, 0xff));
  g.setColorAt(1, Qt::white);
  p.fillRect(image.rect(), g);
  Save(image, "backgroud_complete.png");
}

void EraserGlyph(QPainter& p, const QRectF& box, const QColor& body, const QColor& tip) {
  p.save();
  p.translate(box.center());
  p.rotate(-35);
  const double w = box.width() * 0.72, h = box.height() * 0.34;
  QPainterPath whole;
  whole.addRoundedRect(QRectF(-w / 2, -h / 2, w, h), h * 0.25, h * 0.25);
  p.fillPath(whole, body);
  QPainterPath end;
  end.addRoundedRect(QRectF(-w / 2, -h / 2, w * 0.38, h), h * 0.25, h * 0.25);
  end.addRect(QRectF(-w / 2 + w * 0.2, -h / 2, w * 0.18, h));
  p.fillPath(end.simplified(), tip);
  p.restore();
}

void Sparkle(QPainter& p, QPointF c, double r, const QColor& color) {
  QPainterPath s;
  s.moveTo(c.x(), c.y() - r);
  s.quadTo(c.x(), c.y(), c.x() + r, c.y());
  s.quadTo(c.x(), c.y(), c.x(), c.y() + r);
  s.quadTo(c.x(), c.y(), c.x() - r, c.y());
  s.quadTo(c.x(), c.y(), c.x(), c.y() - r);
  p.fillPath(s, color);
}

void Logo() {
  QImage image = Canvas(80, 80);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath tile;
  tile.addRoundedRect(QRectF(4, 4, 72, 72), 18, 18);
  p.fillPath(tile.translated(0, 2), QColor(40, 20, 120, 60));
  p.fillPath(tile, Qt::white);
  EraserGlyph(p, QRectF(12, 14, 56, 56), kAccent, QColor(0xff, 0x9f, 0x6b));
  Sparkle(p, QPointF(58, 22), 8, QColor(0xff, 0xc8, 0x3d));
  Save(image, "logo.png");
}

// A photo with a watermark band that the eraser has half removed.
void Picture(int n) {
  QImage image = Canvas(650, 300);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  static const QColor tops[] = {QColor(0xee, 0xf3, 0xff), QColor(0xf6, 0xef, 0xff), QColor(0xec, 0xfa, 0xf4)};
  static const QColor accents[] = {kAccent, QColor(0xe0, 0x6c, 0xc4), QColor(0x2e, 0xb8, 0x8a)};
  QLinearGradient bg(0, 0, 0, 300);
  bg.setColorAt(0, tops[n - 1]);
  bg.setColorAt(1, Qt::white);
  p.fillRect(image.rect(), bg);
  const QRectF frame(165, 150, 320, 130);
  QPainterPath card;
  card.addRoundedRect(frame, 10, 10);
  p.fillPath(card.translated(0, 4), QColor(60, 40, 140, 30));
  p.fillPath(card, Qt::white);
  const QRectF photo = frame.adjusted(10, 10, -10, -10);
  p.save();
  QPainterPath clip;
  clip.addRoundedRect(photo, 6, 6);
  p.setClipPath(clip);
  QLinearGradient sky(0, photo.top(), 0, photo.bottom());
  sky.setColorAt(0, accents[n - 1].lighter(160));
  sky.setColorAt(1, accents[n - 1].lighter(120));
  p.fillRect(photo, sky);
  p.setBrush(QColor(255, 214, 102));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(photo.right() - 50, photo.top() + 28), 14, 14);
  QPainterPath hills;
  hills.moveTo(photo.bottomLeft());
  hills.lineTo(photo.left(), photo.bottom() - 30);
  hills.quadTo(photo.left() + 80, photo.top() + 20, photo.left() + 150, photo.bottom() - 36);
  hills.quadTo(photo.left() + 220, photo.top() + 40, photo.right(), photo.bottom() - 44);
  hills.lineTo(photo.bottomRight());
  p.fillPath(hills, accents[n - 1].darker(115));
  // The watermark: diagonal stripes over the left part only.
  p.setPen(QPen(QColor(255, 255, 255, 150), 6));
  for (int x = -60; x < 150; x += 26) p.drawLine(QPointF(photo.left() + x, photo.bottom()), QPointF(photo.left() + x + 70, photo.top()));
  p.restore();
  EraserGlyph(p, QRectF(frame.left() + 118, frame.top() - 20, 80, 80), accents[n - 1], QColor(0xff, 0x9f, 0x6b));
  Sparkle(p, QPointF(frame.right() - 20, frame.top() - 8), 10, QColor(0xff, 0xc8, 0x3d));
  Sparkle(p, QPointF(frame.left() + 10, frame.top() + 16), 6, accents[n - 1]);
  Save(image, QString("anima/%1.png").arg(n));
}

void Frames() {
  for (int i = 0; i < 21; ++i) {
    QImage image = Canvas(320, 320);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(40, 40, 240, 240), 28, 28);
    p.fillPath(card, QColor(255, 255, 255, 235));
    p.setPen(QPen(QColor(0xe6, 0xe3, 0xf6), 10, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(QPointF(160, 160), 70, 70);
    p.setPen(QPen(kAccent, 10, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(90, 90, 140, 140), static_cast<int>(90 - i * 360.0 / 21) * 16, -100 * 16);
    EraserGlyph(p, QRectF(125, 125, 70, 70), kAccent, QColor(0xff, 0x9f, 0x6b));
    Save(image, QString("gif/bg%1.png").arg(i, 2, 10, QChar('0')));
  }
}

void RoundIcon(const QString& name, int size, const QColor& color, const QString& mark) {
  QImage image = Canvas(size, size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(color);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
  p.setPen(QPen(Qt::white, size / 10.0, Qt::SolidLine, Qt::RoundCap));
  const double c = size / 2.0, u = size / 44.0;
  if (mark == "!") {
    p.drawLine(QPointF(c, 11 * u), QPointF(c, 26 * u));
    p.drawPoint(QPointF(c, 33 * u));
  } else {
    QPainterPath q;
    q.moveTo(c - 7 * u, 16 * u);
    q.cubicTo(c - 7 * u, 8 * u, c + 8 * u, 8 * u, c + 8 * u, 16 * u);
    q.cubicTo(c + 8 * u, 21 * u, c, 21 * u, c, 27 * u);
    p.setBrush(Qt::NoBrush);
    p.drawPath(q);
    p.drawPoint(QPointF(c, 33 * u));
  }
  Save(image, name);
}

void Triangle() {
  QImage image = Canvas(20, 20);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath t;
  t.moveTo(10, 1.5);
  t.lineTo(19, 18);
  t.lineTo(1, 18);
  t.closeSubpath();
  p.setPen(QPen(QColor(0xf5, 0x9e, 0x0b), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(QColor(0xf5, 0x9e, 0x0b));
  p.drawPath(t);
  p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(10, 7), QPointF(10, 12));
  p.drawPoint(QPointF(10, 15.2));
  Save(image, "message_warning_small.png");
}

void Button(const QString& name, int w, int h, double radius, const QColor& fill, const QColor& border) {
  QImage image = Canvas(w, h);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), radius, radius);
  if (fill.isValid()) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, fill.lighter(108));
    g.setColorAt(1, fill);
    p.fillPath(shape, g);
  }
  if (border.isValid()) {
    p.setPen(QPen(border, 1));
    p.drawPath(shape);
  }
  Save(image, name);
}

void Glyph(const QString& name, bool close, const QColor& pen, const QColor& back) {
  QImage image = Canvas(20, 20);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  if (back.alpha() > 0) {
    p.setBrush(back);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(0, 0, 20, 20));
  }
  p.setPen(QPen(pen, 1.8, Qt::SolidLine, Qt::RoundCap));
  if (close) {
    p.drawLine(QPointF(6, 6), QPointF(14, 14));
    p.drawLine(QPointF(14, 6), QPointF(6, 14));
  } else {
    p.drawLine(QPointF(5.5, 10), QPointF(14.5, 10));
  }
  Save(image, name);
}

void Check(const QString& name, const QColor& border, bool checked) {
  QImage image = Canvas(16, 16);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath box;
  box.addRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
  p.fillPath(box, checked ? kAccent : Qt::white);
  p.setPen(QPen(checked ? kAccent : border, 1));
  p.drawPath(box);
  if (checked) {
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(4, 8.3);
    tick.lineTo(7, 11.2);
    tick.lineTo(12.2, 5);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
  }
  Save(image, name);
}

void Dot(const QString& name, const QColor& color) {
  QImage image = Canvas(10, 10);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(color);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QRectF(1, 1, 8, 8));
  Save(image, name);
}

void DrawAll() {
  Header();
  Complete();
  Logo();
  for (int n = 1; n <= 3; ++n) Picture(n);
  Frames();
  RoundIcon("message_help.png", 44, kAccent, "?");
  RoundIcon("message_exclamation.png", 44, QColor(0xf5, 0x9e, 0x0b), "!");
  Triangle();
  Button("btn_install.png", 60, 40, 8, QColor(0x5a, 0x46, 0xe6), QColor());
  Button("btn_install_hot.png", 60, 40, 8, QColor(0x6c, 0x5a, 0xf2), QColor());
  Button("btn_install_pushed.png", 60, 40, 8, QColor(0x48, 0x36, 0xc6), QColor());
  Button("btn_install_disabled.png", 60, 40, 8, QColor(0xc4, 0xbd, 0xf5), QColor());
  Button("btn_small.png", 40, 28, 5, Qt::white, kAccent);
  Button("btn_small_hot.png", 40, 28, 5, kAccent, kAccent);
  Button("btn_small_pushed.png", 40, 28, 5, kAccentDark, kAccentDark);
  Glyph("btn_close.png", true, Qt::white, Qt::transparent);
  Glyph("btn_close_hot.png", true, Qt::white, QColor(255, 255, 255, 60));
  Glyph("btn_close_pushed.png", true, Qt::white, QColor(0, 0, 0, 50));
  Glyph("btn_min.png", false, Qt::white, Qt::transparent);
  Glyph("btn_min_hot.png", false, Qt::white, QColor(255, 255, 255, 60));
  Glyph("btn_min_pushed.png", false, Qt::white, QColor(0, 0, 0, 50));
  Glyph("btn_close_dark.png", true, Qt::white, QColor(40, 30, 90, 90));
  Glyph("btn_close_dark_hot.png", true, Qt::white, QColor(40, 30, 90, 160));
  Check("check.png", QColor(0xb8, 0xb2, 0xd8), false);
  Check("check_hot.png", kAccent, false);
  Check("check_selected.png", kAccent, true);
  Dot("dot.png", QColor(0xd6, 0xd2, 0xee));
  Dot("dot_hot.png", QColor(0xb3, 0xaa, 0xf0));
  Dot("dot_selected.png", kAccent);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: qm-skin-art <output folder>\n");
    return 2;
  }
  g_out = QString::fromLocal8Bit(argv[1]);
  for (int scale : {1, 2}) {
    g_scale = scale;
    DrawAll();
  }
  return 0;
}
