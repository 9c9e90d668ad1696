// The toolkit over Qt Widgets with the real skin archive.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTimer>
#include <atomic>

#include "UiTestSupport.h"
#include "ui/ComboBox.h"
#include "ui/Container.h"
#include "ui/ControlOps.h"
#include "ui/ImageCache.h"
#include "ui/Markup.h"
#include "ui/OptionButton.h"
#include "ui/ProgressBar.h"
#include "ui/TextControl.h"

namespace {

class Toolkit : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureUiTestEnvironment();
    ASSERT_TRUE(wnd_.Create(nullptr, "test", 600, 400));
  }
  RecordingWnd wnd_;
};

TEST_F(Toolkit, MainSkinBuildsWithIncludesAndTakesItsSize) {
  EXPECT_EQ(wnd_.size(), QSize(650, 560));
  struct Row {
    const char* name;
    const char* kind;
  };
  const Row rows[] = {
      {"closebtn", "ui::SkinButton"}, {"minbtn", "ui::SkinButton"}, {"main_tablayout", "ui::Container"}, {"page_layout", "ui::Container"}, {"set_layout", "ui::Container"}, {"install_file_path_edit", "QLineEdit"}, {"install_progress", "ui::ProgressBar"}, {"install_label", "ui::TextControl"}, {"license_checkbox", "ui::OptionButton"}, {"language_combox", "ui::ComboBox"}, {"license_english", "ui::TextControl"}, {"license_czech", "ui::TextControl"}, {"image_play_option3", "ui::OptionButton"}, {"start_app", "ui::SkinButton"}, {"text_fail_advice", "ui::TextControl"}, {"Downloader_id", "ui::TextControl"}, {"backgroudlayout", "ui::Container"}, {"license_text_layout", "ui::Container"}, {"install_minbtn", "ui::SkinButton"}};
  for (const Row& row : rows) {
    QWidget* control = wnd_.FindControl(row.name);
    ASSERT_NE(control, nullptr) << row.name;
    EXPECT_TRUE(control->inherits(row.kind)) << row.name;
  }
  EXPECT_EQ(wnd_.FindControl("image_play_option4"), nullptr);
  EXPECT_EQ(wnd_.FindControl<ui::ComboBox>("language_combox")->count(), 20);
  EXPECT_EQ(wnd_.FindControl<ui::Container>("main_tablayout")->PageCount(), 3);
  EXPECT_EQ(ui::GetText(wnd_.FindControl("Downloader_id")), "127");
}

TEST_F(Toolkit, TabLayoutsShowOnePage) {
  QWidget* tabs = wnd_.FindControl("main_tablayout");
  wnd_.show();
  EXPECT_TRUE(wnd_.FindControl("install_btn")->isVisible());
  ASSERT_TRUE(ui::SelectItem(tabs, 1));
  EXPECT_EQ(ui::GetCurSel(tabs), 1);
  EXPECT_FALSE(wnd_.FindControl("install_btn")->isVisible());
  EXPECT_TRUE(wnd_.FindControl("install_progress")->isVisible());
  EXPECT_FALSE(ui::SelectItem(tabs, 3));
}

TEST_F(Toolkit, ControlOperationsByName) {
  QWidget* bar = wnd_.FindControl("install_progress");
  ui::SetValue(bar, 140);
  EXPECT_EQ(ui::GetValue(bar), 100);
  ui::SetValue(bar, 42);
  EXPECT_EQ(ui::GetValue(bar), 42);
  QWidget* edit = wnd_.FindControl("install_file_path_edit");
  ui::SetText(edit, "/opt/Vantor");
  EXPECT_EQ(ui::GetText(edit), "/opt/Vantor");
  QWidget* box = wnd_.FindControl("license_checkbox");
  ui::SetSelected(box, false);
  EXPECT_FALSE(ui::IsSelected(box));
  ui::SetVisible(wnd_.FindControl("text_fail_retry"), true);
  EXPECT_TRUE(ui::IsVisible(wnd_.FindControl("text_fail_retry")));
  ui::SetEnabled(wnd_.FindControl("install_btn"), false);
  EXPECT_FALSE(wnd_.FindControl("install_btn")->isEnabled());
  ui::SetFixedHeight(wnd_.FindControl("license_text_layout"), 1345);
  EXPECT_EQ(wnd_.FindControl("license_text_layout")->property("qmHeight").toInt(), 1345);
  EXPECT_TRUE(ui::SetBkImage(wnd_.FindControl("backgroudlayout"), "skin/backgroud_complete.png"));
  EXPECT_EQ(wnd_.FindControl<ui::Container>("backgroudlayout")->BkImage(), "skin/backgroud_complete.png");
}

TEST_F(Toolkit, NotificationsReachTheWindowByName) {
  wnd_.FindControl<ui::SkinButton>("install_btn")->click();
  wnd_.FindControl<ui::OptionButton>("image_play_option2")->click();
  wnd_.FindControl<ui::ComboBox>("language_combox")->activated(11);
  const std::vector<QString> expected = {"click:install_btn:0", "selectchanged:image_play_option2:0",
                                         "click:image_play_option2:0", "itemselect:language_combox:11"};
  EXPECT_EQ(wnd_.notes, expected);
  EXPECT_FALSE(ui::IsSelected(wnd_.FindControl("image_play_option1")));  // one per group
  EXPECT_TRUE(ui::IsSelected(wnd_.FindControl("image_play_option2")));
}

