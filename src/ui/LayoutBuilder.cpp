#include "ui/LayoutBuilder.h"

#include <tinyxml2.h>

#include <QLineEdit>
#include <QVBoxLayout>
#include <cstring>

#include "platform/MemoryZip.h"
#include "ui/ComboBox.h"
#include "ui/ControlAttributes.h"
#include "ui/Container.h"
#include "ui/ImageRef.h"
#include "ui/OptionButton.h"
#include "ui/ProgressBar.h"
#include "ui/ScrollContainer.h"
#include "ui/TextControl.h"

namespace ui {
namespace {

constexpr int kMaxIncludeDepth = 8;  // a file that includes itself stops here
constexpr int kBuildBudget = 1000;   // controls and includes: five times the largest window

QString Attr(const tinyxml2::XMLElement* e, const char* name) {
  const char* value = e->Attribute(name);
  return value ? QString::fromUtf8(value) : QString();
}

bool Is(const tinyxml2::XMLElement* e, const char* name) { return std::strcmp(e->Name(), name) == 0; }

FontSpec ReadFont(const tinyxml2::XMLElement* e) {
  FontSpec spec;
  spec.name = Attr(e, "name");
  spec.pixelSize = e->IntAttribute("size", 12);
  spec.bold = e->BoolAttribute("bold");
  spec.italic = e->BoolAttribute("italic");
  spec.underline = e->BoolAttribute("underline");
  return spec;
}

}  // namespace

bool LayoutBuilder::ReadLayout(const QString& file, std::string& xml) const {
  return platform::ReadResourceFile((folder_ + file).toStdString(), xml);
}

void LayoutBuilder::ReadWindow(const tinyxml2::XMLElement* window, WindowSkin& skin) const {
  const QList<int> size = ParseInts(Attr(window, "size"));
  if (size.size() == 2) skin.size = QSize(size[0], size[1]);
  const QMargins caption = ParseMargins(Attr(window, "caption"));
  skin.caption = QRect(caption.left(), caption.top(), 0, caption.bottom());
  skin.sizeBox = ParseMargins(Attr(window, "sizebox"));
  const QList<int> corner = ParseInts(Attr(window, "roundcorner"));
  if (corner.size() == 2) skin.roundCorner = QSize(corner[0], corner[1]);
  skin.transparent = Attr(window, "bktrans") == "true";
  auto style = std::make_shared<SkinStyle>();
  if (const char* link = window->Attribute("linkcolor")) style->linkColor = ParseColor(link);
  if (const char* hover = window->Attribute("linkhovercolor")) style->linkHoverColor = ParseColor(hover);
  // The focus ring takes the accent (link) colour unless the skin names its own.
  style->focusColor = style->linkColor;
  if (const char* focus = window->Attribute("focuscolor")) style->focusColor = ParseColor(focus);
  if (!style->focusColor.isValid()) style->focusColor = QColor(Qt::black);
  int nextId = 0;
  for (auto* font = window->FirstChildElement("Font"); font; font = font->NextSiblingElement("Font")) {
    nextId = font->IntAttribute("id", nextId);
    style->fonts.Add(nextId++, ReadFont(font));
  }
  skin.style = style;
}

QWidget* LayoutBuilder::Build(const QString& file, QWidget* parent, WindowSkin& skin) {
  budget_ = kBuildBudget;
  std::string xml;
  if (!ReadLayout(file, xml)) return nullptr;
  tinyxml2::XMLDocument doc;
  if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS || doc.RootElement() == nullptr) return nullptr;
  const tinyxml2::XMLElement* root = doc.RootElement();
  if (Is(root, "Window")) {
    ReadWindow(root, skin);
    style_ = skin.style;
    for (auto* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
      if (QWidget* control = BuildElement(e, parent)) return control;
    }
    return nullptr;
  }
  style_ = skin.style;
  return BuildElement(root, parent);
}

QWidget* LayoutBuilder::CreateControl(const tinyxml2::XMLElement* e, QWidget* parent) const {
  if (Is(e, "VerticalLayout") && Attr(e, "vscrollbar") == "true") return new ScrollContainer(parent);
  if (Is(e, "VerticalLayout") || Is(e, "Container") || Is(e, "Control")) return new Container(BoxLayout::Kind::kVertical, parent);
  if (Is(e, "HorizontalLayout")) return new Container(BoxLayout::Kind::kHorizontal, parent);
  if (Is(e, "TabLayout")) return new Container(BoxLayout::Kind::kTab, parent);
  if (Is(e, "Label") || Is(e, "Text") || Is(e, "RichEdit")) return new TextControl(style_, parent);
  if (Is(e, "Button")) return new SkinButton(style_, parent);
  if (Is(e, "Option")) return new OptionButton(style_, parent, false);
  if (Is(e, "CheckBox")) return new OptionButton(style_, parent, true);
  if (Is(e, "Combo")) return new ComboBox(style_, parent);
  if (Is(e, "Edit")) return new QLineEdit(parent);
  if (Is(e, "Progress")) return new ProgressBar(parent);
  return nullptr;
}

void LayoutBuilder::AddTo(QWidget* container, QWidget* child) const {
  if (auto* scroll = qobject_cast<ScrollContainer*>(container)) scroll->Content()->AddChild(child);
  else if (auto* box = qobject_cast<Container*>(container)) box->AddChild(child);
}

QWidget* LayoutBuilder::BuildElement(const tinyxml2::XMLElement* e, QWidget* parent) {
  if (budget_ <= 0) return nullptr;
  QWidget* control = CreateControl(e, parent);
  if (control == nullptr) return nullptr;
  --budget_;
  if (qobject_cast<Container*>(control) || qobject_cast<ScrollContainer*>(control)) BuildChildren(e, control);
  ApplyAttributes(control, e);
  if (auto* tab = qobject_cast<Container*>(control)) tab->SelectItem(Attr(e, "selectedid").toInt());
  return control;
}

void LayoutBuilder::BuildChildren(const tinyxml2::XMLElement* element, QWidget* container) {
  QWidget* parent = container;
  if (auto* scroll = qobject_cast<ScrollContainer*>(container)) parent = scroll->Content();
  for (auto* e = element->FirstChildElement(); e; e = e->NextSiblingElement()) {
    if (Is(e, "Include")) {
      const int count = std::max(1, e->IntAttribute("count", 1));
      for (int i = 0; i < count && budget_ > 0; ++i) Include(Attr(e, "source"), container, includeDepth_);
      continue;
    }
    if (QWidget* child = BuildElement(e, parent)) AddTo(container, child);
  }
}

void LayoutBuilder::Include(const QString& file, QWidget* container, int depth) {
  // Every attempt counts, also the ones refused for depth.
  if (budget_ <= 0) return;
  --budget_;
  if (depth >= kMaxIncludeDepth) return;
  std::string xml;
  if (!ReadLayout(file, xml)) return;
  tinyxml2::XMLDocument doc;
  if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS || doc.RootElement() == nullptr) return;
  QWidget* parent = container;
  if (auto* scroll = qobject_cast<ScrollContainer*>(container)) parent = scroll->Content();
  ++includeDepth_;
  const tinyxml2::XMLElement* root = doc.RootElement();
  if (Is(root, "Window")) {
    BuildChildren(root, container);
  } else if (QWidget* child = BuildElement(root, parent)) {
    AddTo(container, child);
  }
  --includeDepth_;
}

}  // namespace ui
