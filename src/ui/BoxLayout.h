#pragma once
// The skin's layout rule: along the main axis, fixed-size children take their
// size (plus padding and the gap between children) and the others share what
// is left equally; across it, a child takes its fixed size or fills. Floating
// children sit at their own position. A tab layout gives every child the whole
// area (its container shows one page at a time). Right-to-left windows see
// the arrangement mirrored.
#include <QLayout>
#include <QList>

namespace ui {

class BoxLayout : public QLayout {
 public:
  enum class Kind { kVertical,
                    kHorizontal,
                    kTab };
  explicit BoxLayout(Kind kind, QWidget* parent = nullptr);
  ~BoxLayout() override;

  void SetChildPadding(int gap) { gap_ = gap; }
  void SetCentreCrossAxis(bool centre) { centre_ = centre; }
  Kind kind() const { return kind_; }

  void addItem(QLayoutItem* item) override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  int count() const override { return static_cast<int>(items_.size()); }
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  void setGeometry(const QRect& rect) override;

 private:
  // Total fixed extent along the main axis of the visible, non-floating children.
  int FixedExtent(int& stretchCount) const;
  QRect Place(QWidget* child, const QRect& area, int& cursor, int share) const;

  Kind kind_;
  int gap_ = 0;
  bool centre_ = false;
  QList<QLayoutItem*> items_;
};

}  // namespace ui
