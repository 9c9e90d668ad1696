// The main window used with the keyboard only (QTest keys, no mouse) and as
// a screen reader sees it (Qt's accessibility interfaces, in process).
#include <QAccessible>
#include <QTest>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <algorithm>
#include <filesystem>

#include "Common/MessageBoxWnd.h"
#include "Language.h"
#include "WindowTestSupport.h"
#include "ui/ComboBox.h"
#include "ui/ControlOps.h"

namespace fs = std::filesystem;

// Control names readable in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

QString FocusName(const QWidget& window) { return window.focusWidget() ? window.focusWidget()->objectName() : QString(); }

void Key(QWidget& window, Qt::Key key) {
  QWidget* target = window.focusWidget() ? window.focusWidget() : &window;
  QTest::keyClick(target, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
}

// The controls Tab visits once round from the current focus.
std::vector<QString> TabCycle(QWidget& window, Qt::Key key = Qt::Key_Tab) {
  std::vector<QString> names;
  const QString start = FocusName(window);
  for (int i = 0; i < 64; ++i) {
    Key(window, key);
    if (FocusName(window) == start) break;
    names.push_back(FocusName(window));
  }
  return names;
}

int CentreX(const ui::WindowImplBase& w, const char* name) {
  QWidget* c = w.FindControl(name);
  return c->mapTo(&w, c->rect().center()).x();
}

bool InReadingOrder(const ui::WindowImplBase& w, const std::vector<const char*>& row, bool rtl) {
  for (size_t i = 1; i < row.size(); ++i) {
    const int before = CentreX(w, row[i - 1]), after = CentreX(w, row[i]);
    if (rtl ? after >= before : after <= before) return false;
  }
  return true;
}

// The named controls, which share a row, run with the reading direction
// (once the layout has taken the language's direction).
void ExpectReadingOrder(const ui::WindowImplBase& w, const std::vector<const char*>& row, bool rtl) {
  EXPECT_TRUE(WaitFor([&] { return InReadingOrder(w, row, rtl); }, 10000))
      << row.front() << " ... " << row.back() << (rtl ? " (right to left)" : "");
}

// Screen-reader events while a test listens.
struct HeardEvent {
  QAccessible::Event type;
  QString object;
  QString description;
  int progress;
};
std::vector<HeardEvent>* g_heard = nullptr;
const InstallUIMainWnd* g_window = nullptr;

void Hear(QAccessibleEvent* event) {
  if (g_heard == nullptr) return;
  const QAccessible::Event type = event->type();
  if (type != QAccessible::Alert && type != QAccessible::NameChanged) return;
  QAccessibleInterface* iface = event->accessibleInterface();
  QObject* object = event->object();
  g_heard->push_back({type, object ? object->objectName() : QString(),
                      iface ? iface->text(QAccessible::Description) : QString(),
                      g_window ? g_window->InstallProgressValue() : -1});
  if (object != nullptr && qobject_cast<MessageBoxWnd*>(object) != nullptr) g_heard->back().object = "messagebox";
}

// Switches Qt's accessibility on as an assistive technology would, and
// records what it is told.
class ScreenReader {
 public:
  explicit ScreenReader(const InstallUIMainWnd& window) {
    g_heard = &heard;
    g_window = &window;
    QAccessible::installUpdateHandler(Hear);
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
  }
  ~ScreenReader() {
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(false);
    QAccessible::installUpdateHandler(nullptr);
    g_heard = nullptr;
    g_window = nullptr;
  }
  std::vector<HeardEvent> heard;
};

class KeyboardWindowTest : public MainWindowTest {
 protected:
  InstallUIMainWnd& OpenActive(MainWindowOptions options) {
    InstallUIMainWnd& w = Open(std::move(options));
    w.activateWindow();
    WaitFor([&] { return w.isActiveWindow(); }, 10000);
    return w;
  }

  // Setting -> Running -> Finished by keys alone, checking focus and Tab on each page.
  void WalkThePagesByKeyboard(InstallUIMainWnd& w, bool rtl) {
    SCOPED_TRACE(rtl ? "Arabic" : "English");
    EXPECT_EQ(FocusName(w), "install_btn");
    EXPECT_EQ(TabCycle(w), (std::vector<QString>{"license_checkbox", "license_link", "install_setting", "minbtn",
                                                 "closebtn"}));
    std::vector<QString> back = TabCycle(w, Qt::Key_Backtab);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, (std::vector<QString>{"license_checkbox", "license_link", "install_setting", "minbtn", "closebtn"}));
    ExpectReadingOrder(w, {"license_checkbox", "license_link", "install_setting"}, rtl);
    ExpectReadingOrder(w, {"minbtn", "closebtn"}, rtl);

    Key(w, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return MainPage() == 1; }));
    EXPECT_EQ(FocusName(w), "install_minbtn");
    EXPECT_EQ(TabCycle(w), (std::vector<QString>{"install_closebtn", "image_play_option1", "image_play_option2",
                                                 "image_play_option3"}));
    ExpectReadingOrder(w, {"image_play_option1", "image_play_option2", "image_play_option3"}, rtl);

    ASSERT_TRUE(WaitFor([&] { return MainPage() == 0 && SubPage() == 1 && ui::IsVisible(w.FindControl("start_app")); }));
    EXPECT_EQ(FocusName(w), "start_app");
    EXPECT_EQ(TabCycle(w), (std::vector<QString>{"minbtn", "closebtn"}));
  }
};

