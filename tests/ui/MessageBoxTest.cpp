// The message box: texts, icons, buttons, results and its messages to the owner.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "Common/MessageBoxWnd.h"
#include "Language.h"
#include "TestSettings.h"
#include "UiTestSupport.h"
#include "support/ScopedTestProcess.h"
#include "support/TempDir.h"
#include "ui/Container.h"
#include "ui/ControlOps.h"
#include "ui/SkinButton.h"

namespace {

QString Text(int language, const char* key) {
  return key ? QString::fromStdString(GetLanguageText("message_page", key, language)) : QString();
}

// Opens a box of type over owner, lets act run once it shows, returns its result.
int RunBox(int type, ui::WindowImplBase* owner, const std::function<void(MessageBoxWnd&)>& act, int language = 0) {
  MessageBoxWnd box(type, language);
  QTimer::singleShot(0, &box, [&] { act(box); });
  return box.ShowModal(owner);
}

void ClickControl(MessageBoxWnd& box, const char* name) { box.FindControl<ui::SkinButton>(name)->click(); }

class MessageBox : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureUiTestEnvironment();
    ASSERT_TRUE(owner_.Create(nullptr, "owner", 600, 400));
    owner_.show();
  }
  RecordingWnd owner_;
};

TEST_F(MessageBox, EachTypeShowsItsTextsIconAndButtons) {
  struct Row {
    int type;
    const char* describe;
    const char* yes;
    const char* no;
    bool noVisible;
    const char* icon;
  };
  const Row rows[] = {
      {0, "ReplaceDesText", "ReplaceText", "CancelText", true, "skin/message_help.png"},
      {2, "CancelDesText", "YesText", "NoText", true, "skin/message_help.png"},
      {3, "AppExistDesText", "OkButtonText", nullptr, false, "skin/message_help.png"},
      {4, "PathErrorDesText", "OkButtonText", nullptr, false, "skin/message_exclamation.png"},
      {6, "InstallRunTimeOutDesText", "ConfirmText", "CancelText", false, "skin/message_exclamation.png"},
      {7, "MD5FailDesText", "ConfirmText", "CancelText", false, "skin/message_exclamation.png"},
      {8, "UrlFailDexText", "ConfirmText", "CancelText", false, "skin/message_exclamation.png"},
      {9, "InternetFailDesText", "ConfirmText", "CancelText", false, "skin/message_exclamation.png"},
      {10, "InternetTimeoutDesText", "ConfirmText", "CancelText", false, "skin/message_exclamation.png"},
      {11, "NoEnoughSpaceDesText", "OkButtonText", nullptr, false, "skin/message_exclamation.png"},
      {12, "ClickShortcutToLaunchText", "ConfirmText", nullptr, false, "skin/message_exclamation.png"},
      {13, "NotSupportSystemDesText", "OkButtonText", nullptr, false, "skin/message_exclamation.png"},
      {14, "AgreeDesText", "AgreeInstallText", "NotAgreeText", true, "skin/message_exclamation.png"},
  };
  for (const Row& row : rows) {
    for (int language : {kLangEnglish, kLangJapanese}) {
      RunBox(
          row.type, &owner_, [&](MessageBoxWnd& box) {
            EXPECT_EQ(box.size(), QSize(500, 190));
            EXPECT_EQ(ui::GetText(box.FindControl("msg_describe")), Text(language, row.describe)) << row.type;
            EXPECT_EQ(ui::GetText(box.FindControl("btn_yes")), Text(language, row.yes)) << row.type;
            if (row.no) {
              EXPECT_EQ(ui::GetText(box.FindControl("btn_no")), Text(language, row.no)) << row.type;
            }
            EXPECT_EQ(ui::IsVisible(box.FindControl("btn_no")), row.noVisible) << row.type;
            EXPECT_EQ(box.FindControl<ui::Container>("iconimage")->BkImage(), row.icon) << row.type;
            EXPECT_FALSE(ui::IsVisible(box.FindControl("minbtn")));
            box.Close(0);
          },
          language);
    }
  }
}

TEST_F(MessageBox, ButtonsGiveTheirResults) {
  struct Row {
    int type;
    const char* button;
    int result;
    int posts2943;
    bool hidesOwner;
  };
  const Row rows[] = {
      {2, "btn_yes", 1, 0, true},
      {2, "btn_no", 2, 0, false},
      {14, "btn_no", 2, 0, false},
      {14, "btn_yes", 1, 0, false},
      {7, "closebtn", 2, 1, false},
      {7, "btn_yes", 1, 1, false},
      {6, "closebtn", 2, 1, false},
      {8, "closebtn", 2, 0, false},
      {3, "btn_yes", 1, 0, false},
  };
  for (const Row& row : rows) {
    owner_.show();
    owner_.messages.clear();
    bool ownerDisabled = false;
    const int result = RunBox(row.type, &owner_, [&](MessageBoxWnd& box) {
      ownerDisabled = !owner_.isEnabled();
      ClickControl(box, row.button);
    });
    EXPECT_EQ(result, row.result) << row.type << row.button;
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(owner_.isEnabled());
    EXPECT_EQ(owner_.isHidden(), row.hidesOwner) << row.type;
    PumpUntil([&] { return static_cast<int>(owner_.messages.size()) >= row.posts2943; });
    EXPECT_EQ(static_cast<int>(owner_.messages.size()), row.posts2943) << row.type << row.button;
    if (row.posts2943) {
      EXPECT_EQ(owner_.messages[0], kMsgClearCachedDownload);
    }
  }
  EXPECT_EQ(RunBox(2, &owner_, [](MessageBoxWnd& box) { box.close(); }), 0);
}

TEST_F(MessageBox, OwnerTimersRunWhileTheBoxIsOpen) {
  owner_.SetTimer(1921, 20);
  RunBox(2, &owner_, [&](MessageBoxWnd& box) {
    PumpUntil([&] { return owner_.timerIds.size() >= 3; });
    box.Close(2);
  });
  EXPECT_GE(owner_.timerIds.size(), 3u);
  owner_.KillTimer(1921);
}

TEST_F(MessageBox, AutoRunConfirmsOneButtonBoxesOnly) {
  TempDir dir;
  dir.Write("qm_downloader.cfg", "[Settings]\nAutoRun=1\n");
  ScopedTestProcess process;
  process.SettingsFile(dir / "qm_downloader.cfg");
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(RunBox(7, &owner_, [](MessageBoxWnd&) {}), 1);
  EXPECT_GE(clock.elapsed(), 900);
  EXPECT_LT(clock.elapsed(), 120000);
  bool stillOpen = false;
  EXPECT_EQ(RunBox(14, &owner_, [&](MessageBoxWnd& box) {
              QTimer::singleShot(1500, &box, [&] {
                stillOpen = box.isVisible();
                box.Close(2);
              });
            }),
            2);
  EXPECT_TRUE(stillOpen);
}

TEST_F(MessageBox, DownloadBoxUsesItsOwnSkin) {
  RunBox(5, &owner_, [](MessageBoxWnd& box) {
    EXPECT_EQ(box.size(), QSize(452, 190));
    EXPECT_FALSE(ui::GetText(box.FindControl("msg_describe")).isEmpty());
    box.Close(0);
  });
}

}  // namespace
