#pragma once
// Label and text controls: a text in the skin's markup, drawn as rich text
// with the window's fonts. A click on a link sends "link" with the link's
// index (0 for the first link of the text). A text with links takes keyboard
// focus: Enter opens the focused link (else the first), and the skin's ring
// shows keyboard focus.
#include <QLabel>

#include "ui/SkinStyle.h"

namespace ui {

class TextControl : public QLabel {
  Q_OBJECT
 public:
  TextControl(SkinStylePtr style, QWidget* parent);

  void SetText(const QString& markup);
  QString Text() const { return markup_; }
  void SetFont(int id);
  void SetTextColor(const QColor& color);
  // Text in a single line, cut with "..." when too long.
  void SetEndEllipsis(bool on);
  // The rich text the label shows.
  QString Html() const {
    EnsureRendered();
    return text();
  }
  bool HasLink() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  int heightForWidth(int width) const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  // A hidden text (another page, the licence of every other language) is
  // laid out only when it is shown or measured: rich text is costly.
  void Render();
  void EnsureRendered() const;
  void RenderNow();

  SkinStylePtr style_;
  QString markup_;
  int font_ = 0;
  QColor textColor_ = Qt::black;
  bool ellipsis_ = false;
  bool stale_ = false;
};

}  // namespace ui