TEST_F(KeyboardWindowTest, EnterInstallsToFinishedAndStartsTheProductWithFocusOnEachPagesMainButton) {
  ServeSetup();
  auto options = StayOnFinishedPage();
  options.itemOverrides["Gif_duration"] = "0";
  InstallUIMainWnd& w = OpenActive(std::move(options));
  WalkThePagesByKeyboard(w, false);
  ASSERT_EQ(FocusName(w), "start_app");
  Key(w, Qt::Key_Return);
  EXPECT_TRUE(WaitFor([&] { return fs::exists(InstallDir() + "/started.txt"); })) << "the product did not run";
}

TEST_F(KeyboardWindowTest, ArabicMirrorsTheReadingOrderAndTabFollowsIt) {
  ServeSetup();
  InstallUIMainWnd& w = OpenActive(StayOnFinishedPage());
  w.FindControl<ui::ComboBox>("language_combox")->SelectItem(kLangArabic, true);
  ASSERT_TRUE(w.isRightToLeft());
  w.FindControl("install_btn")->setFocus(Qt::TabFocusReason);
  WalkThePagesByKeyboard(w, true);
}

// Escape on the running page asks whether to cancel; the box opens with the
// focus on its first button and is read out as an alert; Escape answers no.
TEST_F(KeyboardWindowTest, EscapeAtRunningAsksToCloseInABoxThatTakesTheFocus) {
  ServeSetup();
  InstallUIMainWnd& w = OpenActive(StayOnFinishedPage());
  ScreenReader reader(w);
  std::vector<int> types;
  QString boxFocus;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<MessageBoxWnd*>(top);
      if (box == nullptr || !box->isVisible() || box->property("answered").toBool()) continue;
      box->setProperty("answered", true);
      types.push_back(box->Type());
      boxFocus = FocusName(*box);
      Key(*box, Qt::Key_Escape);
    }
  });
  answer.start(10);
  Key(w, Qt::Key_Return);
  ASSERT_TRUE(WaitFor([&] { return MainPage() == 1; }));
  Key(w, Qt::Key_Escape);
  ASSERT_EQ(types, std::vector<int>{kMsgCancelInstall});
  EXPECT_EQ(boxFocus, "btn_yes");
  EXPECT_TRUE(w.isVisible());
  bool alerted = false;
  for (const HeardEvent& e : reader.heard) {
    if (e.type == QAccessible::Alert && e.object == "messagebox" && !e.description.isEmpty()) alerted = true;
  }
  EXPECT_TRUE(alerted) << "the box was not announced with its text";
  ASSERT_TRUE(WaitFor([&] { return MainPage() == 0 && SubPage() == 1; }));
}

