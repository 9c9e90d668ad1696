// The carousel of the running page: pictures and captions, merged pairs,
// slides driven by a timer, the dots and timer 2000, and the downloaded
// pictures taking over on message 2952.
#include <gtest/gtest.h>

#include <signal.h>

#include <array>
#include <atomic>

#include <QBuffer>
#include <QElapsedTimer>
#include <QPainter>

#include "Common/CAnima.h"
#include "Common/CBannerThread.h"
#include "Common/CCarousel.h"
#include "Common/LanguageTexts.h"
#include "LanguageTables.h"
#include "UiTestSupport.h"
#include "platform/ThreadStart.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "ui/Container.h"
#include "ui/ControlOps.h"
#include "ui/ImageCache.h"
#include "ui/OptionButton.h"

namespace {

// The calls the main window makes: timer 2000 and the dots to the carousel,
// message 2952 to the downloaded pictures.
class CarouselWnd : public RecordingWnd {
 public:
  CarouselWnd() : carousel(this), banners(this, FastSettings()) {}

  static BannerFetchSettings FastSettings() {
    BannerFetchSettings settings;
    settings.retryPauseMs = 10;
    settings.timings.networkAlive = [] { return true; };
    settings.timings.probeRetryPauseMs = 10;
    settings.timings.retryPauseMs = 10;
    settings.timings.noProgressMs = 1500;  // a failing picture gives up sooner
    return settings;
  }

  CCarousel carousel;
  CBannerThread banners;
  std::string workDir;
  bool bannerReady = false;
  std::vector<std::pair<int, qint64>> handledAt;  // message, ms since the slide started
  QElapsedTimer slideClock;

 protected:
  void OnSelectChanged(const ui::TNotifyUI& msg) override { carousel.OnSelectChanged(msg); }
  void OnTimer(int id) override {
    RecordingWnd::OnTimer(id);
    if (id == CCarousel::kTimerId) carousel.OnTimer();
  }
  long HandleCustomMessage(int msg, std::intptr_t w, std::intptr_t l, bool& handled) override {
    handledAt.emplace_back(msg, slideClock.isValid() ? slideClock.elapsed() : -1);
    if (msg == CBannerThread::kMsgBannerReady) {
      bannerReady = true;
      carousel.UseDownloadedPictures(QString::fromStdString(workDir + "/"),
                                     QString::fromStdString(banners.FirstBannerExtension()));
    }
    return RecordingWnd::HandleCustomMessage(msg, w, l, handled);
  }
};

QImage Solid(QColor colour) {
  QImage image(CAnima::kPictureWidth, CAnima::kPictureHeight, QImage::Format_ARGB32);
  image.fill(colour);
  return image;
}

std::string PngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

QImage Cached(const QString& name) { return ui::ImageCache::Instance().Get(name); }

// Serves a banner list of three pictures in the given colours, the one at
// failingSort (1-3, 0 for none) answering 404; returns the list's address.
std::string ServeBanners(TestHttpServer& server, const std::array<QColor, 3>& colours, int failingSort = 0) {
  ServeOptions failing;
  failing.errorStatus = 404;
  failing.errorBody = "gone";
  std::string list = "[";
  for (int k = 1; k <= 3; ++k) {
    const std::string picture = "/b/" + std::to_string(k) + ".png";
    server.ServeBytes(picture, PngBytes(Solid(colours[k - 1])), k == failingSort ? failing : ServeOptions{});
    list += std::string(k > 1 ? "," : "") + R"({"banner_url":")" + server.Url(picture) +
            R"(","jump_url":"https://x/","prompt":"p","sort":)" + std::to_string(k) + "}";
  }
  server.ServeBytes("/api/v1/banners", list + "]");
  return server.Url("/api/v1/banners");
}

// The colour in the middle of the picture (away from the captions).
QRgb Middle(const QImage& image) { return image.pixel(image.width() / 2, 250); }

