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
  QString Html() const { return text(); }
  bool HasLink() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void Render();

  SkinStylePtr style_;
  QString markup_;
  int font_ = 0;
  QColor textColor_ = Qt::black;
  bool ellipsis_ = false;
};

}  // namespace ui
