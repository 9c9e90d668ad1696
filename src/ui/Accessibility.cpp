#include "ui/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "ui/Markup.h"
#include "ui/Notify.h"
#include "ui/OptionButton.h"
#include "ui/ProgressBar.h"
#include "ui/SkinButton.h"
#include "ui/TextControl.h"

namespace ui {
namespace {

// The name a control was given, else its own text, else its tooltip (the
// skin's text for image-only buttons).
QString NameOf(const QWidget* widget, const QString& ownText) {
  if (!widget->accessibleName().isEmpty()) return widget->accessibleName();
  if (!ownText.isEmpty()) return ownText;
  return widget->toolTip();
}

// Skin buttons: push buttons; option buttons are radio buttons in a group
// (the carousel dots) and check boxes without one.
class ButtonAccessible : public QAccessibleWidget {
 public:
  explicit ButtonAccessible(SkinButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

  QAccessible::Role role() const override {
    auto* option = qobject_cast<OptionButton*>(widget());
    if (option == nullptr) return QAccessible::Button;
    return option->Group().isEmpty() ? QAccessible::CheckBox : QAccessible::RadioButton;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return NameOf(widget(), MarkupToPlain(Button()->text()).trimmed());
    return QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    if (role() != QAccessible::Button) {
      s.checkable = true;
      s.checked = Button()->IsSelected();
    }
    return s;
  }
  QStringList actionNames() const override {
    QStringList names;
    if (widget()->isEnabled()) names << pressAction();
    return names + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action != pressAction()) return QAccessibleWidget::doAction(action);
    if (widget()->isEnabled()) Button()->click();  // as a click: the same notification
  }

 private:
  SkinButton* Button() const { return static_cast<SkinButton*>(widget()); }
};

// Texts: static text, or a link when the text holds one (pressing it opens
// its first link, as Enter does).
class TextAccessible : public QAccessibleWidget {
 public:
  explicit TextAccessible(TextControl* text) : QAccessibleWidget(text, QAccessible::StaticText) {}

  QAccessible::Role role() const override { return HasLink() ? QAccessible::Link : QAccessible::StaticText; }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return NameOf(widget(), MarkupToPlain(Text()->Text()).simplified());
    return QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    if (HasLink()) s.linked = true;
    return s;
  }
  QStringList actionNames() const override {
    QStringList names;
    if (HasLink()) names << pressAction();
    return names + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action != pressAction() || !HasLink()) return QAccessibleWidget::doAction(action);
    SendNotify(widget(), "link", 0);
  }

 private:
  TextControl* Text() const { return static_cast<TextControl*>(widget()); }
  bool HasLink() const { return Text()->HasLink(); }
};

// The progress bar: its value for screen readers, in percent.
class ProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit ProgressAccessible(ProgressBar* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(Bar()->GetValue()) + "%";
    if (t == QAccessible::Name) return NameOf(widget(), QStringLiteral("Progress"));
    return QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return Bar()->GetValue(); }
  void setCurrentValue(const QVariant&) override {}  // the bar shows the task; nobody sets it
  QVariant maximumValue() const override { return Bar()->Maximum(); }
  QVariant minimumValue() const override { return Bar()->Minimum(); }
  QVariant minimumStepSize() const override { return 1; }

 private:
  ProgressBar* Bar() const { return static_cast<ProgressBar*>(widget()); }
};

QAccessibleInterface* SkinFactory(const QString&, QObject* object) {
  if (auto* button = qobject_cast<SkinButton*>(object)) return new ButtonAccessible(button);
  if (auto* text = qobject_cast<TextControl*>(object)) return new TextAccessible(text);
  if (auto* bar = qobject_cast<ProgressBar*>(object)) return new ProgressAccessible(bar);
  return nullptr;
}

}  // namespace

void InstallAccessibility() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(SkinFactory);
}

bool AnnounceThrottle::Take(int percent, int stage) {
  const bool due = lastPercent_ < 0 || stage != lastStage_ || percent >= lastPercent_ + step_;
  if (!due) return false;
  lastPercent_ = percent;
  lastStage_ = stage;
  return true;
}

void AnnounceAlert(QWidget* window) {
  if (window == nullptr) return;
  QAccessibleEvent alert(window, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
}

}  // namespace ui