TEST_F(Toolkit, MarkupLinksDeliverLinkNotifications) {
  auto* link = wnd_.FindControl<ui::TextControl>("license_link");
  link->SetText("{f 1}{c #000000}I agree{/c}{/f} {f 1}{a}{u}{c #8372FF}Licence{/c}{/u}{/a}{/f} {a}second{/a}");
  EXPECT_TRUE(link->Html().contains("href=\"link:0\""));
  EXPECT_TRUE(link->Html().contains("href=\"link:1\""));
  link->linkActivated("link:1");
  ASSERT_EQ(wnd_.notes.size(), 1u);
  EXPECT_EQ(wnd_.notes[0], "link:license_link:1");
}

// Hidden texts are laid out late; what the label shows once it is shown or
// measured is always its latest text, links and focus included.
TEST_F(Toolkit, TextsChangedWhileHiddenShowTheirLatestText) {
  auto* hidden = wnd_.FindControl<ui::TextControl>("license_japanese");  // its page is never shown
  auto* link = wnd_.FindControl<ui::TextControl>("license_link");
  link->SetText("first {a}one{/a}");
  link->SetText("{a}second{/a}");
  hidden->SetText("{a}hidden link{/a}");
  EXPECT_TRUE(hidden->HasLink());
  EXPECT_TRUE(hidden->Html().contains("hidden link"));
  EXPECT_GT(hidden->sizeHint().width(), 0);
  wnd_.show();
  ASSERT_TRUE(link->isVisible());
  EXPECT_TRUE(link->text().contains("second"));
  EXPECT_FALSE(link->text().contains("first"));
  EXPECT_EQ(link->focusPolicy(), Qt::StrongFocus);
  link->SetText("no link now");
  EXPECT_FALSE(link->text().contains("href="));  // a shown text changes at once
  EXPECT_EQ(link->focusPolicy(), Qt::NoFocus);
}

TEST_F(Toolkit, TimersAndPostedMessagesRunOnTheWindowThread) {
  wnd_.SetTimer(1920, 10);
  ASSERT_TRUE(PumpUntil([&] { return wnd_.timerIds.size() >= 2; }));
  wnd_.KillTimer(1920);
  EXPECT_FALSE(wnd_.HasTimer(1920));
  std::atomic<int> posted{0};
  std::thread worker([&] {
    for (int msg = 2944; msg <= 2950; ++msg) posted += ui::WindowImplBase::PostMessage(&wnd_, msg, 0, 0) ? 1 : 0;
  });
  worker.join();
  EXPECT_EQ(posted, 7);
  ASSERT_TRUE(PumpUntil([&] { return wnd_.messages.size() == 7; }));
  EXPECT_EQ(wnd_.messages.front(), 2944);
  EXPECT_EQ(wnd_.messages.back(), 2950);
  for (const auto& id : wnd_.messageThreads) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_FALSE(ui::WindowImplBase::PostMessage(nullptr, 2944, 0, 0));
}

TEST(ToolkitAlone, PostToADestroyedWindowFails) {
  EnsureUiTestEnvironment();
  auto* wnd = new RecordingWnd();
  delete wnd;
  EXPECT_FALSE(ui::WindowImplBase::PostMessage(wnd, 2944, 0, 0));
}

TEST(ToolkitAlone, MarkupToRichText) {
  EnsureUiTestEnvironment();
  ui::FontList fonts;
  fonts.Add(0, {"Tahoma", 14});
  fonts.Add(18, {"Microsoft YaHei", 16, true});
  ui::MarkupStyle style{&fonts, 0, Qt::black, QColor("#28bf74")};
  struct Row {
    const char* markup;
    const char* contains;
    const char* plain;
  };
  const Row rows[] = {
      {"{f 18}Failed{/f}", "font-size:16px", "Failed"},
      {"{c #8372FF}x{/c}", "color:#8372ff", "x"},
      {"a{n}b", "<br/>", "a\nb"},
      {"{u}u{/u}", "text-decoration:underline", "u"},
      {"{a}go{/a}", "<a href=\"link:0\"", "go"},
      {"{f 1}text{/c}{/f}", "text", "text"},  // a closing never opened is dropped
      {"%0.f%%", "%0.f%%", "%0.f%%"},
      {"{x} <b>", "{x} &lt;b&gt;", "{x} <b>"},
  };
  for (const Row& row : rows) {
    EXPECT_TRUE(ui::MarkupToHtml(row.markup, style).contains(row.contains)) << row.markup;
    EXPECT_EQ(ui::MarkupToPlain(row.markup), row.plain) << row.markup;
  }
}

TEST(ToolkitAlone, ImageCacheLoadsFromArchiveAndTakesBitmaps) {
  EnsureUiTestEnvironment();
  ui::ImageCache& cache = ui::ImageCache::Instance();
  EXPECT_EQ(cache.Get("skin\\anima\\1.png").size(), QSize(650, 300));
  EXPECT_EQ(cache.Get("skin/gif/bg20.png").size(), QSize(320, 320));
  EXPECT_TRUE(cache.Get("skin/anima/4.png").isNull());
  QImage merged(1300, 300, QImage::Format_ARGB32);
  cache.Register("Merge0102.png", merged);
  EXPECT_EQ(cache.Get("Merge0102.png").size(), QSize(1300, 300));
}

TEST(ToolkitAlone, MissingSkinFailsToCreate) {
  EnsureUiTestEnvironment();
  RecordingWnd wnd("NoSuchFile.xml");
  EXPECT_FALSE(wnd.Create(nullptr, "x", 100, 100));
}

}  // namespace
