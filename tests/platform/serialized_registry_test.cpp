// A registry shared between threads: a transaction keeps the others out.
#include "platform/SerializedRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fakes/FakeRegistry.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
constexpr RootKey HKCU = RootKey::CurrentUser;

TEST(SerializedRegistry, AnotherThreadSeesNoHalfOfATransaction) {
  fakes::FakeRegistry inner;
  SerializedRegistry reg(inner);
  ASSERT_EQ(reg.CreateKey(HKCU, "K"), ERROR_SUCCESS);
  ASSERT_EQ(reg.SetValue(HKCU, "K", "a", REG_SZ, RegStringBytes("old")), ERROR_SUCCESS);

  ASSERT_EQ(reg.BeginTransaction(), ERROR_SUCCESS);
  ASSERT_EQ(reg.SetValue(HKCU, "K", "a", REG_SZ, RegStringBytes("new")), ERROR_SUCCESS);
  std::atomic<bool> read{false};
  RegValue seen;
  long endedByOther = ERROR_SUCCESS;
  std::thread other([&] {
    reg.QueryValue(HKCU, "K", "a", &seen);  // waits for the transaction
    read = true;
    endedByOther = reg.RollbackTransaction();  // not its transaction
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(read);
  // The transaction's own thread goes on meanwhile.
  ASSERT_EQ(reg.SetValue(HKCU, "K", "b", REG_SZ, RegStringBytes("2")), ERROR_SUCCESS);
  ASSERT_EQ(reg.CommitTransaction(), ERROR_SUCCESS);
  other.join();
  EXPECT_TRUE(read);
  EXPECT_EQ(seen.data, RegStringBytes("new"));
  EXPECT_NE(endedByOther, ERROR_SUCCESS);

  // A transaction that could not begin holds nothing; the next one works.
  ASSERT_EQ(reg.BeginTransaction(), ERROR_SUCCESS);
  EXPECT_NE(reg.BeginTransaction(), ERROR_SUCCESS);  // no nesting
  ASSERT_EQ(reg.RollbackTransaction(), ERROR_SUCCESS);
  std::thread after([&] { EXPECT_EQ(reg.OpenKey(HKCU, "K"), ERROR_SUCCESS); });
  after.join();
}

}  // namespace
}  // namespace vantrel
