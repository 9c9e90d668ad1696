// Pictures of the carousel in the middle of a slide and of the waiting
// animation window, taken from the real classes under the offscreen platform.
#include "Carousel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include "Common/CAlientWnd.h"
#include "Common/CCarousel.h"
#include "Common/LanguageTexts.h"
#include "ui/ControlOps.h"
#include "ui/WindowImplBase.h"

namespace {

class RunningWnd : public ui::WindowImplBase {
 public:
  QString GetWindowClassName() const override { return "QM_UI_Frame"; }
  QString GetSkinFile() const override { return "InstallMainWnd.xml"; }
};

// Stand-ins for pictures from the banner service: one colour each, a title.
bool WriteBannerPictures(const QString& folder) {
  const QColor colours[] = {QColor(0x2f, 0x80, 0xed), QColor(0x27, 0xae, 0x60), QColor(0xeb, 0x57, 0x57)};
  for (int k = 1; k <= 3; ++k) {
    QImage picture(650, 300, QImage::Format_ARGB32);
    picture.fill(colours[k - 1]);
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    QFont font("Noto Sans");
    font.setPixelSize(40);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(picture.rect(), Qt::AlignCenter, QString("Banner %1").arg(k));
    painter.end();
    if (!picture.save(folder + QString("/%1.png").arg(k))) return false;
  }
  return true;
}

}  // namespace

int ShotCarousel(int language, bool downloaded, const QString& out) {
  RunningWnd wnd;
  if (!wnd.Create(nullptr, "Vantor Mark Eraser", 650, 560)) return 1;
  const LanguageFormats formats = ApplyLanguageTexts(&wnd, language, 61, 120.5f, "2.3M");
  ui::SelectItem(wnd.FindControl("main_tablayout"), 1);
  ui::SetBkImage(wnd.FindControl("backgroudlayout"), "skin/backgroud_complete.png");
  ui::SetValue(wnd.FindControl("install_progress"), 45);
  ui::SetText(wnd.FindControl("install_label"), FormatWithDouble(formats.progress, 45.0));
  wnd.ResizeClient(650, 360);
  wnd.show();
  CCarousel carousel(&wnd);
  carousel.Start(CCarousel::CountBuiltInPictures(), language, 0);
  QTemporaryDir folder;
  if (downloaded) {
    if (!WriteBannerPictures(folder.path())) return 1;
    carousel.UseDownloadedPictures(folder.path() + "/", ".png");
  }
  bool saved = false;
  int frames = 0;
  QObject::connect(carousel.Anima(), &CAnima::FramePainted, &wnd, [&] {
    if (++frames != 12) return;
    QApplication::processEvents();
    saved = wnd.grab().save(out, "PNG");
  });
  carousel.Anima()->Slide(1, 2);
  while (carousel.Anima()->IsSliding()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  return saved ? 0 : 1;
}

int ShotWaitingWindow(const QString& out) {
  CAlientWnd wnd(0, "\"/bin/true\"", "Vantor Mark Eraser", "1.0.0.0", 600, 0);
  bool saved = false;
  QTimer::singleShot(400, &wnd, [&] {
    saved = wnd.grab().save(out, "PNG");
    wnd.Close();
  });
  wnd.ShowModal(nullptr);
  return saved ? 0 : 1;
}
