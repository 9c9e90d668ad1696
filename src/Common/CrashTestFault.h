#pragma once
// The test fault that the "CrashTest" switch asks for on the install click:
// a write into the never-mapped first page (a null-pointer write), which the
// crash handler catches like any real fault. Never returns.
[[noreturn]] void RaiseCrashTestFault();
