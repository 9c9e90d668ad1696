// On a screen of device-pixel ratio 2 (QT_SCALE_FACTOR=2, set before the
// application object is made): the skin's 2x pictures, the window's grab at
// twice its layout size with the 2x art in it, and the carousel's pictures
// and frames at 2x.
#include <gtest/gtest.h>

#include <QApplication>
#include <QtCore/qtestsupport_core.h>
#include <QPixmap>
#include <cstdlib>
#include <utility>

#include "Common/CAnima.h"
#include "Common/CCarousel.h"
#include "LanguageTables.h"
#include "platform/MemoryZip.h"
#include "platform/SkinResourceTable.h"
#include "support/TempDir.h"
#include "ui/ImageCache.h"
#include "ui/UiApplication.h"
#include "ui/WindowImplBase.h"

namespace {

class HighDensityEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_SCALE_FACTOR", "2", 1);  // read once, when the application starts
    ui::EnsureApplication();
    ASSERT_TRUE(platform::UseEmbeddedSkinArchive());
  }
};
[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new HighDensityEnvironment);

class SkinWnd : public ui::WindowImplBase {
 public:
  QString GetWindowClassName() const override { return "QM_UI_Test"; }
  QString GetSkinFile() const override { return "InstallMainWnd.xml"; }
};

bool PumpUntil(const std::function<bool()>& done, int boundMs = 120000) { return QTest::qWaitFor(done, boundMs); }

QImage Member(const char* name) {
  std::string bytes;
  if (!platform::ReadResourceFile(name, bytes)) return {};
  return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
}

// Pixels of a and b (same size) that differ by more than 24 in a channel.
int Differing(const QImage& a, const QImage& b) {
  const QImage x = a.convertToFormat(QImage::Format_ARGB32), y = b.convertToFormat(QImage::Format_ARGB32);
  int count = 0;
  for (int row = 0; row < x.height(); ++row) {
    for (int col = 0; col < x.width(); ++col) {
      const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
      if (std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24 ||
          std::abs(qBlue(p) - qBlue(q)) > 24) {
        ++count;
      }
    }
  }
  return count;
}

QImage Cached(const QString& name) { return ui::ImageCache::Instance().Get(name); }

}  // namespace

TEST(HighDensity, SkinPicturesComeFromTheirTwiceAsLargeFiles) {
  ASSERT_GT(qApp->devicePixelRatio(), 1.0);
  EXPECT_EQ(ui::SkinArtScale(), 2);
  const struct {
    const char* name;
    QSize layout;
  } pictures[] = {{"skin/logo.png", {80, 80}}, {"skin\\backgroud.png", {650, 360}}, {"skin/anima/1.png", {650, 300}}, {"skin/gif/bg00.png", {320, 320}}, {"skin/gif/bg20.png", {320, 320}}, {"skin/btn_install.png", {60, 40}}, {"skin/check_selected.png", {16, 16}}};
  for (const auto& p : pictures) {
    const QImage image = Cached(p.name);
    EXPECT_EQ(image.devicePixelRatio(), 2.0) << p.name;
    EXPECT_EQ(image.size(), p.layout * 2) << p.name;
    EXPECT_EQ(image.deviceIndependentSize().toSize(), p.layout) << p.name;
  }
  // A picture from the file system (a downloaded banner) is read as it is.
  TempDir dir;
  QImage banner(650, 300, QImage::Format_RGB32);
  banner.fill(Qt::red);
  ASSERT_TRUE(banner.save(QString::fromStdString(dir / "1.png"), "PNG"));
  const QImage read = Cached(QString::fromStdString(dir / "1.png"));
  EXPECT_EQ(read.devicePixelRatio(), 1.0);
  EXPECT_EQ(read.size(), QSize(650, 300));
}

TEST(HighDensity, TwoTimesNames) {
  const std::pair<const char*, const char*> names[] = {{"skin/logo.png", "skin/logo@2x.png"},
                                                       {"skin/anima/1.png", "skin/anima/1@2x.png"},
                                                       {"skin.d/plain", "skin.d/plain@2x"}};
  for (const auto& [name, high] : names) EXPECT_EQ(ui::HighDensityName(name), high) << name;
}

