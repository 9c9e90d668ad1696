#pragma once
// The combo box: a list of items, some of which may be hidden. A selection by
// the user sends "itemselect" with the item's index. It takes keyboard focus;
// the arrow keys move the selection (skipping hidden items) as a choice would.
#include <QComboBox>

#include "ui/SkinStyle.h"

namespace ui {

class ComboBox : public QComboBox {
  Q_OBJECT
 public:
  ComboBox(SkinStylePtr style, QWidget* parent);

  // Selects index; notify sends "itemselect" as a user's choice would.
  bool SelectItem(int index, bool notify = false);
  int GetCurSel() const { return currentIndex(); }
  void SetItemVisible(int index, bool visible);
  bool IsItemVisible(int index) const;
  void SetFontId(int id);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  int NextVisible(int from, int step) const;

  SkinStylePtr style_;
};

}  // namespace ui
