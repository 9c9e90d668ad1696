#pragma once
// The program's dialog: one of a fixed set of messages in the chosen
// language, with one or two buttons, shown modally over its owner.
#include "ui/WindowImplBase.h"

enum EnumMsgType : int {
  kMsgReplace = 0,
  kMsgPlain = 1,
  kMsgCancelInstall = 2,
  kMsgAppExist = 3,
  kMsgPathError = 4,
  kMsgDownloadSlow = 5,
  kMsgInstallRunTimeout = 6,
  kMsgMd5Fail = 7,
  kMsgUrlFail = 8,
  kMsgInternetFail = 9,
  kMsgInternetTimeout = 10,
  kMsgNoEnoughSpace = 11,
  kMsgClickShortcut = 12,
  kMsgNotSupportSystem = 13,
  kMsgAgreeLicense = 14,
};

// Posted to the owner by the verification boxes: discard the cached download.
inline constexpr int kMsgClearCachedDownload = 2943;
// The unattended-run timer of one-button boxes.
inline constexpr int kAutoConfirmTimerId = 777;
inline constexpr int kAutoConfirmMs = 1000;

class MessageBoxWnd : public ui::WindowImplBase {
  Q_OBJECT
 public:
  MessageBoxWnd(int type, int language);

  QString GetWindowClassName() const override { return "MESSAGEBOX_UI_Frame"; }
  QString GetSkinFile() const override;

  // Creates the box over owner (may be null) and runs it modally. Returns 1
  // for "btn_yes", 2 for "btn_no" or "closebtn", 0 for any other close.
  int ShowModal(QWidget* owner);
  int Type() const { return type_; }

 protected:
  void InitWindow() override;
  void OnClick(const ui::TNotifyUI& msg) override;
  void OnTimer(int id) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FillTexts();
  void PostClearToOwner();

  int type_;
  int language_;
};
