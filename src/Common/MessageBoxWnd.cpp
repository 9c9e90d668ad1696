#include "Common/MessageBoxWnd.h"

#include "Common/LanguageLook.h"
#include "Language.h"
#include "TestSettings.h"
#include "ui/Accessibility.h"
#include "ui/ControlOps.h"
#include "ui/Markup.h"

namespace {

constexpr const char* kHelpIcon = "skin/message_help.png";
constexpr const char* kExclamationIcon = "skin/message_exclamation.png";

// Keys of "message_page" per type; null means an empty text. secondVisible
// tells whether "btn_no" stays shown.
struct MsgRow {
  const char* describe;
  const char* question;
  const char* yes;
  const char* no;
  const char* icon;
  bool secondVisible;
};

constexpr MsgRow kRows[] = {
    {"ReplaceDesText", "ReplaceQueText", "ReplaceText", "CancelText", kHelpIcon, true},
    {nullptr, nullptr, nullptr, nullptr, nullptr, true},
    {"CancelDesText", "CancelQueText", "YesText", "NoText", kHelpIcon, true},
    {"AppExistDesText", "AppExistQueText", "OkButtonText", nullptr, kHelpIcon, false},
    {"PathErrorDesText", nullptr, "OkButtonText", nullptr, kExclamationIcon, false},
    {nullptr, nullptr, nullptr, nullptr, nullptr, true},
    {"InstallRunTimeOutDesText", "InstallRunTimeOutQueText", "ConfirmText", "CancelText", kExclamationIcon, false},
    {"MD5FailDesText", "MD5FailQueText", "ConfirmText", "CancelText", kExclamationIcon, false},
    {"UrlFailDexText", "UrlFailQueText", "ConfirmText", "CancelText", kExclamationIcon, false},
    {"InternetFailDesText", "InternetFailQueText", "ConfirmText", "CancelText", kExclamationIcon, false},
    {"InternetTimeoutDesText", "InternetTimeoutQueText", "ConfirmText", "CancelText", kExclamationIcon, false},
    {"NoEnoughSpaceDesText", nullptr, "OkButtonText", nullptr, kExclamationIcon, false},
    {"ClickShortcutToLaunchText", nullptr, "ConfirmText", nullptr, kExclamationIcon, false},
    {"NotSupportSystemDesText", nullptr, "OkButtonText", nullptr, kExclamationIcon, false},
    {"AgreeDesText", nullptr, "AgreeInstallText", "NotAgreeText", kExclamationIcon, true},
};

QString TextOf(const std::vector<std::pair<std::string, std::string>>& page, const char* key) {
  if (key == nullptr) return {};
  for (const auto& [name, text] : page) {
    if (name == key) return QString::fromStdString(text);
  }
  return {};
}

bool PostsClear(int type) { return type == kMsgInstallRunTimeout || type == kMsgMd5Fail; }

}  // namespace

MessageBoxWnd::MessageBoxWnd(int type, int language) : type_(type), language_(language) {}

QString MessageBoxWnd::GetSkinFile() const {
  return type_ == kMsgDownloadSlow ? "MessageBox_down.xml" : "MessageBox.xml";
}

int MessageBoxWnd::ShowModal(QWidget* owner) {
  ApplyLanguageLook(this, language_);
  if (!Create(owner, "MSGUIDemo", 452, 190)) return 0;
  return WindowImplBase::ShowModal();
}

void MessageBoxWnd::InitWindow() {
  SetDefaultButtons({"btn_yes"});
  SetEscapeButtons({"closebtn"});
  if (type_ != kMsgDownloadSlow) FillTexts();
  if (IsAutoRun() && !ui::IsVisible(FindControl("btn_no"))) SetTimer(kAutoConfirmTimerId, kAutoConfirmMs);
}

void MessageBoxWnd::showEvent(QShowEvent* event) {
  ui::WindowImplBase::showEvent(event);  // focus on the first button
  // Screen readers read the box out as an alert: its title, then its text.
  setAccessibleName(ui::MarkupToPlain(ui::GetText(FindControl("msg_title"))).simplified());
  const QString text = ui::MarkupToPlain(ui::GetText(FindControl("msg_describe")) + " " +
                                         ui::GetText(FindControl("msg_question")));
  setAccessibleDescription(text.simplified());
  ui::AnnounceAlert(this);
}

void MessageBoxWnd::FillTexts() {
  if (type_ < 0 || type_ >= static_cast<int>(std::size(kRows))) return;
  const MsgRow& row = kRows[type_];
  std::vector<std::pair<std::string, std::string>> page;
  GetLanguagePage("message_page", language_, page);  // a missing file leaves every text empty
  if (row.icon != nullptr) ui::SetBkImage(FindControl("iconimage"), row.icon);
  if (row.yes != nullptr) ui::SetText(FindControl("btn_yes"), TextOf(page, row.yes));
  if (row.no != nullptr) ui::SetText(FindControl("btn_no"), TextOf(page, row.no));
  // The product-running box keeps the skin's description when the file lacks the key.
  const bool keepDescribe = type_ == kMsgAppExist && TextOf(page, row.describe).isEmpty();
  if (row.describe != nullptr && !keepDescribe) ui::SetText(FindControl("msg_describe"), TextOf(page, row.describe));
  ui::SetText(FindControl("msg_question"), TextOf(page, row.question));
  if (!row.secondVisible) ui::SetVisible(FindControl("btn_no"), false);
}

void MessageBoxWnd::PostClearToOwner() {
  auto* owner = qobject_cast<ui::WindowImplBase*>(Owner());
  ui::WindowImplBase::PostMessage(owner, kMsgClearCachedDownload, 0, 0);
}

void MessageBoxWnd::OnClick(const ui::TNotifyUI& msg) {
  if (msg.senderName == "closebtn") {
    if (PostsClear(type_)) PostClearToOwner();
    Close(2);
  } else if (msg.senderName == "minbtn") {
    Minimize();
  } else if (msg.senderName == "btn_yes") {
    if (type_ == kMsgPlain || type_ == kMsgCancelInstall) {
      hide();
      if (Owner() != nullptr) Owner()->hide();
    }
    if (PostsClear(type_)) PostClearToOwner();
    Close(1);
  } else if (msg.senderName == "btn_no") {
    Close(2);
  }
}

void MessageBoxWnd::OnTimer(int id) {
  if (id != kAutoConfirmTimerId) return;
  KillTimer(kAutoConfirmTimerId);
  ui::TNotifyUI click{"click", "btn_yes", FindControl("btn_yes"), 0};
  OnClick(click);
}
