#pragma once
// The main window's carousel on the running page: the engine (CAnima), the
// dots "image_play_option1".."image_play_option10", window timer 2000 and
// the current position. The window forwards to it: the install start, its
// timer 2000, its "selectchanged" notifications and its message 2952.
// Everything runs on the window's thread.
#include <QString>
#include <memory>

#include "Common/CAnima.h"
#include "ui/Notify.h"

namespace ui {
class WindowImplBase;
}

class CCarousel {
 public:
  static constexpr int kTimerId = 2000;
  static constexpr int kDefaultIntervalMs = 7000;

  explicit CCarousel(ui::WindowImplBase* window);
  ~CCarousel();

  // The built-in pictures "skin/anima/%d.png" counted from 1 until the first
  // missing number, without decoding them.
  static int CountBuiltInPictures();

  // Installation start: a new engine over the built-in pictures, position 1,
  // the first dot selected, "image_play" showing "FirstFrame", and with two
  // pictures or more the timer running with intervalMs, unless the desktop
  // asks for reduced motion (ui::ReducedMotion): then the timer never runs
  // and a chosen dot shows its picture without a slide.
  void Start(int pictureCount, int language, int softwareId, int intervalMs = kDefaultIntervalMs);
  // Message 2952: the downloaded pictures folder + "%d" + ext replace the
  // built-in ones position by position.
  void UseDownloadedPictures(const QString& folder, const QString& ext);
  // Timer 2000: selects the dot after the current position (the first after
  // the last), which slides through OnSelectChanged.
  void OnTimer();
  // "selectchanged" of dot k (1..10): restarts the timer and slides from the
  // current position to k. False for any other sender.
  bool OnSelectChanged(const ui::TNotifyUI& msg);
  // Leaving the running page: the timer stops, a slide in progress ends.
  void Stop();

  int CurrentSlide() const { return currentSlide_; }
  int IntervalMs() const { return intervalMs_; }
  CAnima* Anima() const { return anima_.get(); }

 private:
  QWidget* Dot(int k) const;
  int DotCount() const;

  ui::WindowImplBase* window_;
  std::unique_ptr<CAnima> anima_;
  int currentSlide_ = 1;
  int intervalMs_ = kDefaultIntervalMs;
};