TEST(HighDensity, WindowGrabIsTwiceItsLayoutSizeWithTheTwoTimesLogo) {
  SkinWnd wnd;
  ASSERT_TRUE(wnd.Create(nullptr, "high density", 650, 560));
  wnd.show();
  QWidget* logo = wnd.FindControl("logo");
  ASSERT_NE(logo, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return logo->isVisible() && logo->size() == QSize(80, 80); }));
  const QPixmap grab = wnd.grab();
  EXPECT_EQ(wnd.size(), QSize(650, 560));  // the layout's size, in layout pixels
  EXPECT_EQ(grab.devicePixelRatio(), 2.0);
  EXPECT_EQ(grab.size(), wnd.size() * 2);
  const QRect area(logo->mapTo(&wnd, QPoint(0, 0)) * 2, QSize(160, 160));
  const QImage sharp = grab.toImage().copy(area);

  // The same window with the 1x logo, as a screen without 2x art shows it.
  ui::ImageCache::Instance().Register("skin/logo.png", Member("skin/logo.png"));
  const QImage enlarged = wnd.grab().toImage().copy(area);
  ui::ImageCache::Instance().Remove("skin/logo.png");
  EXPECT_EQ(Cached("skin/logo.png").devicePixelRatio(), 2.0);  // read again at 2x

  // Where the 2x logo is opaque, the grab shows its pixels as they are.
  const QImage art = Member("skin/logo@2x.png").convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(art.size(), QSize(160, 160));
  QImage opaqueArt(art.size(), QImage::Format_ARGB32), opaqueGrab(art.size(), QImage::Format_ARGB32);
  opaqueArt.fill(Qt::black);
  opaqueGrab.fill(Qt::black);
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 160; ++x) {
      if (qAlpha(art.pixel(x, y)) != 255) continue;
      opaqueArt.setPixel(x, y, art.pixel(x, y));
      opaqueGrab.setPixel(x, y, sharp.pixel(x, y));
    }
  }
  EXPECT_EQ(Differing(opaqueArt, opaqueGrab), 0);
  // And it is not the 1x logo enlarged: the edges of the drawing differ.
  const int changed = Differing(sharp, enlarged);
  RecordProperty("logo_pixels_differing_from_enlarged_1x", changed);
  EXPECT_GT(changed, 160 * 160 / 100) << changed;
}

TEST(HighDensity, CarouselPicturesAndFramesAreTwoTimes) {
  SkinWnd wnd;
  ASSERT_TRUE(wnd.Create(nullptr, "carousel", 650, 560));
  CCarousel carousel(&wnd);
  carousel.Start(3, kLangEnglish, 0, 600000);
  const QImage first = Cached("FirstFrame");
  EXPECT_EQ(first.devicePixelRatio(), 2.0);
  EXPECT_EQ(first.size(), QSize(1300, 600));
  const QImage merged = Cached("Merge0102.png");
  EXPECT_EQ(merged.devicePixelRatio(), 2.0);
  EXPECT_EQ(merged.size(), QSize(2600, 600));

  CAnima* anima = carousel.Anima();
  anima->Slide(1, 2);
  ASSERT_TRUE(PumpUntil([&] { return !anima->IsSliding(); }));
  const QImage last = Cached(CAnima::FrameName("Merge0102.png", 25));
  const QImage middle = Cached(CAnima::FrameName("Merge0102.png", 10));
  EXPECT_EQ(last.devicePixelRatio(), 2.0);
  EXPECT_EQ(last.size(), QSize(1300, 600));
  // Frame i starts 26 layout pixels (52 image pixels) further along.
  EXPECT_EQ(last, merged.copy(1300, 0, 1300, 600));
  EXPECT_EQ(middle, merged.copy(520, 0, 1300, 600));
  carousel.Stop();
}
