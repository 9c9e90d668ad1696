#pragma once
// A vertical layout that scrolls: its children sit in an inner vertical layout
// as tall as their fixed heights add up to.
#include <QScrollArea>

#include "ui/Container.h"

namespace ui {

class ScrollContainer : public QScrollArea {
  Q_OBJECT
 public:
  explicit ScrollContainer(QWidget* parent);
  Container* Content() const { return content_; }

 private:
  Container* content_;
};

}  // namespace ui
