#include "ui/ProgressBar.h"

#include <QAccessible>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace ui {

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) {}

void ProgressBar::SetRange(int minimum, int maximum) {
  min_ = minimum;
  max_ = std::max(minimum + 1, maximum);
  SetValue(value_);
}

void ProgressBar::SetValue(int value) {
  const int old = value_;
  value_ = std::clamp(value, min_, max_);
  update();
  if (value_ == old) return;
  // Screen readers follow the bar through its value interface.
  QAccessibleValueChangeEvent changed(this, value_);
  QAccessible::updateAccessibility(&changed);
}

void ProgressBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal radius = height() / 2.0;
  const int filled = static_cast<int>(static_cast<qint64>(width()) * (value_ - min_) / (max_ - min_));
  const QRect foreRect = QStyle::visualRect(layoutDirection(), rect(), QRect(0, 0, filled, height()));
  if (!bk_.IsEmpty()) DrawImage(painter, rect(), bk_);
  else {
    QPainterPath back;
    back.addRoundedRect(QRectF(rect()), radius, radius);
    painter.fillPath(back, back_);
  }
  if (filled <= 0) return;
  if (!fore_.IsEmpty()) {
    painter.setClipRect(foreRect);
    DrawImage(painter, rect(), fore_);
    return;
  }
  QPainterPath fore;
  fore.addRoundedRect(QRectF(foreRect), radius, radius);
  painter.fillPath(fore, foreColor_);
}

}  // namespace ui
