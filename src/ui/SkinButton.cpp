#include "ui/SkinButton.h"

#include <QKeyEvent>
#include <algorithm>
#include <QPainter>
#include <QPainterPath>

#include "ui/KeyboardFocus.h"
#include "ui/Markup.h"
#include "ui/Notify.h"

namespace ui {
namespace {

bool ImageSet(const ImageRef& ref) { return !ref.IsEmpty(); }
bool ColorSet(const QColor& color) { return color.isValid(); }

// The state to fall back to when a state has no value of its own.
SkinButton::State Fallback(SkinButton::State state) {
  switch (state) {
    case SkinButton::kSelectedHot: return SkinButton::kSelected;
    case SkinButton::kPushed: return SkinButton::kHot;
    default: return SkinButton::kNormal;
  }
}

}  // namespace

SkinButton::SkinButton(SkinStylePtr style, QWidget* parent) : QAbstractButton(parent), style_(std::move(style)) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  textColors_[kNormal] = Qt::black;
  connect(this, &QAbstractButton::clicked, this, [this] { Activate(); });
}

void SkinButton::SetFontId(int id) {
  if (style_) setFont(style_->fonts.Font(id));
}

void SkinButton::Activate() { SendNotify(this, "click"); }

void SkinButton::keyPressEvent(QKeyEvent* event) {
  // Space is the base class's; Enter presses a focused button as desktop buttons do.
  const int key = event->key();
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
    if (isEnabled()) click();
    event->accept();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

void SkinButton::enterEvent(QEnterEvent* event) {
  QAbstractButton::enterEvent(event);
  update();
}

void SkinButton::leaveEvent(QEvent* event) {
  QAbstractButton::leaveEvent(event);
  update();
}

SkinButton::State SkinButton::CurrentState() const {
  if (!isEnabled()) return kDisabled;
  if (IsSelected()) return underMouse() ? kSelectedHot : kSelected;
  if (isDown()) return kPushed;
  return underMouse() ? kHot : kNormal;
}

template <typename T>
const T& SkinButton::Pick(const T (&values)[kStateCount], State state, bool (*valid)(const T&)) const {
  for (State s = state;; s = Fallback(s)) {
    if (valid(values[s]) || s == kNormal) return values[s];
  }
}

void SkinButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const State state = CurrentState();
  const QColor& bk = Pick(bkColors_, state, ColorSet);
  if (bk.isValid()) {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), round_, round_);
    painter.fillPath(shape, bk);
  }
  const ImageRef& image = Pick(images_, state, ImageSet);
  if (!image.IsEmpty()) DrawImage(painter, rect(), image);
  if (!text().isEmpty()) {
    painter.setPen(Pick(textColors_, state, ColorSet));
    painter.setFont(font());
    painter.drawText(rect().marginsRemoved(textPadding_), Qt::AlignCenter | Qt::TextWordWrap, MarkupToPlain(text()));
  }
  if (ShowsFocusRing(this)) DrawFocusRing(painter, rect(), style_ ? style_->focusColor : QColor(Qt::black), round_);
}

void DrawFocusRing(QPainter& painter, const QRect& area, const QColor& color, int round) {
  // Inside the control so no parent clips it: 2 px of the accent at the edge
  // and 1 px of white inside it, so the ring stands out on light backgrounds
  // and on buttons filled with a colour near the accent alike.
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(color, 2));
  painter.drawRoundedRect(QRectF(area).adjusted(1, 1, -1, -1), round, round);
  const qreal inner = std::max(0, round - 2);
  painter.setPen(QPen(Qt::white, 1));
  painter.drawRoundedRect(QRectF(area).adjusted(2.5, 2.5, -2.5, -2.5), inner, inner);
  painter.restore();
}

}  // namespace ui
