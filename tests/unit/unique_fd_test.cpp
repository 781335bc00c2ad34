#include "platform/linux/io/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <utility>

namespace vellumar::platform {
namespace {

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

// A holder that closed a number it no longer owns would close whatever the kernel handed out
// under that number next: another handle of the run, or the disk itself.
TEST(UniqueFd, ClosesWhatItOwnsOnceAndNothingAfterAMoveOrRelease) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::optional<UniqueFd> owner;
  {
    UniqueFd first(ends[0]);
    owner.emplace(std::move(first));
  }
  EXPECT_TRUE(IsOpen(ends[0])) << "the moved-from holder closed it";

  UniqueFd other(ends[1]);
  other = std::move(*owner);
  owner.reset();
  EXPECT_FALSE(IsOpen(ends[1])) << "taking another descriptor closes the one held";
  EXPECT_TRUE(IsOpen(ends[0]));

  const int released = other.Release();
  EXPECT_FALSE(other);
  EXPECT_TRUE(IsOpen(released));
  other.Reset(released);
  EXPECT_EQ(other.Close(), 0);
  EXPECT_FALSE(IsOpen(ends[0]));
}

}  // namespace
}  // namespace vellumar::platform
