#pragma once
// Option buttons (one selected per group within the window) and, without a
// group, check boxes (each click toggles). A change of selection sends
// "selectchanged" before the "click".
#include "ui/SkinButton.h"

namespace ui {

class OptionButton : public SkinButton {
  Q_OBJECT
 public:
  OptionButton(SkinStylePtr style, QWidget* parent, bool checkBox);

  void SetGroup(const QString& group) { group_ = group; }
  QString Group() const { return group_; }
  bool IsSelected() const override { return selected_; }
  // Selects (or clears) the button; notify sends "selectchanged" on a change.
  void Selected(bool selected, bool notify = true);

 protected:
  void Activate() override;

 private:
  void ClearGroupPeers();

  QString group_;
  bool checkBox_;
  bool selected_ = false;
};

}  // namespace ui
