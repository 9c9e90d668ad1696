#pragma once
// Applies a layout element's attributes to the control built for it.
namespace tinyxml2 {
class XMLElement;
}
class QWidget;

namespace ui {

void ApplyAttributes(QWidget* control, const tinyxml2::XMLElement* element);

}  // namespace ui
