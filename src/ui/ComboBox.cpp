#include "ui/ComboBox.h"

#include <QKeyEvent>
#include <QListView>
#include <QPainter>

#include "ui/KeyboardFocus.h"
#include "ui/Notify.h"
#include "ui/SkinButton.h"

namespace ui {

ComboBox::ComboBox(SkinStylePtr style, QWidget* parent) : QComboBox(parent), style_(std::move(style)) {
  setView(new QListView(this));
  setMaxVisibleItems(10);
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QComboBox::activated, this, [this](int index) { SendNotify(this, "itemselect", index); });
}

bool ComboBox::SelectItem(int index, bool notify) {
  if (index < 0 || index >= count()) return false;
  setCurrentIndex(index);
  if (notify) SendNotify(this, "itemselect", index);
  return true;
}

void ComboBox::SetItemVisible(int index, bool visible) {
  if (auto* list = qobject_cast<QListView*>(view())) list->setRowHidden(index, !visible);
}

bool ComboBox::IsItemVisible(int index) const {
  if (index < 0 || index >= count()) return false;
  const auto* list = qobject_cast<const QListView*>(view());
  return list == nullptr || !list->isRowHidden(index);
}

void ComboBox::SetFontId(int id) {
  if (style_) setFont(style_->fonts.Font(id));
}

}  // namespace ui

namespace ui {

int ComboBox::NextVisible(int from, int step) const {
  for (int i = from + step; i >= 0 && i < count(); i += step) {
    if (IsItemVisible(i)) return i;
  }
  return -1;
}

void ComboBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const int step = (key == Qt::Key_Up || key == Qt::Key_Left) ? -1 : (key == Qt::Key_Down || key == Qt::Key_Right) ? 1
                                                                                                                   : 0;
  if (step == 0 || (event->modifiers() & Qt::AltModifier)) {
    QComboBox::keyPressEvent(event);
    return;
  }
  // Left and Right follow the screen, so they swap in a right-to-left layout.
  const bool horizontal = key == Qt::Key_Left || key == Qt::Key_Right;
  const int next = NextVisible(currentIndex(), horizontal && isRightToLeft() ? -step : step);
  if (next >= 0) SelectItem(next, true);
  event->accept();
}

void ComboBox::paintEvent(QPaintEvent* event) {
  QComboBox::paintEvent(event);
  if (!ShowsFocusRing(this)) return;
  QPainter painter(this);
  DrawFocusRing(painter, rect(), style_ ? style_->focusColor : QColor(Qt::black));
}

}  // namespace ui