class Carousel : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureUiTestEnvironment();
    ASSERT_TRUE(wnd_.Create(nullptr, "carousel", 650, 560));
    ui::SelectItem(wnd_.FindControl("main_tablayout"), 1);
    wnd_.show();
    ApplyLanguageTexts(&wnd_, kLangEnglish, 61, 10.0f, "1M");
  }

  std::vector<QString> RunSlide(int from, int to) {
    std::vector<QString> frames;
    CAnima* anima = wnd_.carousel.Anima();
    QObject::connect(anima, &CAnima::FramePainted, &wnd_, [&](const QString& name) { frames.push_back(name); });
    anima->Slide(from, to);
    EXPECT_TRUE(PumpUntil([&] { return !anima->IsSliding(); }));
    QObject::disconnect(anima, &CAnima::FramePainted, &wnd_, nullptr);
    return frames;
  }

  QString Shown() const { return wnd_.FindControl<ui::Container>("image_play")->BkImage(); }

  CarouselWnd wnd_;
};

}  // namespace

TEST_F(Carousel, BuiltInPicturesMergeEveryPairWithCaptions) {
  EXPECT_EQ(CCarousel::CountBuiltInPictures(), 3);
  LogCapture log;
  wnd_.carousel.Start(3, kLangEnglish, 0, 600000);
  CAnima* anima = wnd_.carousel.Anima();
  EXPECT_EQ(anima->MergedCount(), 3);
  for (const char* name : {"Merge0102.png", "Merge0103.png", "Merge0203.png"}) {
    EXPECT_EQ(Cached(name).size(), QSize(1300, 300)) << name;
  }
  EXPECT_TRUE(Cached("Merge0104.png").isNull());
  EXPECT_EQ(Shown(), "FirstFrame");
  EXPECT_TRUE(ui::IsSelected(wnd_.FindControl("image_play_option1")));
  EXPECT_TRUE(wnd_.HasTimer(CCarousel::kTimerId));
  EXPECT_NE(log.Text().find(" AnimaInit: , "), std::string::npos);
  EXPECT_NE(log.Text().find(" AnimaInit ok: 3, 3"), std::string::npos) << log.Text();

  ASSERT_GE(anima->Captions().size(), 3);
  EXPECT_EQ(anima->Captions()[0], "Remove watermarks from photos{n}Clean results in a few clicks");
  EXPECT_TRUE(anima->ExtraCaptions()[0].isEmpty());
  // The caption is drawn in dark grey on a copy; the skin's picture stays as it was.
  const QImage plain = Cached("skin/anima/1.png").convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QImage first = Cached("FirstFrame");
  EXPECT_NE(first.copy(30, 40, 590, 100), plain.copy(30, 40, 590, 100));
  EXPECT_EQ(first.copy(0, 200, 650, 100), plain.copy(0, 200, 650, 100));

  // Japanese captions, white for product family 10.
  ApplyLanguageTexts(&wnd_, kLangJapanese, 61, 10.0f, "1M");
  wnd_.carousel.Start(3, kLangJapanese, 10, 600000);
  EXPECT_EQ(wnd_.carousel.Anima()->Captions()[0].left(4), QString::fromUtf8("写真の透"));
  EXPECT_NE(Cached("FirstFrame").copy(30, 40, 590, 100), first.copy(30, 40, 590, 100));
  wnd_.carousel.Stop();
  EXPECT_FALSE(wnd_.HasTimer(CCarousel::kTimerId));
}

TEST_F(Carousel, SlideFromThreeToOnePaintsMergeFramesTwentyFiveDownToOne) {
  wnd_.carousel.Start(3, kLangEnglish, 0, 600000);
  const std::vector<QString> frames = RunSlide(3, 1);
  std::vector<QString> expected;
  for (int i = 25; i >= 1; --i) expected.push_back(QString::asprintf("Merge0103.png%02d", i));
  expected.push_back("Merge0103.png00");  // ends on picture 1 itself
  EXPECT_EQ(frames, expected);
  EXPECT_EQ(Shown(), "Merge0103.png00");
  const QImage merged = Cached("Merge0103.png");
  EXPECT_EQ(Cached("Merge0103.png00"), merged.copy(0, 0, 650, 300));
  EXPECT_EQ(Cached("Merge0103.png25"), merged.copy(650, 0, 650, 300));
  EXPECT_EQ(Cached("Merge0103.png10"), merged.copy(260, 0, 650, 300));

  // A frame is a view of the merged picture: its pixels are the merged
  // picture's own, 26 image pixels further right for every frame.
  const QImage frame10 = Cached("Merge0103.png10");
  EXPECT_EQ(frame10.constBits(), merged.constBits() + 260 * 4);
  EXPECT_EQ(frame10.bytesPerLine(), merged.bytesPerLine());

  // Forward reuses the same frames and ends on the right picture.
  const std::vector<QString> forward = RunSlide(1, 3);
  ASSERT_EQ(forward.size(), 25u);
  EXPECT_EQ(forward.front(), "Merge0103.png01");
  EXPECT_EQ(forward.back(), "Merge0103.png25");

  // Nothing to play: same picture, a number outside the pictures.
  for (const auto& [from, to] : {std::pair{2, 2}, std::pair{0, 1}, std::pair{1, 4}}) {
    EXPECT_TRUE(RunSlide(from, to).empty()) << from << "->" << to;
  }
}

