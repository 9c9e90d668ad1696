#pragma once
// Waits for a condition with a deadline. Tests never sleep a fixed time in
// place of the condition they need: on a loaded machine or under a sanitizer a
// wait only takes longer, it does not fail.
#include <chrono>
#include <functional>
#include <thread>

// A bound generous enough for a sanitizer build on two busy cores.
inline constexpr std::chrono::milliseconds kConditionBound{120000};

// Polls done() until it holds or timeout passes; returns done().
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kConditionBound,
                      std::chrono::milliseconds poll = std::chrono::milliseconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(poll);
  }
  return true;
}
