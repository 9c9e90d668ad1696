#pragma once
// A horizontal progress bar between a minimum and a maximum (0 to 100 unless
// the skin says otherwise), drawn from a background and a foreground image or
// colour; the foreground grows from the reading direction's start.
#include <QColor>
#include <QWidget>

#include "ui/ImageRef.h"

namespace ui {

class ProgressBar : public QWidget {
  Q_OBJECT
 public:
  explicit ProgressBar(QWidget* parent);

  void SetRange(int minimum, int maximum);
  void SetValue(int value);
  int GetValue() const { return value_; }
  int Minimum() const { return min_; }
  int Maximum() const { return max_; }
  void SetBkImage(const QString& image) {
    bk_ = ImageRef::Parse(image);
    update();
  }
  void SetForeImage(const QString& image) {
    fore_ = ImageRef::Parse(image);
    update();
  }
  void SetColors(const QColor& back, const QColor& fore) {
    back_ = back;
    foreColor_ = fore;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int min_ = 0, max_ = 100, value_ = 0;
  ImageRef bk_, fore_;
  QColor back_ = QColor(0xe6, 0xe4, 0xf2), foreColor_ = QColor(0x83, 0x72, 0xff);
};

}  // namespace ui
