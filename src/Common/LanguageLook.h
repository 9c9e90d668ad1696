#pragma once
// What a language changes in a window beyond its texts: the reading
// direction (Arabic reads right to left) and which CJK family draws Chinese,
// Japanese and Korean characters.
class QWidget;

void ApplyLanguageLook(QWidget* window, int language);
