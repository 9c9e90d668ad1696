// The descriptor owner closes exactly once, wherever ownership ends. The
// write end of a pipe shows it: its reader sees end of file only once the
// last owner closed it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/UniqueFd.h"

namespace {

// True while the pipe's write end is open (a read would wait), false at end of file.
bool WriterOpen(int reader) {
  char c = 0;
  return ::read(reader, &c, 1) < 0 && errno == EAGAIN;
}

}  // namespace

TEST(UniqueFdTest, ClosesOnceWhereverOwnershipEnds) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
  const platform::UniqueFd reader(ends[0]);
  {
    platform::UniqueFd writer(ends[1]);
    platform::UniqueFd moved(std::move(writer));
    EXPECT_FALSE(writer.valid());
    writer = std::move(moved);
    EXPECT_EQ(writer.get(), ends[1]);
    EXPECT_TRUE(WriterOpen(reader.get()));
  }
  EXPECT_FALSE(WriterOpen(reader.get()));
}

TEST(UniqueFdTest, ReleaseKeepsTheDescriptorOpenAndCloseReportsTheResult) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
  const platform::UniqueFd reader(ends[0]);
  int raw = -1;
  {
    platform::UniqueFd writer(ends[1]);
    raw = writer.release();
  }
  EXPECT_TRUE(WriterOpen(reader.get()));
  platform::UniqueFd again(raw);
  EXPECT_TRUE(again.Close());
  EXPECT_FALSE(again.valid());
  EXPECT_FALSE(WriterOpen(reader.get()));
  EXPECT_TRUE(again.Close());  // nothing held: nothing to fail
}
