#include "ui/OptionButton.h"

#include "ui/Notify.h"

namespace ui {

OptionButton::OptionButton(SkinStylePtr style, QWidget* parent, bool checkBox)
    : SkinButton(std::move(style), parent), checkBox_(checkBox) {}

void OptionButton::ClearGroupPeers() {
  if (group_.isEmpty()) return;
  for (OptionButton* peer : window()->findChildren<OptionButton*>()) {
    if (peer != this && peer->group_ == group_ && peer->selected_) peer->Selected(false, false);
  }
}

void OptionButton::Selected(bool selected, bool notify) {
  if (selected == selected_) return;
  selected_ = selected;
  if (selected) ClearGroupPeers();
  update();
  if (notify) SendNotify(this, "selectchanged");
}

void OptionButton::Activate() {
  if (checkBox_ || group_.isEmpty()) Selected(!selected_);
  else Selected(true);
  SkinButton::Activate();
}

}  // namespace ui
