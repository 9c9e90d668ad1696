#pragma once
// Hand-offs through Qt's event queue, made visible to ThreadSanitizer. Qt is
// not built with it, so the lock that orders the writes of a thread posting
// an event before the event's delivery on the window thread is invisible to
// it; these marks state that order. They cost nothing in other builds.
#if defined(__SANITIZE_THREAD__)
#define QM_TSAN_ENABLED 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QM_TSAN_ENABLED 1
#endif
#endif

#if defined(QM_TSAN_ENABLED)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#define QM_TSAN_RELEASE(addr) __tsan_release(addr)
#define QM_TSAN_ACQUIRE(addr) __tsan_acquire(addr)
#else
#define QM_TSAN_RELEASE(addr) ((void)(addr))
#define QM_TSAN_ACQUIRE(addr) ((void)(addr))
#endif
