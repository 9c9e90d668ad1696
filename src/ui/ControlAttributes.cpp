#include "ui/ControlAttributes.h"

#include <tinyxml2.h>

#include <QLineEdit>

#include "ui/ComboBox.h"
#include "ui/Container.h"
#include "ui/LayoutHints.h"
#include "ui/OptionButton.h"
#include "ui/ProgressBar.h"
#include "ui/ScrollContainer.h"
#include "ui/TextControl.h"

namespace ui {
namespace {

QString Attr(const tinyxml2::XMLElement* e, const char* name) {
  const char* value = e->Attribute(name);
  return value ? QString::fromUtf8(value) : QString();
}

bool Has(const tinyxml2::XMLElement* e, const char* name) { return e->Attribute(name) != nullptr; }

Qt::Alignment ParseAlign(const QString& align, const QString& valign, Qt::Alignment fallback) {
  Qt::Alignment h = fallback & Qt::AlignHorizontal_Mask, v = fallback & Qt::AlignVertical_Mask;
  if (align == "left") h = Qt::AlignLeft;
  if (align == "center") h = Qt::AlignHCenter;
  if (align == "right") h = Qt::AlignRight;
  if (valign == "top") v = Qt::AlignTop;
  if (valign == "vcenter" || valign == "center") v = Qt::AlignVCenter;
  if (valign == "bottom") v = Qt::AlignBottom;
  return h | v;
}

void ApplyHints(QWidget* w, const tinyxml2::XMLElement* e) {
  LayoutHints h;
  h.width = Attr(e, "width").toInt();
  h.height = Attr(e, "height").toInt();
  h.padding = ParseMargins(Attr(e, "padding"));
  h.floating = Attr(e, "float") == "true";
  const QMargins pos = ParseMargins(Attr(e, "pos"));
  h.pos = QRect(QPoint(pos.left(), pos.top()), QPoint(pos.right() - 1, pos.bottom() - 1));
  SetHints(w, h);
}

void ApplyContainer(Container* c, const tinyxml2::XMLElement* e) {
  if (Has(e, "bkimage")) c->SetBkImage(Attr(e, "bkimage"));
  if (Has(e, "bkcolor")) c->SetBkColor(ParseColor(Attr(e, "bkcolor")));
  if (Has(e, "bordercolor")) {
    c->SetBorder(ParseColor(Attr(e, "bordercolor")), std::max(1, Attr(e, "bordersize").toInt()),
                 Attr(e, "borderround").section(',', 0, 0).toInt());
  }
  if (Has(e, "inset")) c->SetInset(ParseMargins(Attr(e, "inset")));
  c->Layout()->SetChildPadding(Attr(e, "childpadding").toInt());
  c->Layout()->SetCentreCrossAxis(Attr(e, "childalign") == "center" || Attr(e, "childvalign") == "vcenter");
}

void ApplyText(TextControl* t, const tinyxml2::XMLElement* e) {
  const bool isText = QString(e->Name()) == "Text";
  t->setAlignment(ParseAlign(Attr(e, "align"), Attr(e, "valign"),
                             isText ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignLeft | Qt::AlignVCenter));
  if (Has(e, "textcolor")) t->SetTextColor(ParseColor(Attr(e, "textcolor")));
  t->SetFont(Attr(e, "font").toInt());
  if (Attr(e, "endellipsis") == "true") t->SetEndEllipsis(true);
  if (Has(e, "textpadding")) t->setContentsMargins(ParseMargins(Attr(e, "textpadding")));
  t->SetText(Attr(e, "text"));
}

void ApplyButton(SkinButton* b, const tinyxml2::XMLElement* e) {
  static const std::pair<const char*, SkinButton::State> kStates[] = {
      {"normal", SkinButton::kNormal}, {"hot", SkinButton::kHot}, {"pushed", SkinButton::kPushed}, {"disabled", SkinButton::kDisabled}, {"selected", SkinButton::kSelected}, {"selectedhot", SkinButton::kSelectedHot}};
  for (const auto& [prefix, state] : kStates) {
    const QString p(prefix);
    if (Has(e, (p + "image").toUtf8())) b->SetStateImage(state, Attr(e, (p + "image").toUtf8()));
    const QString textKey = state == SkinButton::kNormal ? "textcolor" : p + "textcolor";
    if (Has(e, textKey.toUtf8())) b->SetStateTextColor(state, ParseColor(Attr(e, textKey.toUtf8())));
    const QString bkKey = state == SkinButton::kNormal ? "bkcolor" : p + "bkcolor";
    if (Has(e, bkKey.toUtf8())) b->SetStateBkColor(state, ParseColor(Attr(e, bkKey.toUtf8())));
  }
  b->SetBorderRound(Attr(e, "borderround").section(',', 0, 0).toInt());
  b->SetFontId(Attr(e, "font").toInt());
  if (Has(e, "textpadding")) b->SetTextPadding(ParseMargins(Attr(e, "textpadding")));
  b->setText(Attr(e, "text"));
  if (auto* option = qobject_cast<OptionButton*>(b)) {
    option->SetGroup(Attr(e, "group"));
    option->Selected(Attr(e, "selected") == "true", false);
  }
}

// Font and style come before the items: a font change lays out every item of
// the list, and twenty languages in their own scripts load a font for each.
void ApplyCombo(ComboBox* c, const tinyxml2::XMLElement* e) {
  c->SetFontId(Attr(e, "font").toInt());
  const QString text = Attr(e, "textcolor").isEmpty() ? "#333333" : ParseColor(Attr(e, "textcolor")).name();
  c->setStyleSheet(QString("QComboBox{border:1px solid #d4d0ea;border-radius:3px;padding:0 8px;background:#ffffff;color:%1}"
                           "QComboBox::drop-down{border:0;width:22px}"
                           "QComboBox QAbstractItemView{border:1px solid #d4d0ea;background:#ffffff;color:#333333;"
                           "selection-background-color:#8372ff;selection-color:#ffffff;outline:0}")
                       .arg(text));
  for (auto* item = e->FirstChildElement(); item != nullptr; item = item->NextSiblingElement()) {
    c->addItem(Attr(item, "text"));
    if (Attr(item, "visible") == "false") c->SetItemVisible(c->count() - 1, false);
  }
  c->SelectItem(Attr(e, "selectedid").toInt());
}

void ApplyEdit(QLineEdit* edit, const tinyxml2::XMLElement* e) {
  edit->setText(Attr(e, "text"));
  edit->setReadOnly(Attr(e, "readonly") == "true");
  const QString text = Has(e, "textcolor") ? ParseColor(Attr(e, "textcolor")).name() : "#333333";
  edit->setStyleSheet(QString("QLineEdit{border:1px solid #d4d0ea;border-radius:3px;padding:0 6px;background:#ffffff;color:%1}").arg(text));
}

void ApplyProgress(ProgressBar* p, const tinyxml2::XMLElement* e) {
  p->SetRange(Has(e, "min") ? Attr(e, "min").toInt() : 0, Has(e, "max") ? Attr(e, "max").toInt() : 100);
  if (Has(e, "bkimage")) p->SetBkImage(Attr(e, "bkimage"));
  if (Has(e, "foreimage")) p->SetForeImage(Attr(e, "foreimage"));
  if (Has(e, "bkcolor") || Has(e, "forecolor")) p->SetColors(ParseColor(Attr(e, "bkcolor")), ParseColor(Attr(e, "forecolor")));
  p->SetValue(Attr(e, "value").toInt());
}

}  // namespace

void ApplyAttributes(QWidget* w, const tinyxml2::XMLElement* e) {
  w->setObjectName(Attr(e, "name"));
  ApplyHints(w, e);
  if (auto* scroll = qobject_cast<ScrollContainer*>(w)) ApplyContainer(scroll->Content(), e);
  if (auto* c = qobject_cast<Container*>(w)) ApplyContainer(c, e);
  if (auto* t = qobject_cast<TextControl*>(w)) ApplyText(t, e);
  if (auto* b = qobject_cast<SkinButton*>(w)) ApplyButton(b, e);
  if (auto* combo = qobject_cast<ComboBox*>(w)) ApplyCombo(combo, e);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) ApplyEdit(edit, e);
  if (auto* p = qobject_cast<ProgressBar*>(w)) ApplyProgress(p, e);
  if (Has(e, "tooltip")) w->setToolTip(Attr(e, "tooltip"));
  if (Attr(e, "enabled") == "false") w->setEnabled(false);
  if (Attr(e, "visible") == "false") w->setVisible(false);
}

}  // namespace ui
