#include "ui/TextControl.h"

#include "ui/Markup.h"
#include "ui/Notify.h"

namespace ui {

TextControl::TextControl(SkinStylePtr style, QWidget* parent) : QLabel(parent), style_(std::move(style)) {
  setTextFormat(Qt::RichText);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setOpenExternalLinks(false);
  setTextInteractionFlags(Qt::LinksAccessibleByMouse);
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

void TextControl::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  if (ellipsis_) Render();
}

void TextControl::Render() {
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
  const bool links = html.contains("href=");
  setTextInteractionFlags(links ? Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard
                                : Qt::LinksAccessibleByMouse);
  setFocusPolicy(links ? Qt::StrongFocus : Qt::NoFocus);
}

}  // namespace ui
