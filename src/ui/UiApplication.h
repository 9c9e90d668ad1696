#pragma once
// The toolkit's process-wide application object and the ways a Linux desktop
// asks a program to end.
namespace ui {

// Creates the application object once (later calls return at once).
void EnsureApplication();

// Runs the message loop until the quit message; returns its exit code.
int RunMessageLoop();

// SIGTERM, SIGINT and SIGHUP close every top-level window, so the program
// leaves through its normal exit sequence.
void CloseWindowsOnTerminationSignals();

}  // namespace ui
