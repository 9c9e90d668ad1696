#pragma once
// Operations on a control whatever its kind, as the windows use them through
// names. Each returns false (or an empty value) for a null control or one of
// a kind that has no such property.
#include <QString>

class QWidget;

namespace ui {

bool SetText(QWidget* control, const QString& text);
QString GetText(const QWidget* control);
bool SetVisible(QWidget* control, bool visible);
bool IsVisible(const QWidget* control);  // not hidden itself (its window may be)
bool SetEnabled(QWidget* control, bool enabled);
// Option buttons and check boxes: selected; tab layouts: the page;
// combo boxes: the item.
bool SetSelected(QWidget* control, bool selected);
bool IsSelected(const QWidget* control);
bool SelectItem(QWidget* control, int index);
int GetCurSel(const QWidget* control);  // -1 when none
// Progress bars.
bool SetValue(QWidget* control, int value);
int GetValue(const QWidget* control);
bool SetFixedHeight(QWidget* control, int height);
bool SetBkImage(QWidget* control, const QString& image);

}  // namespace ui
