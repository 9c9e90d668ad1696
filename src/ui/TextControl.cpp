#include "ui/TextControl.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleHintReturnVariant>
#include <QTextCharFormat>

#include "ui/KeyboardFocus.h"
#include "ui/Markup.h"
#include "ui/Notify.h"
#include "ui/SkinButton.h"

namespace ui {
namespace {

// Qt marks the focused link with a dotted outline; the skin's ring replaces it.
class NoLinkOutlineStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_TextControl_FocusIndicatorTextCharFormat) {
      if (auto* variant = qstyleoption_cast<QStyleHintReturnVariant*>(returnData)) variant->variant = QTextCharFormat();
      return 1;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

QStyle* LinkStyle() {
  static QProxyStyle* style = [] {
    auto* made = new NoLinkOutlineStyle;
    made->setParent(QCoreApplication::instance());
    return made;
  }();
  return style;
}

}  // namespace

TextControl::TextControl(SkinStylePtr style, QWidget* parent) : QLabel(parent), style_(std::move(style)) {
  setTextFormat(Qt::RichText);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setOpenExternalLinks(false);
  setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  setStyle(LinkStyle());
  connect(this, &QLabel::linkActivated, this, [this](const QString& href) {
    SendNotify(this, "link", href.section(':', 1).toInt());
  });
  connect(this, &QLabel::linkHovered, this, [this](const QString& href) {
    setCursor(href.isEmpty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
  });
}

void TextControl::SetText(const QString& markup) {
  markup_ = markup;
  Render();
}

void TextControl::SetFont(int id) {
  font_ = id;
  if (style_) setFont(style_->fonts.Font(id));
  Render();
}

void TextControl::SetTextColor(const QColor& color) {
  textColor_ = color;
  Render();
}

void TextControl::SetEndEllipsis(bool on) {
  ellipsis_ = on;
  setWordWrap(!on);
  Render();
}

bool TextControl::HasLink() const {
  EnsureRendered();
  return text().contains("href=");
}

QSize TextControl::sizeHint() const {
  EnsureRendered();
  return QLabel::sizeHint();
}

QSize TextControl::minimumSizeHint() const {
  EnsureRendered();
  return QLabel::minimumSizeHint();
}

int TextControl::heightForWidth(int width) const {
  EnsureRendered();
  return QLabel::heightForWidth(width);
}

void TextControl::showEvent(QShowEvent* event) {
  EnsureRendered();
  QLabel::showEvent(event);
}

void TextControl::keyPressEvent(QKeyEvent* event) {
  // Enter opens the link Tab stepped to, else the text's first link; a text
  // without links leaves Enter to the window (its default button).
  const int key = event->key();
  const bool enter = (key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier;
  if (enter && HasLink() && !hasSelectedText()) {
    SendNotify(this, "link", 0);
    event->accept();
    return;
  }
  QLabel::keyPressEvent(event);
}

bool TextControl::focusNextPrevChild(bool next) {
  // Qt steps Tab through the links of a text before leaving it; a text with
  // one link is one Tab stop, not two (Enter opens that link).
  if (text().count("href=") <= 1) return QWidget::focusNextPrevChild(next);
  return QLabel::focusNextPrevChild(next);
}

void TextControl::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!HasLink() || !ShowsFocusRing(this)) return;
  QPainter painter(this);
  DrawFocusRing(painter, rect(), style_ ? style_->focusColor : QColor(Qt::black), 2);
}

void TextControl::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  if (ellipsis_) Render();
}

void TextControl::Render() {
  stale_ = true;
  if (isVisible()) RenderNow();
}

void TextControl::EnsureRendered() const {
  if (stale_) const_cast<TextControl*>(this)->RenderNow();
}

void TextControl::RenderNow() {
  stale_ = false;
  if (ellipsis_ && !markup_.contains('{')) {
    setTextFormat(Qt::PlainText);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, textColor_);
    setPalette(p);
    setText(fontMetrics().elidedText(markup_, Qt::ElideRight, std::max(0, width())));
    return;
  }
  setTextFormat(Qt::RichText);
  MarkupStyle markup;
  markup.fonts = style_ ? &style_->fonts : nullptr;
  markup.defaultFont = font_;
  markup.textColor = textColor_;
  if (style_) markup.linkColor = style_->linkColor;
  const QString html = MarkupToHtml(markup_, markup);
  setText(html);
  // Only texts with links join the Tab order (Tab steps through the links, Enter opens one).
  const bool links = HasLink();
  setTextInteractionFlags(links ? Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard
                                : Qt::LinksAccessibleByMouse);
  setFocusPolicy(links ? Qt::StrongFocus : Qt::NoFocus);
}

}  // namespace ui
