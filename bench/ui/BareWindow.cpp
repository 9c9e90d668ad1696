// The peer of the start-up benchmark: a bare Qt Widgets window of the main
// window's size and kind (frameless, 650 x 360) that writes
// "first paint <epoch ms>" to stderr at its first paint, as the program does
// under QM_MARK_FIRST_PAINT, and then exits.
#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

class FirstPaintExit : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint || !watched->isWidgetType() || done_) return false;
    done_ = true;
    std::fprintf(stderr, "first paint %lld\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
    std::fflush(stderr);
    QTimer::singleShot(0, qApp, &QApplication::quit);
    return false;
  }

 private:
  bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
  window.setWindowTitle("Vantor Mark Eraser");
  window.setFixedSize(650, 360);
  FirstPaintExit probe;
  app.installEventFilter(&probe);
  window.show();
  return QApplication::exec();
}
