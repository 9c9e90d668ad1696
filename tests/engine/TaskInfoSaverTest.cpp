// The task-info saver: newest snapshot wins, drain waits, nothing is lost.
#include <gtest/gtest.h>
#include <signal.h>

#include <mutex>
#include <string>
#include <vector>

#include "TaskInfoSaver.h"
#include "platform/Event.h"
#include "platform/ThreadStart.h"

namespace {

TEST(TaskInfoSaver, WritesInOrderKeepsOnlyTheNewestWaitingSnapshotAndDrains) {
  std::mutex lock;
  std::vector<std::string> written;
  platform::Event started{false, false};
  platform::Event release{true, false};
  {
    TaskInfoSaver saver([&](const std::string& xml) {
      started.Set();
      ASSERT_TRUE(release.Wait(60000));
      std::lock_guard<std::mutex> guard(lock);
      written.push_back(xml);
    });
    saver.post("first");
    ASSERT_TRUE(started.Wait(60000));  // "first" is being written
    saver.post("second");
    saver.post("third");  // replaces "second", which never reached the disk
    release.Set();
    saver.drain();
    {
      std::lock_guard<std::mutex> guard(lock);
      EXPECT_EQ(written, (std::vector<std::string>{"first", "third"}));
    }
    saver.post("last");
  }  // the destructor writes what is still pending
  EXPECT_EQ(written.back(), "last");
}

// A stack overflow while the task-info file is written still leaves a dump:
// the saver's thread has its own alternate signal stack.
TEST(TaskInfoSaver, WritesOnAThreadWithItsOwnSignalStack) {
  std::size_t stackBytes = 0;
  {
    TaskInfoSaver saver([&](const std::string&) {
      stack_t stack{};
      if (sigaltstack(nullptr, &stack) == 0 && (stack.ss_flags & SS_DISABLE) == 0) stackBytes = stack.ss_size;
    });
    saver.post("snapshot");
    saver.drain();
  }
  EXPECT_EQ(stackBytes, platform::ThreadSignalStack::kBytes);
}

}  // namespace
