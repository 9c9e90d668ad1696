#pragma once
// The program's process shell: the start-up sequence, the message loop and the
// orderly exit. Always returns 0.
#include <atomic>
#include <string>

#include "platform/InstanceLock.h"

// Downloader_id of the embedded configuration (read by the crash handler).
extern std::atomic<int> g_downloaderId;
// "QM_UI_Frame_" + Downloader_id text; empty while that item is empty.
extern std::string g_windowClassName;
// The single-instance lock; null once released. The copy is what the install
// worker releases on its forced-exit path.
extern std::atomic<platform::InstanceLock*> g_instanceMutex;
extern std::atomic<platform::InstanceLock*> g_instanceMutexCopy;

// commandLineTail: the arguments after the program name, joined by blanks.
int wWinMain(const std::string& commandLineTail);
