#include "ui/ScrollContainer.h"

#include <QScrollBar>

namespace ui {

ScrollContainer::ScrollContainer(QWidget* parent)
    : QScrollArea(parent), content_(new Container(BoxLayout::Kind::kVertical, nullptr)) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWidgetResizable(true);
  setWidget(content_);
  viewport()->setAutoFillBackground(false);
  content_->setAutoFillBackground(false);
  verticalScrollBar()->setStyleSheet(
      "QScrollBar:vertical{background:transparent;width:8px;margin:0}"
      "QScrollBar::handle:vertical{background:#c9c4e6;border-radius:4px;min-height:30px}"
      "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0}"
      "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:none}");
}

}  // namespace ui
