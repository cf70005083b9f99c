// The handle owner: exactly one close per owned handle, none for the values that own nothing.
#include <gtest/gtest.h>
#include <thread>
#include <utility>
#include <vector>

#include "common/UniqueHandle_win.h"

namespace moorlink::test {
namespace {

std::vector<int*> g_closed;

struct CountingTraits {
  using Handle = int*;
  static bool Owns(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { g_closed.push_back(h); }
};
using Counted = UniqueHandle<CountingTraits>;

class UniqueHandleTest : public ::testing::Test {
 protected:
  void SetUp() override { g_closed.clear(); }
  int a_ = 0;
  int b_ = 0;
};

TEST_F(UniqueHandleTest, ClosesWhatItOwnsOnceWhenItGoes) {
  { const Counted owner(&a_); }
  { const Counted empty; }
  EXPECT_EQ(g_closed, std::vector<int*>{&a_});
}

TEST_F(UniqueHandleTest, MovingHandsTheHandleOver) {
  {
    Counted first(&a_);
    Counted second(std::move(first));
    EXPECT_EQ(first.get(), nullptr);
    EXPECT_EQ(second.get(), &a_);
    Counted third(&b_);
    third = std::move(second);  // b goes now, a with third
    EXPECT_EQ(g_closed, std::vector<int*>{&b_});
    Counted& self = third;
    third = std::move(self);
    EXPECT_EQ(third.get(), &a_);
  }
  EXPECT_EQ(g_closed, (std::vector<int*>{&b_, &a_}));
}

TEST_F(UniqueHandleTest, ReleaseGivesUpAndResetCloses) {
  Counted owner(&a_);
  EXPECT_EQ(owner.release(), &a_);
  EXPECT_FALSE(owner);
  owner.reset(&b_);
  EXPECT_TRUE(owner);
  owner.reset(&a_);
  EXPECT_EQ(g_closed, std::vector<int*>{&b_});
  owner.reset();
  EXPECT_EQ(g_closed, (std::vector<int*>{&b_, &a_}));
}

TEST_F(UniqueHandleTest, PutClosesTheOldHandleAndOwnsWhatIsWritten) {
  Counted owner(&a_);
  int** slot = owner.put();
  EXPECT_EQ(g_closed, std::vector<int*>{&a_});
  EXPECT_EQ(*slot, nullptr);
  *slot = &b_;
  EXPECT_EQ(owner.get(), &b_);
  owner.reset();
  EXPECT_EQ(g_closed, (std::vector<int*>{&a_, &b_}));
}

TEST(KernelHandleTest, NeitherFailureValueIsOwned) {
  EXPECT_FALSE(UniqueKernelHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(UniqueKernelHandle(nullptr));
  EXPECT_FALSE(UniqueIcmpHandle(INVALID_HANDLE_VALUE));
}

TEST(KernelHandleTest, ResetClosesTheRealHandle) {
  UniqueKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  const HANDLE raw = event.get();
  DWORD flags = 0;
  ASSERT_TRUE(GetHandleInformation(raw, &flags));
  event.reset();
  EXPECT_FALSE(GetHandleInformation(raw, &flags));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// The guards leave the thread and the device context as they found them, on a thread of
// its own so that the test runner's COM state is not in play.
TEST(GuardsTest, ComAndSelectionAreUndoneWhenTheyGo) {
  std::thread([] {
    {
      const ScopedComInit com(COINIT_MULTITHREADED);
      EXPECT_EQ(com.result(), S_OK);
      const ScopedComInit other(COINIT_APARTMENTTHREADED);
      EXPECT_EQ(other.result(), RPC_E_CHANGED_MODE);
      EXPECT_TRUE(other.usable());
    }
    const ScopedComInit again(COINIT_APARTMENTTHREADED);  // not in the MTA any more
    EXPECT_EQ(again.result(), S_OK);
  }).join();
  const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  const UniqueGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(dc.get(), 4, 4));
  const HGDIOBJ before = GetCurrentObject(dc.get(), OBJ_BITMAP);
  {
    const ScopedSelection in(dc.get(), bitmap.get());
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), before);
}

}  // namespace
}  // namespace moorlink::test
