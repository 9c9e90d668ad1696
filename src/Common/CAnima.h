#pragma once
// The carousel engine of the running page: builds the carousel pictures
// (captions drawn on, each pair merged side by side) and plays the sliding
// transition between two of them on the owner's "image_play" control.
//
// Every picture it makes is registered in the image cache under its name:
// "FirstFrame", "Merge%02d%02d.png" for a pair, and the merged name followed
// by "%02d" for each frame of a slide. Frames are built once and reused.
//
// A slide is 25 frames, 26 pixels apart, at least 50 ms apart, driven by a
// timer on the owner's thread: the window keeps handling input and messages
// between frames. When the desktop asks for reduced motion (ui::ReducedMotion)
// a slide shows only its last frame, the target picture.
//
// Pictures, merged pairs and frames have the skin's scale (ui::SkinArtScale):
// on a high-density screen they hold 2 image pixels per layout pixel, with
// device-pixel ratio 2; sizes and offsets below stay in layout pixels.
#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace ui {
class WindowImplBase;
}

class CAnima : public QObject {
  Q_OBJECT
 public:
  static constexpr int kPictureWidth = 650;
  static constexpr int kPictureHeight = 300;
  static constexpr int kFrames = 25;
  static constexpr int kFrameStep = kPictureWidth / kFrames;  // 26 pixels
  static constexpr int kFrameIntervalMs = 50;
  static constexpr int kMaxDots = 10;

  // owner holds "image_play", its dots "image_play_option%d" and the hidden
  // caption labels; pictureCount is n, the number of built-in pictures.
  CAnima(ui::WindowImplBase* owner, int pictureCount, int language, int softwareId);

  // Runs HorizontalMoveAnimaInit in the horizontal mode (the only one).
  int AnimaInit(const QString& folder, const QString& ext);
  // Builds the captioned pictures and every merged pair. With a folder, the
  // pictures are folder + number + ext (no captions), each missing one
  // replaced by the built-in picture of that number; without, the built-in
  // "skin/anima/%d.png" with the captions of the labels. Returns the number
  // of merged pairs.
  int HorizontalMoveAnimaInit(const QString& folder, const QString& ext);

  // Starts the transition from picture from to picture to (1-based) and
  // returns at once; nothing happens for one picture, equal numbers or a
  // number outside 1..n. A slide already running is cut short.
  void Slide(int from, int to);
  void StopSlide();
  bool IsSliding() const { return painted_ < plan_.size(); }

  int PictureCount() const { return count_; }
  int MergedCount() const { return merged_; }
  const QStringList& Captions() const { return captions_; }
  const QStringList& ExtraCaptions() const { return extraCaptions_; }

  static QString MergedName(int a, int b);                     // "Merge0103.png"
  static QString FrameName(const QString& merged, int index);  // "Merge0103.png25"

 signals:
  // After each frame is shown on "image_play".
  void FramePainted(const QString& frameName);
  void SlideFinished(int to);

 private:
  void ReadCaptions();
  QImage Picture(const QString& pattern, int number, bool downloaded);
  void DrawCaptions(QImage& picture, int number) const;
  static QImage Merge(const QImage& a, const QImage& b);
  static void ForgetFrames(const QString& merged);
  QString EnsureFrame(const QString& merged, int index) const;
  // Frame index of a merged picture sharing its pixels; null when the
  // picture is not a full 32-bit merged pair.
  static QImage FrameView(const QImage& source, int index);
  static QImage FrameCopy(const QImage& source, int index);
  void PaintNextFrame();
  void PaintLastFrame();
  void Show(const QString& imageName);

  ui::WindowImplBase* owner_;
  int count_;
  int language_;
  int softwareId_;
  int merged_ = 0;
  int scale_ = 1;
  QStringList captions_;
  QStringList extraCaptions_;

  // The slide in progress: frame indexes of the merged picture, in order.
  QString slideMerged_;
  std::vector<int> plan_;
  std::size_t painted_ = 0;
  int slideTo_ = 0;
  QTimer frameTimer_;
  QElapsedTimer sinceFrame_;
};