TEST_F(Carousel, WindowAnswersMessagesBetweenFrames) {
  wnd_.carousel.Start(3, kLangEnglish, 0, 600000);
  CAnima* anima = wnd_.carousel.Anima();
  constexpr int kPostAfterFrame = 5;
  int frames = 0;
  int framesAtAnswer = 25;
  // A message posted from another thread in the middle of the slide.
  QObject::connect(anima, &CAnima::FramePainted, &wnd_, [&] {
    ++frames;
    if (framesAtAnswer == 25 && !wnd_.handledAt.empty()) framesAtAnswer = frames - 1;
    if (frames != kPostAfterFrame) return;
    wnd_.slideClock.start();
    std::thread([&] { ui::WindowImplBase::PostMessage(&wnd_, 4242); }).join();
  });
  wnd_.handledAt.clear();
  anima->Slide(1, 2);
  ASSERT_TRUE(PumpUntil([&] { return !anima->IsSliding(); }));
  EXPECT_EQ(frames, 25);
  ASSERT_EQ(wnd_.handledAt.size(), 1u);
  const qint64 answeredMs = wnd_.handledAt.front().second;
  // The event loop ran between frames: the message did not wait for the end
  // of the slide (a figure, not a limit: a loaded machine only takes longer).
  EXPECT_LT(framesAtAnswer, 25);
  RecordProperty("message_answered_after_ms", static_cast<int>(answeredMs));
  std::printf("message posted after frame %d answered %lld ms later, before frame %d\n", kPostAfterFrame,
              static_cast<long long>(answeredMs), framesAtAnswer + 1);
}

TEST_F(Carousel, TimerAndDotsMoveBetweenPictures) {
  wnd_.carousel.Start(3, kLangEnglish, 0, 300);
  // Each tick selects the next dot and slides there; after the last, the first.
  ASSERT_TRUE(PumpUntil([&] { return wnd_.carousel.CurrentSlide() == 2; }));
  EXPECT_TRUE(ui::IsSelected(wnd_.FindControl("image_play_option2")));
  ASSERT_TRUE(PumpUntil([&] { return wnd_.carousel.CurrentSlide() == 3; }));
  ASSERT_TRUE(PumpUntil([&] { return wnd_.carousel.CurrentSlide() == 1; }));
  wnd_.carousel.Stop();

  // A click on a dot restarts the timer and slides from the current picture.
  wnd_.carousel.Start(3, kLangEnglish, 0, 600000);
  std::vector<QString> frames;
  QObject::connect(wnd_.carousel.Anima(), &CAnima::FramePainted, &wnd_, [&](const QString& n) { frames.push_back(n); });
  auto* dot3 = wnd_.FindControl<ui::OptionButton>("image_play_option3");
  dot3->click();  // as a user clicks it
  EXPECT_EQ(wnd_.carousel.CurrentSlide(), 3);
  ASSERT_TRUE(PumpUntil([&] { return !wnd_.carousel.Anima()->IsSliding(); }));
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back(), "Merge0103.png25");
  EXPECT_TRUE(wnd_.HasTimer(CCarousel::kTimerId));

  EXPECT_FALSE(wnd_.carousel.OnSelectChanged({"selectchanged", "image_play_option11", nullptr, 0}));
  EXPECT_FALSE(wnd_.carousel.OnSelectChanged({"selectchanged", "language_combox", nullptr, 0}));
  EXPECT_EQ(wnd_.carousel.CurrentSlide(), 3);

  // One picture: no timer.
  wnd_.carousel.Start(1, kLangEnglish, 0, 300);
  EXPECT_FALSE(wnd_.HasTimer(CCarousel::kTimerId));
}

