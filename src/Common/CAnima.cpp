#include "Common/CAnima.h"

#include <QPainter>
#include <algorithm>

#include "LanguageTables.h"
#include "Logger.h"
#include "ui/ControlOps.h"
#include "ui/ImageCache.h"
#include "ui/ReducedMotion.h"
#include "ui/WindowImplBase.h"

namespace {

constexpr const char* kBuiltInPattern = "skin/anima/%1.png";
constexpr const char* kFirstFrame = "FirstFrame";
constexpr int kCaptionPixelSize = 11;
constexpr int kSoftwareIdWhiteCaptions = 10;

QString Numbered(const QString& pattern, int number) { return QString(pattern).replace("%d", QString::number(number)); }

// A white canvas of w x h layout pixels at the given scale (image pixels per
// layout pixel): painters draw on it in layout pixels.
QImage WhiteCanvas(int w, int h, int scale) {
  QImage image(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale);
  image.fill(Qt::white);
  return image;
}

int ScaleOf(const QImage& image) { return std::max(1, qRound(image.devicePixelRatio())); }

}  // namespace

CAnima::CAnima(ui::WindowImplBase* owner, int pictureCount, int language, int softwareId)
    : owner_(owner), count_(pictureCount), language_(language), softwareId_(softwareId) {
  frameTimer_.setSingleShot(true);
  frameTimer_.setTimerType(Qt::PreciseTimer);
  connect(&frameTimer_, &QTimer::timeout, this, &CAnima::PaintNextFrame);
}

QString CAnima::MergedName(int a, int b) {
  return QString::asprintf("Merge%02d%02d.png", a, b);
}

QString CAnima::FrameName(const QString& merged, int index) {
  return merged + QString::asprintf("%02d", index);
}

int CAnima::AnimaInit(const QString& folder, const QString& ext) {
  return HorizontalMoveAnimaInit(folder, ext);  // horizontal move is the only mode
}

void CAnima::ReadCaptions() {
  captions_.clear();
  extraCaptions_.clear();
  for (int k = 1;; ++k) {
    QWidget* first = owner_->FindControl(QString("anima_text_%1").arg(k));
    QWidget* extra = owner_->FindControl(QString("anima_text_extra_%1").arg(k));
    if (first == nullptr && extra == nullptr) break;
    captions_ << ui::GetText(first);
    extraCaptions_ << ui::GetText(extra);
  }
}

void CAnima::DrawCaptions(QImage& picture, int number) const {
  const int k = number - 1;
  const QString first = k < captions_.size() ? captions_[k] : QString();
  const QString extra = k < extraCaptions_.size() ? extraCaptions_[k] : QString();
  if (first.isEmpty() && extra.isEmpty()) return;
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setPen(softwareId_ == kSoftwareIdWhiteCaptions ? QColor(Qt::white) : QColor(0x4A, 0x4A, 0x4A));
  QFont font(QString::fromStdString(CaptionFontFamily(language_)));
  font.setPixelSize(kCaptionPixelSize);
  if (!first.isEmpty()) {
    QString text = first;
    const int brk = text.indexOf("{n}");
    if (brk >= 0) text.replace(brk, 3, "\n");
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(30, 40, kPictureWidth - 60, 100), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
  }
  if (!extra.isEmpty()) {
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(QRect(194, 40, 178, 65), Qt::AlignCenter | Qt::TextWordWrap, extra);
  }
}

QImage CAnima::Picture(const QString& pattern, int number, bool downloaded) {
  QImage picture = ui::ImageCache::Instance().Get(Numbered(pattern, number));
  if (picture.isNull() && downloaded) {
    QMLOG(" AnimaInit, use default: " << number);
    picture = ui::ImageCache::Instance().Get(QString(kBuiltInPattern).arg(number));
  }
  if (picture.isNull()) return picture;
  // Drawn at its own layout size, from the top left, on a white copy of the
  // carousel's size (the cached picture stays as loaded): a picture of
  // another size is cropped or framed, never stretched. The copy has the
  // skin's scale, so 2x art stays sharp and a 1x banner is enlarged on it.
  QImage sized = WhiteCanvas(kPictureWidth, kPictureHeight, scale_);
  QPainter painter(&sized);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QPoint(0, 0), picture);
  painter.end();
  DrawCaptions(sized, number);
  return sized;
}

QImage CAnima::Merge(const QImage& a, const QImage& b) {
  QImage merged = WhiteCanvas(2 * kPictureWidth, kPictureHeight, ScaleOf(a));
  QPainter painter(&merged);
  painter.drawImage(0, 0, a);
  painter.drawImage(kPictureWidth, 0, b);
  return merged;
}

void CAnima::ForgetFrames(const QString& merged) {
  for (int i = 0; i <= kFrames; ++i) ui::ImageCache::Instance().Remove(FrameName(merged, i));
}

