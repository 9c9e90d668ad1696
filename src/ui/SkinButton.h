#pragma once
// A button drawn from skin images, one per state (normal, hot, pushed,
// disabled), or from flat colours with rounded corners when it has no images.
// Its text is drawn centred in its font and the colour of the state. A click
// sends "click". It takes keyboard focus (Tab, click), shows keyboard focus
// with the skin's ring, and Enter or Space press it.
#include <QAbstractButton>
#include <QColor>
#include <QPainter>

#include "ui/ImageRef.h"
#include "ui/SkinStyle.h"

namespace ui {

class SkinButton : public QAbstractButton {
  Q_OBJECT
 public:
  enum State { kNormal,
               kHot,
               kPushed,
               kDisabled,
               kSelected,
               kSelectedHot,
               kStateCount };

  SkinButton(SkinStylePtr style, QWidget* parent);

  void SetStateImage(State state, const QString& image) {
    images_[state] = ImageRef::Parse(image);
    update();
  }
  void SetStateTextColor(State state, const QColor& color) {
    textColors_[state] = color;
    update();
  }
  void SetStateBkColor(State state, const QColor& color) {
    bkColors_[state] = color;
    update();
  }
  void SetBorderRound(int round) { round_ = round; }
  void SetFontId(int id);
  void SetTextPadding(const QMargins& padding) { textPadding_ = padding; }

  // Option buttons and check boxes (the base never is one).
  virtual bool IsSelected() const { return false; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  virtual void Activate();
  State CurrentState() const;

  SkinStylePtr style_;

 private:
  template <typename T>
  const T& Pick(const T (&values)[kStateCount], State state, bool (*valid)(const T&)) const;

  ImageRef images_[kStateCount];
  QColor textColors_[kStateCount];
  QColor bkColors_[kStateCount];
  int round_ = 0;
  QMargins textPadding_;
};

// The skin's keyboard focus ring just inside area: 2 px of color with a
// 1 px white line inside it.
void DrawFocusRing(QPainter& painter, const QRect& area, const QColor& color, int round = 0);

}  // namespace ui
