#include "ui/BoxLayout.h"

#include <QStyle>
#include <QWidget>

#include "ui/LayoutHints.h"

namespace ui {
namespace {

// Children not yet shown (their window is still hidden) count as visible;
// only a hide asked for takes a child out of the layout.
bool OutOfLayout(const QWidget* child) {
  return child == nullptr || (child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide));
}

}  // namespace

BoxLayout::BoxLayout(Kind kind, QWidget* parent) : QLayout(parent), kind_(kind) {
  setContentsMargins(0, 0, 0, 0);
  setSizeConstraint(QLayout::SetNoConstraint);
}

BoxLayout::~BoxLayout() {
  while (!items_.isEmpty()) delete items_.takeFirst();
}

void BoxLayout::addItem(QLayoutItem* item) { items_.append(item); }

QLayoutItem* BoxLayout::itemAt(int index) const { return items_.value(index); }

QLayoutItem* BoxLayout::takeAt(int index) {
  return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

int BoxLayout::FixedExtent(int& stretchCount) const {
  int extent = 0, shown = 0;
  stretchCount = 0;
  for (QLayoutItem* item : items_) {
    QWidget* child = item->widget();
    if (OutOfLayout(child)) continue;
    const LayoutHints h = HintsOf(child);
    if (h.floating) continue;
    ++shown;
    const bool vertical = kind_ == Kind::kVertical;
    const int size = vertical ? h.height : h.width;
    extent += vertical ? h.padding.top() + h.padding.bottom() : h.padding.left() + h.padding.right();
    if (size > 0) extent += size;
    else ++stretchCount;
  }
  return extent + (shown > 1 ? gap_ * (shown - 1) : 0);
}

QSize BoxLayout::minimumSize() const {
  const QMargins m = contentsMargins();
  int stretch = 0;
  const int extent = kind_ == Kind::kTab ? 0 : FixedExtent(stretch) + (kind_ == Kind::kVertical ? m.top() + m.bottom() : m.left() + m.right());
  return kind_ == Kind::kVertical ? QSize(0, extent) : QSize(extent, 0);
}

QSize BoxLayout::sizeHint() const { return minimumSize(); }

QRect BoxLayout::Place(QWidget* child, const QRect& area, int& cursor, int share) const {
  const LayoutHints h = HintsOf(child);
  const QMargins p = h.padding;
  if (kind_ == Kind::kTab) return area.marginsRemoved(p);
  const bool vertical = kind_ == Kind::kVertical;
  const int main = (vertical ? h.height : h.width) > 0 ? (vertical ? h.height : h.width) : share;
  const int crossRoom = vertical ? area.width() - p.left() - p.right() : area.height() - p.top() - p.bottom();
  const int crossFixed = vertical ? h.width : h.height;
  const int cross = crossFixed > 0 ? std::min(crossFixed, std::max(crossRoom, crossFixed)) : crossRoom;
  const int crossOffset = centre_ && crossFixed > 0 ? (crossRoom - cross) / 2 : 0;
  QRect r;
  if (vertical) {
    cursor += p.top();
    r = QRect(area.left() + p.left() + crossOffset, cursor, cross, main);
    cursor += main + p.bottom() + gap_;
  } else {
    cursor += p.left();
    r = QRect(cursor, area.top() + p.top() + crossOffset, main, cross);
    cursor += main + p.right() + gap_;
  }
  return r;
}

void BoxLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  const QRect area = rect.marginsRemoved(contentsMargins());
  int stretchCount = 0;
  const int fixed = FixedExtent(stretchCount);
  const int room = (kind_ == Kind::kVertical ? area.height() : area.width()) - fixed;
  const int share = stretchCount > 0 ? std::max(0, room / stretchCount) : 0;
  int cursor = kind_ == Kind::kVertical ? area.top() : area.left();
  const Qt::LayoutDirection direction = parentWidget() ? parentWidget()->layoutDirection() : Qt::LeftToRight;
  for (QLayoutItem* item : items_) {
    QWidget* child = item->widget();
    if (OutOfLayout(child)) continue;
    const LayoutHints h = HintsOf(child);
    QRect r;
    if (h.floating) {
      r = QRect(rect.left() + h.pos.left(), rect.top() + h.pos.top(), h.pos.width(), h.pos.height());
    } else {
      r = Place(child, area, cursor, share);
    }
    child->setGeometry(QStyle::visualRect(direction, rect, r));
  }
}

}  // namespace ui