int CAnima::HorizontalMoveAnimaInit(const QString& folder, const QString& ext) {
  QMLOG(" AnimaInit: " << folder.toStdString() << ", " << ext.toStdString());
  StopSlide();
  const bool downloaded = !folder.isEmpty();
  scale_ = ui::SkinArtScale();
  if (downloaded) {
    captions_.clear();
    extraCaptions_.clear();
  } else {
    ReadCaptions();
  }
  const QString pattern = downloaded ? folder + "%d" + ext : QString(kBuiltInPattern).replace("%1", "%d");
  std::vector<QImage> pictures(static_cast<std::size_t>(count_) + 1);
  for (int k = 1; k <= count_; ++k) pictures[k] = Picture(pattern, k, downloaded);
  merged_ = 0;
  for (int a = 1; a <= count_; ++a) {
    for (int b = a + 1; b <= count_; ++b) {
      if (pictures[a].isNull() || pictures[b].isNull()) continue;
      if (a == 1 && b == 2) ui::ImageCache::Instance().Register(kFirstFrame, pictures[1]);
      const QString name = MergedName(a, b);
      ForgetFrames(name);  // frames of earlier pictures must not be reused
      ui::ImageCache::Instance().Register(name, Merge(pictures[a], pictures[b]));
      ++merged_;
    }
  }
  QMLOG(" AnimaInit ok: " << count_ << ", " << merged_);
  return merged_;
}

// Frame i of a merged pair shows it from x = 26 * i: frame 0 is the left
// picture, frame 25 the right one. Both directions share these frames. A
// frame is a view of the merged picture's pixels that holds a reference to
// them, so the frames of a pair cost no pixels of their own; a source that
// cannot be viewed that way is copied.
QString CAnima::EnsureFrame(const QString& merged, int index) const {
  const QString name = FrameName(merged, index);
  ui::ImageCache& cache = ui::ImageCache::Instance();
  if (!cache.Get(name).isNull()) return name;
  const QImage source = cache.Get(merged);
  QImage frame = FrameView(source, index);
  if (frame.isNull()) frame = FrameCopy(source, index);
  cache.Register(name, frame);
  return name;
}

QImage CAnima::FrameView(const QImage& source, int index) {
  const int scale = ScaleOf(source);
  const int left = kFrameStep * index * scale;
  const int width = kPictureWidth * scale, height = kPictureHeight * scale;
  if (source.format() != QImage::Format_ARGB32_Premultiplied || left + width > source.width() ||
      height > source.height()) {
    return {};
  }
  auto* pixels = new QImage(source);  // released with the frame's last copy
  QImage frame(
      pixels->constBits() + static_cast<qsizetype>(left) * 4, width, height, pixels->bytesPerLine(),
      source.format(), [](void* owner) { delete static_cast<QImage*>(owner); }, pixels);
  frame.setDevicePixelRatio(scale);
  return frame;
}

QImage CAnima::FrameCopy(const QImage& source, int index) {
  const int scale = ScaleOf(source);
  QImage frame = WhiteCanvas(kPictureWidth, kPictureHeight, scale);
  // The source rectangle is in image pixels, the target in layout pixels.
  QPainter(&frame).drawImage(QRectF(0, 0, kPictureWidth, kPictureHeight), source,
                             QRectF(kFrameStep * index * scale, 0, kPictureWidth * scale, kPictureHeight * scale));
  return frame;
}

void CAnima::Slide(int from, int to) {
  StopSlide();
  if (count_ <= 1 || from == to || from < 1 || to < 1 || from > count_ || to > count_) return;
  slideMerged_ = MergedName(std::min(from, to), std::max(from, to));
  if (ui::ImageCache::Instance().Get(slideMerged_).isNull()) return;
  // Forward shows frames 1..25; backward 25..1 and then frame 0, so that
  // it ends on the target picture as the forward slide does.
  plan_.clear();
  for (int i = 1; i <= kFrames; ++i) plan_.push_back(from < to ? i : kFrames + 1 - i);
  if (from > to) plan_.push_back(0);
  painted_ = 0;
  slideTo_ = to;
  if (ui::ReducedMotion()) {
    // The desktop asks for stillness: the target picture at once, no slide.
    painted_ = plan_.size() - 1;
    PaintLastFrame();
    return;
  }
  sinceFrame_.start();
  frameTimer_.start(kFrameIntervalMs);
}

void CAnima::PaintLastFrame() {
  const QString name = EnsureFrame(slideMerged_, plan_[painted_++]);
  Show(name);
  emit FramePainted(name);
  emit SlideFinished(slideTo_);
}

void CAnima::StopSlide() {
  frameTimer_.stop();
  painted_ = plan_.size();
}

void CAnima::PaintNextFrame() {
  if (!IsSliding()) return;
  const qint64 waited = sinceFrame_.elapsed();
  if (waited < kFrameIntervalMs) {  // a timer may fire a little early
    frameTimer_.start(static_cast<int>(kFrameIntervalMs - waited));
    return;
  }
  const QString name = EnsureFrame(slideMerged_, plan_[painted_++]);
  Show(name);
  sinceFrame_.start();
  emit FramePainted(name);
  if (IsSliding()) frameTimer_.start(kFrameIntervalMs);
  else emit SlideFinished(slideTo_);
}

void CAnima::Show(const QString& imageName) {
  QWidget* play = owner_->FindControl("image_play");
  ui::SetBkImage(play, imageName);
  for (int k = 1; k <= kMaxDots; ++k) {
    if (QWidget* dot = owner_->FindControl(QString("image_play_option%1").arg(k))) dot->update();
  }
}
