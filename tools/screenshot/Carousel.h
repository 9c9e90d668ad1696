#pragma once
#include <QString>

// The running page with the carousel half-way through a slide from picture
// 1 to 2: the built-in pictures with the language's captions, or downloaded
// ones. 0 when the PNG was written.
int ShotCarousel(int language, bool downloaded, const QString& out);
// The waiting animation window a few frames after it opened.
int ShotWaitingWindow(const QString& out);
