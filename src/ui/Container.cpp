#include "ui/Container.h"

#include <QPainter>
#include <QPainterPath>

namespace ui {

Container::Container(BoxLayout::Kind kind, QWidget* parent) : QWidget(parent), layout_(new BoxLayout(kind, this)) {}

void Container::AddChild(QWidget* child) {
  layout_->addWidget(child);
  if (layout_->kind() == BoxLayout::Kind::kTab && layout_->count() - 1 != current_) child->hide();
}

void Container::SetBkImage(const QString& image) {
  bkImage_ = ImageRef::Parse(image);
  update();
}

void Container::SetBorder(const QColor& color, int size, int round) {
  borderColor_ = color;
  borderSize_ = size;
  borderRound_ = round;
  update();
}

bool Container::SelectItem(int index) {
  if (layout_->kind() != BoxLayout::Kind::kTab || index < 0 || index >= layout_->count()) return false;
  current_ = index;
  for (int i = 0; i < layout_->count(); ++i) {
    if (QWidget* page = layout_->itemAt(i)->widget()) page->setVisible(i == index);
  }
  return true;
}

void Container::paintEvent(QPaintEvent*) {
  if (!bkColor_.isValid() && bkImage_.IsEmpty() && borderSize_ == 0) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), borderRound_, borderRound_);
  if (bkColor_.isValid()) painter.fillPath(shape, bkColor_);
  if (!bkImage_.IsEmpty()) DrawImage(painter, rect(), bkImage_);
  if (borderSize_ > 0 && borderColor_.isValid()) {
    painter.setPen(QPen(borderColor_, borderSize_));
    painter.drawPath(shape);
  }
}

}  // namespace ui
