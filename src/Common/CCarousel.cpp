#include "Common/CCarousel.h"

#include "ui/ControlOps.h"
#include "ui/ImageCache.h"
#include "ui/OptionButton.h"
#include "ui/ReducedMotion.h"
#include "ui/WindowImplBase.h"

namespace {
constexpr const char* kDotPrefix = "image_play_option";
}

CCarousel::CCarousel(ui::WindowImplBase* window) : window_(window) {}

CCarousel::~CCarousel() = default;

int CCarousel::CountBuiltInPictures() {
  int count = 0;
  // Counted, not decoded: the pictures are read when the carousel starts.
  while (ui::ImageCache::Instance().Has(QString("skin/anima/%1.png").arg(count + 1))) ++count;
  return count;
}

QWidget* CCarousel::Dot(int k) const { return window_->FindControl(kDotPrefix + QString::number(k)); }

int CCarousel::DotCount() const {
  int count = 0;
  while (count < CAnima::kMaxDots && Dot(count + 1) != nullptr) ++count;
  return count;
}

void CCarousel::Start(int pictureCount, int language, int softwareId, int intervalMs) {
  Stop();
  anima_ = std::make_unique<CAnima>(window_, pictureCount, language, softwareId);
  anima_->AnimaInit(QString(), QString());
  currentSlide_ = 1;
  intervalMs_ = intervalMs;
  // Selected quietly: the carousel already stands at position 1.
  if (auto* first = qobject_cast<ui::OptionButton*>(Dot(1))) first->Selected(true, false);
  ui::SetBkImage(window_->FindControl("image_play"), "FirstFrame");
  // Under reduced motion the carousel stays on its picture until a dot is
  // chosen.
  if (pictureCount >= 2 && !ui::ReducedMotion()) window_->SetTimer(kTimerId, intervalMs_);
}

void CCarousel::UseDownloadedPictures(const QString& folder, const QString& ext) {
  if (anima_) anima_->AnimaInit(folder, ext);
}

void CCarousel::OnTimer() {
  const int dots = DotCount();
  if (dots == 0) return;
  const int next = currentSlide_ < dots ? currentSlide_ + 1 : 1;
  ui::SetSelected(Dot(next), true);
}

bool CCarousel::OnSelectChanged(const ui::TNotifyUI& msg) {
  if (!msg.senderName.startsWith(kDotPrefix)) return false;
  bool number = false;
  const int k = msg.senderName.mid(static_cast<int>(qstrlen(kDotPrefix))).toInt(&number);
  if (!number || k < 1 || k > CAnima::kMaxDots) return false;
  if (!ui::ReducedMotion()) window_->SetTimer(kTimerId, intervalMs_);
  if (anima_) anima_->Slide(currentSlide_, k);
  currentSlide_ = k;
  return true;
}

void CCarousel::Stop() {
  window_->KillTimer(kTimerId);
  if (anima_) anima_->StopSlide();
}