// Every shown control has a name and its role; hidden pages are invisible;
// the bar has a value; the status is announced sparingly; the install
// button is pressed through its accessibility action.
TEST_F(KeyboardWindowTest, ScreenReadersGetNamesRolesValuesAndTheInstallAction) {
  ServeSetup();
  InstallUIMainWnd& w = OpenActive(StayOnFinishedPage());
  const std::vector<std::pair<const char*, QAccessible::Role>> roles = {
      {"install_btn", QAccessible::Button},
      {"minbtn", QAccessible::Button},
      {"closebtn", QAccessible::Button},
      {"install_setting", QAccessible::Button},
      {"license_checkbox", QAccessible::CheckBox},
      {"license_link", QAccessible::Link},
      {"language_combox", QAccessible::ComboBox},
      {"install_progress", QAccessible::ProgressBar},
      {"install_label", QAccessible::StaticText},
      {"image_play_option2", QAccessible::RadioButton},
  };
  for (const auto& [name, role] : roles) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w.FindControl(name));
    ASSERT_NE(iface, nullptr) << name;
    EXPECT_EQ(iface->role(), role) << name;
    EXPECT_FALSE(iface->text(QAccessible::Name).trimmed().isEmpty()) << name;
  }
  EXPECT_EQ(QAccessible::queryAccessibleInterface(w.FindControl("minbtn"))->text(QAccessible::Name), "Minimize");
  EXPECT_EQ(QAccessible::queryAccessibleInterface(w.FindControl("closebtn"))->text(QAccessible::Name), "Close");
  EXPECT_EQ(QAccessible::queryAccessibleInterface(w.FindControl("image_play_option2"))->text(QAccessible::Name),
            "Slide 2 of 3");
  // Everything Tab can reach on the shown page has a name.
  for (QWidget* c : w.findChildren<QWidget*>()) {
    if (!c->isVisibleTo(&w) || !(c->focusPolicy() & Qt::TabFocus)) continue;
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name).trimmed().isEmpty())
        << c->objectName().toStdString();
  }
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(w.FindControl("install_minbtn"))->state().invisible);
  EXPECT_FALSE(QAccessible::queryAccessibleInterface(w.FindControl("install_btn"))->state().invisible);

  ScreenReader reader(w);
  QAccessibleInterface* install = QAccessible::queryAccessibleInterface(w.FindControl("install_btn"));
  ASSERT_NE(install->actionInterface(), nullptr);
  ASSERT_TRUE(install->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
  install->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  ASSERT_TRUE(WaitFor([&] { return MainPage() == 1; }));
  QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(w.FindControl("install_progress"));
  ASSERT_NE(bar->valueInterface(), nullptr);
  EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 100);
  ASSERT_TRUE(WaitFor([&] { return MainPage() == 0 && SubPage() == 1; }));
  EXPECT_GE(bar->valueInterface()->currentValue().toInt(), 99);

  // The status is heard at most once per 5 points within a stage
  // (download to 84, verification to 90, install), and at each new stage.
  const auto stage = [](int p) { return p <= 84 ? 0 : p <= 90 ? 1
                                                              : 2; };
  std::vector<int> said;
  for (const HeardEvent& e : reader.heard) {
    if (e.type == QAccessible::NameChanged && e.object == "install_label") said.push_back(e.progress);
  }
  ASSERT_GE(said.size(), 2u);
  for (size_t i = 1; i < said.size(); ++i) {
    EXPECT_TRUE(said[i] - said[i - 1] >= 5 || stage(said[i]) != stage(said[i - 1]))
        << said[i - 1] << " then " << said[i];
  }
  EXPECT_EQ(stage(said.back()), 2);
}

}  // namespace