TEST_F(Carousel, DownloadedPicturesFallBackPerPositionAndSortFourIsNotShown) {
  TempDir work;
  const QColor colours[] = {Qt::white, Qt::red, Qt::green, Qt::blue, Qt::magenta};
  for (int k : {1, 3, 4}) ASSERT_TRUE(Solid(colours[k]).save(QString::fromStdString(work / (std::to_string(k) + ".png"))));
  wnd_.carousel.Start(3, kLangEnglish, 0, 600000);
  const std::vector<QString> builtInFrames = RunSlide(1, 2);  // frames of the built-in pair cached
  ASSERT_FALSE(builtInFrames.empty());
  const QImage builtIn2 = Cached("skin/anima/2.png").convertToFormat(QImage::Format_ARGB32_Premultiplied);

  LogCapture log;
  wnd_.carousel.UseDownloadedPictures(QString::fromStdString(work.path() + "/"), ".png");
  EXPECT_NE(log.Text().find(" AnimaInit, use default: 2"), std::string::npos) << log.Text();
  EXPECT_EQ(wnd_.carousel.Anima()->MergedCount(), 3);
  EXPECT_TRUE(wnd_.carousel.Anima()->Captions().isEmpty());
  EXPECT_EQ(Middle(Cached("FirstFrame")), QColor(Qt::red).rgb());
  const QImage m12 = Cached("Merge0102.png");
  EXPECT_EQ(Middle(m12.copy(650, 0, 650, 300)), Middle(builtIn2));  // position 2 keeps its built-in picture
  EXPECT_EQ(Middle(Cached("Merge0203.png").copy(650, 0, 650, 300)), QColor(Qt::blue).rgb());
  // Sort 4 has no position among 3 pictures.
  for (const char* name : {"Merge0102.png", "Merge0103.png", "Merge0203.png"}) {
    const QImage merged = Cached(name);
    for (int x = 5; x < merged.width(); x += 50) EXPECT_NE(merged.pixel(x, 250), QColor(Qt::magenta).rgb()) << name;
  }
  // Slides show the new pictures, not frames cached from the built-in ones.
  RunSlide(2, 1);
  EXPECT_EQ(Middle(Cached(Shown())), QColor(Qt::red).rgb());
}

// A downloaded picture smaller than the carousel is drawn at its own size,
// not stretched over the whole picture.
TEST_F(Carousel, DownloadedPicturesAreDrawnAtTheirOwnSize) {
  TempDir work;
  QImage small(200, 100, QImage::Format_ARGB32);
  small.fill(Qt::red);
  for (int k = 1; k <= 3; ++k) ASSERT_TRUE(small.save(QString::fromStdString(work / (std::to_string(k) + ".png"))));
  wnd_.carousel.Start(3, kLangEnglish, 0, 600000);
  wnd_.carousel.UseDownloadedPictures(QString::fromStdString(work.path() + "/"), ".png");
  const QImage first = Cached("FirstFrame");
  ASSERT_EQ(first.size(), QSize(CAnima::kPictureWidth, CAnima::kPictureHeight));
  EXPECT_EQ(first.pixel(100, 50), QColor(Qt::red).rgb());
  EXPECT_EQ(first.pixel(199, 99), QColor(Qt::red).rgb());
  EXPECT_EQ(first.pixel(400, 250), QColor(Qt::white).rgb()) << "the picture was stretched";
  EXPECT_EQ(first.pixel(100, 150), QColor(Qt::white).rgb()) << "the picture was stretched";
}

TEST_F(Carousel, BannerThreadHandsDownloadedPicturesToTheWindow) {
  TestHttpServer server;
  TempDir work;
  wnd_.workDir = work.path();
  const std::string list = ServeBanners(server, {Qt::cyan, Qt::yellow, Qt::darkGreen});
  wnd_.carousel.Start(3, kLangEnglish, 0, 600000);
  ASSERT_TRUE(wnd_.banners.StartWith(list, work.path()));
  ASSERT_TRUE(PumpUntil([&] { return wnd_.bannerReady; }));
  wnd_.banners.Join();
  EXPECT_EQ(wnd_.banners.Banners().size(), 3u);
  EXPECT_EQ(wnd_.banners.FirstBannerExtension(), ".png");
  EXPECT_EQ(Middle(Cached("FirstFrame")), QColor(Qt::cyan).rgb());
  RunSlide(1, 3);
  EXPECT_EQ(Middle(Cached(Shown())), QColor(Qt::darkGreen).rgb());
}

