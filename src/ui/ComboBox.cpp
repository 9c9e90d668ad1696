#include "ui/ComboBox.h"

#include <QListView>

#include "ui/Notify.h"

namespace ui {

ComboBox::ComboBox(SkinStylePtr style, QWidget* parent) : QComboBox(parent), style_(std::move(style)) {
  setView(new QListView(this));
  setMaxVisibleItems(10);
  setFocusPolicy(Qt::NoFocus);
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
