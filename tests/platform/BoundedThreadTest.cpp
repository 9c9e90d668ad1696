// The exit's bounded wait: a thread that ends is joined; one stuck past the
// limit is left behind and the caller goes on.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "platform/BoundedThread.h"
#include "platform/Event.h"

using namespace std::chrono_literals;

TEST(BoundedThreadTest, JoinsAThreadThatEndsAndLeavesOneThatDoesNot) {
  std::atomic<bool> ran{false};
  platform::BoundedThread quick([&] { ran = true; });
  EXPECT_TRUE(quick.JoinWithin(600000ms));
  EXPECT_TRUE(ran);
  EXPECT_FALSE(quick.Joinable());

  auto release = std::make_shared<platform::Event>(true, false);
  auto left = std::make_shared<std::atomic<bool>>(false);
  platform::BoundedThread stuck([release, left] {
    release->Wait();
    *left = true;
  });
  EXPECT_FALSE(stuck.JoinWithin(1ms));
  EXPECT_FALSE(stuck.Joinable()) << "a thread past the limit is detached, so destruction does not wait";
  release->Set();
}