TEST_F(Carousel, SecondPictureFailingKeepsTheBuiltInPictures) {
  TestHttpServer server;
  TempDir work;
  wnd_.workDir = work.path();
  const std::string list = ServeBanners(server, {Qt::cyan, Qt::cyan, Qt::cyan}, 2);
  wnd_.carousel.Start(3, kLangEnglish, 0, 600000);
  const QImage builtInFirst = Cached("FirstFrame");
  ASSERT_TRUE(wnd_.banners.StartWith(list, work.path()));
  ASSERT_TRUE(PumpUntil([&] { return !wnd_.banners.Running(); }));
  wnd_.banners.Join();
  QApplication::processEvents();
  EXPECT_EQ(wnd_.banners.LastResult(), 2);
  EXPECT_FALSE(wnd_.bannerReady);
  for (const auto& [msg, at] : wnd_.handledAt) EXPECT_NE(msg, CBannerThread::kMsgBannerReady);
  EXPECT_EQ(Cached("FirstFrame"), builtInFirst);
}

namespace {

// Records the alternate signal stack of the thread that loads the pictures.
class StackProbingBannerThread : public CBannerThread {
 public:
  using CBannerThread::CBannerThread;
  bool LoadBannerPicture(const std::string& path) override {
    stack_t stack{};
    if (sigaltstack(nullptr, &stack) == 0 && (stack.ss_flags & SS_DISABLE) == 0) stackBytes = stack.ss_size;
    return CBannerThread::LoadBannerPicture(path);
  }
  std::atomic<std::size_t> stackBytes{0};
};

}  // namespace

// A stack overflow on the banner thread still leaves a dump: the thread has
// its own alternate signal stack.
TEST_F(Carousel, BannerThreadRunsWithItsOwnSignalStack) {
  TestHttpServer server;
  TempDir work;
  const std::string list = ServeBanners(server, {Qt::cyan, Qt::yellow, Qt::darkGreen});
  StackProbingBannerThread banners(&wnd_, CarouselWnd::FastSettings());
  ASSERT_TRUE(banners.StartWith(list, work.path()));
  ASSERT_TRUE(PumpUntil([&] { return !banners.Running(); }));
  banners.Join();
  EXPECT_EQ(banners.LastResult(), 3);
  EXPECT_EQ(banners.stackBytes.load(), platform::ThreadSignalStack::kBytes);
}

// GTK's settings ask for no animations: the carousel stays on its picture,
// and a chosen dot shows its picture at once, without a slide.
TEST_F(Carousel, ReducedMotionKeepsThePictureStillUntilADotIsChosen) {
  TempDir config;
  config.Write("gtk-3.0/settings.ini", "[Settings]\ngtk-enable-animations=false\n");
  ScopedEnv home("XDG_CONFIG_HOME", config.path());
  ScopedEnv factor("QT_ANIMATION_DURATION_FACTOR");
  wnd_.carousel.Start(3, kLangEnglish, 0, 300);
  EXPECT_FALSE(wnd_.HasTimer(CCarousel::kTimerId));
  EXPECT_EQ(Shown(), "FirstFrame");

  std::vector<QString> frames;
  QObject::connect(wnd_.carousel.Anima(), &CAnima::FramePainted, &wnd_, [&](const QString& n) { frames.push_back(n); });
  wnd_.FindControl<ui::OptionButton>("image_play_option3")->click();
  EXPECT_EQ(wnd_.carousel.CurrentSlide(), 3);
  EXPECT_FALSE(wnd_.carousel.Anima()->IsSliding());
  EXPECT_EQ(frames, std::vector<QString>{"Merge0103.png25"});
  EXPECT_EQ(Shown(), "Merge0103.png25");
  wnd_.FindControl<ui::OptionButton>("image_play_option1")->click();
  EXPECT_EQ(frames.back(), "Merge0103.png00");
  EXPECT_EQ(frames.size(), 2u);
  EXPECT_FALSE(wnd_.HasTimer(CCarousel::kTimerId));  // nothing will move it on
}
