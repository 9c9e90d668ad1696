#include "ui/ControlOps.h"

#include <QLineEdit>

#include "ui/ComboBox.h"
#include "ui/Container.h"
#include "ui/LayoutHints.h"
#include "ui/OptionButton.h"
#include "ui/ProgressBar.h"
#include "ui/TextControl.h"

namespace ui {

bool SetText(QWidget* control, const QString& text) {
  if (auto* t = qobject_cast<TextControl*>(control)) t->SetText(text);
  else if (auto* b = qobject_cast<SkinButton*>(control)) {
    b->setText(text);
    b->update();
  } else if (auto* e = qobject_cast<QLineEdit*>(control)) e->setText(text);
  else if (auto* c = qobject_cast<ComboBox*>(control)) c->setEditText(text);
  else return false;
  return true;
}

QString GetText(const QWidget* control) {
  if (auto* t = qobject_cast<const TextControl*>(control)) return t->Text();
  if (auto* b = qobject_cast<const SkinButton*>(control)) return b->text();
  if (auto* e = qobject_cast<const QLineEdit*>(control)) return e->text();
  if (auto* c = qobject_cast<const ComboBox*>(control)) return c->currentText();
  return {};
}

bool SetVisible(QWidget* control, bool visible) {
  if (control == nullptr) return false;
  control->setVisible(visible);
  return true;
}

bool IsVisible(const QWidget* control) {
  return control != nullptr && !(control->isHidden() && control->testAttribute(Qt::WA_WState_ExplicitShowHide));
}

bool SetEnabled(QWidget* control, bool enabled) {
  if (control == nullptr) return false;
  control->setEnabled(enabled);
  control->update();
  return true;
}

bool SetSelected(QWidget* control, bool selected) {
  auto* option = qobject_cast<OptionButton*>(control);
  if (option == nullptr) return false;
  option->Selected(selected);
  return true;
}

bool IsSelected(const QWidget* control) {
  const auto* option = qobject_cast<const OptionButton*>(control);
  return option != nullptr && option->IsSelected();
}

bool SelectItem(QWidget* control, int index) {
  if (auto* tab = qobject_cast<Container*>(control)) return tab->SelectItem(index);
  if (auto* combo = qobject_cast<ComboBox*>(control)) return combo->SelectItem(index);
  return false;
}

int GetCurSel(const QWidget* control) {
  if (auto* tab = qobject_cast<const Container*>(control)) return tab->GetCurSel();
  if (auto* combo = qobject_cast<const ComboBox*>(control)) return combo->GetCurSel();
  return -1;
}

bool SetValue(QWidget* control, int value) {
  auto* bar = qobject_cast<ProgressBar*>(control);
  if (bar == nullptr) return false;
  bar->SetValue(value);
  return true;
}

int GetValue(const QWidget* control) {
  const auto* bar = qobject_cast<const ProgressBar*>(control);
  return bar ? bar->GetValue() : 0;
}

bool SetFixedHeight(QWidget* control, int height) {
  if (control == nullptr) return false;
  SetFixedHeightHint(control, height);
  return true;
}

bool SetBkImage(QWidget* control, const QString& image) {
  if (auto* c = qobject_cast<Container*>(control)) {
    c->SetBkImage(image);
    return true;
  }
  if (auto* p = qobject_cast<ProgressBar*>(control)) {
    p->SetBkImage(image);
    return true;
  }
  return false;
}

}  // namespace ui
