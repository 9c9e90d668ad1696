#pragma once
// A layout control: vertical, horizontal or tab layout, with an optional
// background colour, background image and border. A tab layout shows one of
// its children (pages) at a time.
#include <QColor>
#include <QWidget>

#include "ui/BoxLayout.h"
#include "ui/ImageRef.h"

namespace ui {

class Container : public QWidget {
  Q_OBJECT
 public:
  Container(BoxLayout::Kind kind, QWidget* parent);

  BoxLayout* Layout() const { return layout_; }
  void AddChild(QWidget* child);

  void SetBkImage(const QString& image);
  QString BkImage() const { return bkImage_.name; }
  void SetBkColor(const QColor& color) {
    bkColor_ = color;
    update();
  }
  void SetBorder(const QColor& color, int size, int round);
  void SetInset(const QMargins& inset) { layout_->setContentsMargins(inset); }

  // Tab layouts: shows page index; false when there is no such page.
  bool SelectItem(int index);
  int GetCurSel() const { return current_; }
  int PageCount() const { return layout_->count(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  BoxLayout* layout_;
  ImageRef bkImage_;
  QColor bkColor_, borderColor_;
  int borderSize_ = 0, borderRound_ = 0;
  int current_ = 0;
};

}  // namespace ui
