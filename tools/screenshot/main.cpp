// Renders a window of the embedded skin to PNG under the offscreen platform:
//   qm-screenshot --window main --page setting|license|running|finished|failed --lang N --out file.png
//   qm-screenshot --window msgbox --type T --lang N --out file.png
//   qm-screenshot --window trans --out file.png
//   qm-screenshot --window carousel [--downloaded] --lang N --out file.png
//   qm-screenshot --window waiting --out file.png
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "Carousel.h"
#include "Common/LanguageTexts.h"
#include "Common/MessageBoxWnd.h"
#include "Language.h"
#include "platform/SkinResourceTable.h"
#include "ui/ComboBox.h"
#include "ui/ControlOps.h"
#include "ui/WindowImplBase.h"

namespace {

class SkinWnd : public ui::WindowImplBase {
 public:
  explicit SkinWnd(QString skin) : skin_(std::move(skin)) {}
  QString GetWindowClassName() const override { return "QM_UI_Frame"; }
  QString GetSkinFile() const override { return skin_; }

 private:
  QString skin_;
};

bool Save(QWidget& window, const QString& out) {
  window.show();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  return window.grab().save(out, "PNG");
}

// Puts the main window into one of its states as the install flow would.
void ShowPage(SkinWnd& wnd, const QString& page, int language) {
  const LanguageFormats formats = ApplyLanguageTexts(&wnd, language, 61, 120.5f, "2.3M");
  wnd.FindControl<ui::ComboBox>("language_combox")->SelectItem(language);
  ui::SetText(wnd.FindControl("install_file_path_edit"), "/opt/Vantor Mark Eraser");
  const bool panel = page == "setting" || page == "license";
  ui::SelectItem(wnd.FindControl("set_layout"), page == "license" ? 0 : 1);
  wnd.ResizeClient(650, panel ? 560 : 360);
  if (page == "running") {
    ui::SelectItem(wnd.FindControl("main_tablayout"), 1);
    ui::SetBkImage(wnd.FindControl("backgroudlayout"), "skin/backgroud_complete.png");
    ui::SetValue(wnd.FindControl("install_progress"), 45);
    ui::SetText(wnd.FindControl("install_label"), FormatWithDouble(formats.progress, 45.0));
  }
  if (page == "finished" || page == "failed") {
    ui::SelectItem(wnd.FindControl("page_layout"), 1);
    const bool failed = page == "failed";
    for (const char* name : {"text_fail_retry", "text_fail_advice", "img_warning"}) ui::SetVisible(wnd.FindControl(name), failed);
    ui::SetVisible(wnd.FindControl("finish_label"), !failed);
    const char* key = failed ? "retry_btn" : "start_app";
    ui::SetText(wnd.FindControl("start_app"), QString::fromStdString(GetLanguageText("install_page", key, language)));
  }
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addOptions({{"window", "main, msgbox or trans", "kind", "main"},
                     {"page", "setting, license, running, finished or failed", "page", "setting"},
                     {"lang", "language 0-19", "n", "0"},
                     {"type", "message box type 0-14", "n", "2"},
                     {"out", "PNG file", "file"},
                     {"downloaded", "carousel: pictures as the banner service gives them"}});
  parser.process(app);
  if (!platform::UseEmbeddedSkinArchive() || parser.value("out").isEmpty()) {
    std::fprintf(stderr, "no skin archive, or no --out\n");
    return 2;
  }
  const int language = parser.value("lang").toInt();
  const QString out = parser.value("out");
  if (parser.value("window") == "carousel") return ShotCarousel(language, parser.isSet("downloaded"), out);
  if (parser.value("window") == "waiting") return ShotWaitingWindow(out);
  if (parser.value("window") == "msgbox") {
    MessageBoxWnd box(parser.value("type").toInt(), language);
    bool saved = false;
    QTimer::singleShot(0, &box, [&] {
      saved = box.grab().save(out, "PNG");
      box.Close(0);
    });
    box.ShowModal(nullptr);
    return saved ? 0 : 1;
  }
  SkinWnd wnd(parser.value("window") == "trans" ? "transWnd.xml" : "InstallMainWnd.xml");
  if (!wnd.Create(nullptr, "Vantor Mark Eraser", 650, 560)) return 1;
  if (parser.value("window") == "main") ShowPage(wnd, parser.value("page"), language);
  return Save(wnd, out) ? 0 : 1;
}
