#pragma once
// Start-up timing on request: when the environment names QM_MARK_FIRST_PAINT,
// the first paint of a window writes "first paint <epoch ms>" (wall clock, in
// milliseconds since 1970) to standard error, so a script that noted the time
// it started the program can tell how long the window took to appear. Without
// the variable nothing is installed and nothing is written.
class QWidget;

namespace ui {

void MarkFirstPaintIfAsked(QWidget* window);

// A step of the start-up under the same variable: "startup <step> <epoch ms>",
// so the time before the first paint can be told apart step by step.
void MarkStartupStep(const char* step);

}  // namespace ui
