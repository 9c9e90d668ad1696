#pragma once
// Builds the controls of a window from an XML layout in the skin archive.
//
// The root element <Window> carries the window's size, caption area, link
// colours and its <Font> list; its first control element becomes the root
// control. <Include source="file.xml"/> inserts the controls of another file
// (its root element, or the children of its <Window>). Elements: the layouts
// VerticalLayout, HorizontalLayout, TabLayout, Container; the controls Control,
// Label, Text, Button, Option, CheckBox, Combo (items: ListLabelElement), Edit,
// Progress, RichEdit. Every control's name becomes its objectName.
#include <QString>
#include <QWidget>

#include "ui/WindowSkin.h"

namespace tinyxml2 {
class XMLElement;
}

namespace ui {

class LayoutBuilder {
 public:
  // folder is prefixed to every file read from the archive ("" for the root).
  explicit LayoutBuilder(QString folder = {}) : folder_(std::move(folder)) {}

  // Builds file under parent; the root control, or null when the file is
  // missing or not a layout. skin receives the window's own attributes.
  QWidget* Build(const QString& file, QWidget* parent, WindowSkin& skin);

 private:
  bool ReadLayout(const QString& file, std::string& xml) const;
  void ReadWindow(const tinyxml2::XMLElement* window, WindowSkin& skin) const;
  QWidget* BuildElement(const tinyxml2::XMLElement* element, QWidget* parent);
  QWidget* CreateControl(const tinyxml2::XMLElement* element, QWidget* parent) const;
  void BuildChildren(const tinyxml2::XMLElement* element, QWidget* container);
  void Include(const QString& file, QWidget* container, int depth);
  void AddTo(QWidget* container, QWidget* child) const;

  QString folder_;
  SkinStylePtr style_;
  int includeDepth_ = 0;
  // Controls and includes one Build may still make: counted includes of
  // includes cannot multiply without end.
  int budget_ = 0;
};

}  // namespace ui
