#pragma once
// The program's process shell: the start-up sequence, the message loop and the
// orderly exit. Always returns 0.
// The process-wide values it sets are in Common/ProcessGlobals.h.
#include <string>

// commandLineTail: the arguments after the program name, joined by blanks.
int wWinMain(const std::string& commandLineTail);
