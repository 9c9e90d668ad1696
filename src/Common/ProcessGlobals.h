#pragma once
// Values that live for the whole process, set by the entry point and read by
// the window, the install worker (through the window) and the crash handler.
// Kept apart from the entry point so that those readers need not include it.
#include <atomic>
#include <string>

#include "platform/InstanceLock.h"

// Downloader_id of the embedded configuration; the crash handler names an
// early dump after it.
extern std::atomic<int> g_downloaderId;
// "QM_UI_Frame_" + Downloader_id text; empty while that item is empty. Set
// and read only by the entry point, before the window exists.
extern std::string g_windowClassName;
// The single-instance lock, set once it is held; null once released. Released
// by the exit sequence, by an unattended run before its window closes and, in
// its signal-safe way, by the crash handler; whoever exchanges it first does.
extern std::atomic<platform::InstanceLock*> g_instanceMutex;

// Lets a new instance start; does nothing once the lock is gone.
void ReleaseInstanceLock();
