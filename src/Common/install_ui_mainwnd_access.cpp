// The main window for keyboard and screen-reader users: names of controls
// whose text sits elsewhere, progress announcements, and the panel below the
// header leaving the Tab order while it is closed.
#include <QResizeEvent>

#include "Common/install_ui_mainwnd.h"
#include "ui/ControlOps.h"
#include "ui/Markup.h"

namespace {

constexpr int kMaxDots = 10;
constexpr int kPanelClosedHeight = 360;  // the window's height with the panel closed

QString Plain(const QWidget* control) { return ui::MarkupToPlain(ui::GetText(control)).simplified(); }

// The progress stages as a close reports them: download, verification, install.
int ProgressStage(int percent) { return percent <= 84 ? 0 : percent <= 90 ? 1
                                                                          : 2; }

}  // namespace

void InstallUIMainWnd::NameControlsForScreenReaders() {
  // Controls named by the text beside them, in the current language.
  if (languageCombo_ != nullptr) languageCombo_->setAccessibleName(Plain(selectLanguageText_));
  if (pathEdit_ != nullptr) pathEdit_->setAccessibleName(Plain(installPathText_));
  if (licenseCheck_ != nullptr) licenseCheck_->setAccessibleName(Plain(licenseLink_));
  if (progressBar_ != nullptr) {
    // The status text without its number: "Installing, please wait...".
    const QString heading = ui::MarkupToPlain(formats_.progress).section('%', 0, 0).simplified();
    progressBar_->setAccessibleName(heading.isEmpty() ? QStringLiteral("Progress") : heading);
  }
  // The title bar's close button is a picture: the language's "Close" of the running page.
  if (closeBtn_ != nullptr && !Plain(installCloseBtn_).isEmpty()) closeBtn_->setAccessibleName(Plain(installCloseBtn_));
  // The carousel dots are pictures only; the language files have no text for them.
  int count = 0;
  while (count < kMaxDots && FindControl(QString("image_play_option%1").arg(count + 1)) != nullptr) ++count;
  for (int k = 1; k <= count; ++k) {
    FindControl(QString("image_play_option%1").arg(k))->setAccessibleName(QString("Slide %1 of %2").arg(k).arg(count));
  }
}

// The status label carries its own accessible name, updated only here: a
// label without one would tell screen readers of every change of its text.
// Setting the name is the announcement.
void InstallUIMainWnd::AnnounceProgress(int percent) {
  if (progressLabel_ == nullptr || !progressAnnounce_.Take(percent, ProgressStage(percent))) return;
  const QString text = ui::MarkupToPlain(FormatWithDouble(formats_.progress, static_cast<double>(percent))).simplified();
  progressLabel_->setAccessibleName(text);
}

void InstallUIMainWnd::resizeEvent(QResizeEvent* event) {
  ui::WindowImplBase::resizeEvent(event);
  // Closed, the panel lies below the window's edge: Tab must not reach it.
  if (setLayout_ != nullptr) setLayout_->setVisible(event->size().height() > kPanelClosedHeight);
}
