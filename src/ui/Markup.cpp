#include "ui/Markup.h"

#include <vector>

namespace ui {
namespace {

// The state a run of text is drawn with.
struct RunState {
  std::vector<int> fonts;
  std::vector<QColor> colors;
  int underline = 0, bold = 0, italic = 0;
  int linkDepth = 0;
  int linkIndex = -1;
};

template <typename T>
void PopIfAny(std::vector<T>& stack) {
  if (!stack.empty()) stack.pop_back();
}

void Decrement(int& count) {
  if (count > 0) --count;
}

QString SpanFor(const QString& text, const RunState& state, const MarkupStyle& style) {
  const int fontId = state.fonts.empty() ? style.defaultFont : state.fonts.back();
  FontSpec spec = style.fonts ? style.fonts->Spec(fontId) : FontSpec{"Tahoma", 12};
  QColor color = state.colors.empty() ? (state.linkDepth ? style.linkColor : style.textColor) : state.colors.back();
  QString css = QString("font-family:%1;font-size:%2px;color:%3;").arg(CssFamilies(spec.name)).arg(spec.pixelSize).arg(color.name());
  css += (spec.bold || state.bold) ? "font-weight:bold;" : "font-weight:normal;";
  if (spec.italic || state.italic) css += "font-style:italic;";
  css += (spec.underline || state.underline) ? "text-decoration:underline;" : "text-decoration:none;";
  QString span = QString("<span style=\"%1\">%2</span>").arg(css, text.toHtmlEscaped());
  if (state.linkDepth == 0) return span;
  return QString("<a href=\"link:%1\" style=\"text-decoration:none;color:%2\">%3</a>")
      .arg(state.linkIndex)
      .arg(color.name(), span);
}

// Applies one tag; false when the brace text is not a tag.
bool ApplyTag(const QString& tag, RunState& state, int& links, QString& html) {
  if (tag.startsWith("f ")) {
    bool ok = false;
    const int id = tag.mid(2).trimmed().toInt(&ok);
    if (!ok) return false;
    state.fonts.push_back(id);
  } else if (tag.startsWith("c ")) {
    const QColor color(tag.mid(2).trimmed());
    if (!color.isValid()) return false;
    state.colors.push_back(color);
  } else if (tag == "a" || tag.startsWith("a ")) {
    if (state.linkDepth++ == 0) state.linkIndex = links++;
  } else if (tag == "u") ++state.underline;
  else if (tag == "b") ++state.bold;
  else if (tag == "i") ++state.italic;
  else if (tag == "n") html += "<br/>";
  else if (tag == "p") html += html.isEmpty() ? "" : "<br/>";
  else if (tag == "/f") PopIfAny(state.fonts);
  else if (tag == "/c") PopIfAny(state.colors);
  else if (tag == "/a") Decrement(state.linkDepth);
  else if (tag == "/u") Decrement(state.underline);
  else if (tag == "/b") Decrement(state.bold);
  else if (tag == "/i") Decrement(state.italic);
  else if (tag == "/n" || tag == "/p") {
  } else return false;
  return true;
}

}  // namespace

QString MarkupToHtml(const QString& markup, const MarkupStyle& style) {
  RunState state;
  QString html, run;
  int links = 0;
  auto flush = [&] {
    if (!run.isEmpty()) html += SpanFor(run, state, style);
    run.clear();
  };
  for (qsizetype i = 0; i < markup.size(); ++i) {
    const qsizetype close = markup[i] == '{' ? markup.indexOf('}', i) : -1;
    if (close > i) {
      const QString tag = markup.mid(i + 1, close - i - 1);
      RunState before = state;
      QString tagHtml;
      int linksAfter = links;
      if (ApplyTag(tag, before, linksAfter, tagHtml)) {
        flush();
        state = before;
        links = linksAfter;
        html += tagHtml;
        i = close;
        continue;
      }
    }
    run += markup[i];
  }
  flush();
  return "<span style=\"white-space:pre-wrap\">" + html + "</span>";
}

QString MarkupToPlain(const QString& markup) {
  RunState state;
  QString plain;
  int links = 0;
  for (qsizetype i = 0; i < markup.size(); ++i) {
    const qsizetype close = markup[i] == '{' ? markup.indexOf('}', i) : -1;
    QString breaks;
    if (close > i && ApplyTag(markup.mid(i + 1, close - i - 1), state, links, breaks)) {
      if (!breaks.isEmpty()) plain += '\n';
      i = close;
      continue;
    }
    plain += markup[i];
  }
  return plain;
}

}  // namespace ui
