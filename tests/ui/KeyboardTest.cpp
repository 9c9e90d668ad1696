// The toolkit's controls used with the keyboard only: focus, Tab, Enter,
// Space, arrows and Escape on the real main skin.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleHintReturnVariant>
#include <QStyleOption>
#include <QTextFormat>
#include <set>

#include "UiTestSupport.h"
#include "ui/ComboBox.h"
#include "ui/ControlOps.h"
#include "ui/KeyboardFocus.h"
#include "ui/OptionButton.h"

namespace {

// A key pressed and released on a widget, as the keyboard delivers it.
void KeyClick(QWidget* widget, Qt::Key key) {
  const Qt::KeyboardModifiers mods = key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier;
  const QString text = key == Qt::Key_Space ? " " : key == Qt::Key_Return ? "\r"
                                                                          : QString();
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods, text);
  QApplication::sendEvent(widget, &release);
}

// A left click in the middle of a widget, as the window delivers it: the
// focus first (for a control that takes focus on click), then the press.
void MouseClick(QWidget* widget) {
  if (widget->focusPolicy() & Qt::ClickFocus) widget->setFocus(Qt::MouseFocusReason);
  const QPointF local = QRectF(widget->rect()).center();
  const QPointF global = widget->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureUiTestEnvironment();
    ASSERT_TRUE(wnd_.Create(nullptr, "test", 600, 400));
    wnd_.SetDefaultButtons({"install_btn", "start_app"});
    wnd_.SetEscapeButtons({"closebtn", "install_closebtn"});
    wnd_.show();
    wnd_.activateWindow();
    ASSERT_TRUE(PumpUntil([this] { return wnd_.isActiveWindow(); }, 10000));
  }
  void TearDown() override { wnd_.hide(); }

  QWidget* Focused() const { return QApplication::focusWidget(); }
  QString FocusedName() const { return Focused() ? Focused()->objectName() : QString(); }

  // Names of the controls Tab visits, once round, from the current focus.
  std::vector<QString> TabCycle(Qt::Key key) {
    std::vector<QString> names;
    const QString start = FocusedName();
    for (int i = 0; i < 64; ++i) {
      KeyClick(Focused(), key);
      if (FocusedName() == start) break;
      names.push_back(FocusedName());
    }
    return names;
  }

  RecordingWnd wnd_;
};

TEST_F(Keyboard, FocusStartsOnTheMainButtonAndTabReachesEveryShownControl) {
  EXPECT_EQ(FocusedName(), "install_btn");
  const std::vector<QString> forward = TabCycle(Qt::Key_Tab);
  const std::set<QString> reached(forward.begin(), forward.end());
  for (const char* name : {"closebtn", "minbtn", "license_checkbox"}) {
    EXPECT_TRUE(reached.count(name)) << name;
  }
  for (const QString& name : forward) EXPECT_TRUE(wnd_.FindControl(name)->isVisible()) << name.toStdString();
  // Shift+Tab walks the same cycle backwards.
  std::vector<QString> backward = TabCycle(Qt::Key_Backtab);
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(backward, forward);
}

TEST_F(Keyboard, SpaceTogglesTheLicenceBoxAndEnterPressesAFocusedButton) {
  auto* licence = wnd_.FindControl<ui::OptionButton>("license_checkbox");
  const bool before = licence->IsSelected();
  licence->setFocus(Qt::TabFocusReason);
  KeyClick(Focused(), Qt::Key_Space);
  EXPECT_NE(licence->IsSelected(), before);
  KeyClick(Focused(), Qt::Key_Space);
  EXPECT_EQ(licence->IsSelected(), before);
  wnd_.notes.clear();
  wnd_.FindControl("minbtn")->setFocus(Qt::TabFocusReason);
  KeyClick(Focused(), Qt::Key_Return);
  EXPECT_EQ(wnd_.notes, std::vector<QString>{"click:minbtn:0"});
}

TEST_F(Keyboard, EnterPressesTheDefaultButtonWhereFocusIsNotOnAButtonAndEscapeTheCloseButton) {
  wnd_.FindControl("language_combox")->setFocus(Qt::TabFocusReason);
  wnd_.notes.clear();
  KeyClick(Focused(), Qt::Key_Return);
  KeyClick(Focused(), Qt::Key_Escape);
  const std::vector<QString> expected = {"click:install_btn:0", "click:closebtn:0"};
  EXPECT_EQ(wnd_.notes, expected);
}

TEST_F(Keyboard, ArrowsMoveTheLanguageComboOverShownItemsAsAChoice) {
  auto* combo = wnd_.FindControl<ui::ComboBox>("language_combox");
  ASSERT_GE(combo->count(), 3);
  combo->SelectItem(0);
  combo->SetItemVisible(1, false);
  combo->setFocus(Qt::TabFocusReason);
  wnd_.notes.clear();
  KeyClick(Focused(), Qt::Key_Down);
  EXPECT_EQ(combo->GetCurSel(), 2);  // the hidden item is skipped
  KeyClick(Focused(), Qt::Key_Up);
  EXPECT_EQ(combo->GetCurSel(), 0);
  KeyClick(Focused(), Qt::Key_Up);  // stays at the first
  EXPECT_EQ(combo->GetCurSel(), 0);
  const std::vector<QString> expected = {"itemselect:language_combox:2", "itemselect:language_combox:0"};
  EXPECT_EQ(wnd_.notes, expected);
  combo->SetItemVisible(1, true);
}

TEST_F(Keyboard, TheFocusRingShowsForKeyboardUseOnlyNotAfterAMouseClick) {
  QWidget* setting = wnd_.FindControl("install_setting");
  MouseClick(setting);
  ASSERT_TRUE(setting->hasFocus());
  EXPECT_FALSE(ui::ShowsFocusRing(setting));
  KeyClick(Focused(), Qt::Key_Tab);
  EXPECT_NE(Focused(), setting);
  EXPECT_TRUE(ui::ShowsFocusRing(Focused()));
  QWidget* keyed = Focused();
  MouseClick(setting);
  EXPECT_FALSE(ui::ShowsFocusRing(setting));
  EXPECT_FALSE(ui::ShowsFocusRing(keyed));
}

TEST_F(Keyboard, ALinkTakesTabWithTheSkinRingAndEnterOpensIt) {
  QWidget* link = wnd_.FindControl("license_link");
  ui::SetText(link, "I have read the {a}Licence Agreement{/a}");
  wnd_.FindControl("license_checkbox")->setFocus(Qt::TabFocusReason);
  KeyClick(Focused(), Qt::Key_Tab);
  ASSERT_EQ(FocusedName(), "license_link");
  EXPECT_TRUE(ui::ShowsFocusRing(link));
  // No dotted outline of Qt's own around the focused link: the ring replaces it.
  QStyleOption option;
  option.initFrom(link);
  QStyleHintReturnVariant outline;
  link->style()->styleHint(QStyle::SH_TextControl_FocusIndicatorTextCharFormat, &option, link, &outline);
  EXPECT_FALSE(outline.variant.value<QTextFormat>().hasProperty(QTextFormat::OutlinePen));
  // Enter opens the link, both after Tab and when focus came another way,
  // and never presses the window's default button.
  wnd_.notes.clear();
  KeyClick(Focused(), Qt::Key_Return);
  link->clearFocus();
  link->setFocus(Qt::OtherFocusReason);
  KeyClick(Focused(), Qt::Key_Return);
  const std::vector<QString> expected = {"link:license_link:0", "link:license_link:0"};
  EXPECT_EQ(wnd_.notes, expected);
}

}  // namespace
