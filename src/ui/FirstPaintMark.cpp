#include "ui/FirstPaintMark.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace ui {

namespace {

// Watches the application's events for the first paint of the window or any
// of its controls, writes the mark once and removes itself.
class FirstPaintFilter : public QObject {
 public:
  explicit FirstPaintFilter(QWidget* window) : QObject(qApp), window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint || !watched->isWidgetType() || window_.isNull()) return false;
    if (static_cast<QWidget*>(watched)->window() != window_.data()) return false;
    std::fprintf(stderr, "first paint %lld\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
    std::fflush(stderr);
    qApp->removeEventFilter(this);
    deleteLater();
    return false;
  }

 private:
  QPointer<QWidget> window_;
};

}  // namespace

void MarkStartupStep(const char* step) {
  static const bool asked = std::getenv("QM_MARK_FIRST_PAINT") != nullptr;
  if (!asked) return;
  std::fprintf(stderr, "startup %s %lld\n", step, static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
  std::fflush(stderr);
}

void MarkFirstPaintIfAsked(QWidget* window) {
  if (window == nullptr || qApp == nullptr || std::getenv("QM_MARK_FIRST_PAINT") == nullptr) return;
  qApp->installEventFilter(new FirstPaintFilter(window));
}

}  // namespace ui
