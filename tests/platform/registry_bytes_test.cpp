#include <gtest/gtest.h>

#include "fakes/FakeRegistry.h"

namespace vantrel {
namespace {

TEST(RegistryBytes, StringCountsTerminatorAndDwordIsLittleEndian) {
  EXPECT_EQ(RegStringBytes("ab"), (std::vector<uint8_t>{'a', 'b', 0}));
  EXPECT_EQ(RegDwordBytes(0x01020304), (std::vector<uint8_t>{4, 3, 2, 1}));
}

TEST(RegTransaction, RollsBackUnlessCommitted) {
  fakes::FakeRegistry reg;
  ASSERT_EQ(reg.CreateKey(RootKey::CurrentUser, "Software\\A"), ERROR_SUCCESS);
  {
    RegTransaction tx(reg);
    ASSERT_TRUE(tx.ok());
    reg.SetValue(RootKey::CurrentUser, "Software\\A", "v", REG_DWORD, RegDwordBytes(1));
  }
  EXPECT_EQ(reg.QueryValue(RootKey::CurrentUser, "software\\a", "V", nullptr), ERROR_FILE_NOT_FOUND);
  {
    RegTransaction tx(reg);
    reg.SetValue(RootKey::CurrentUser, "Software\\A", "v", REG_DWORD, RegDwordBytes(1));
    EXPECT_EQ(tx.Commit(), ERROR_SUCCESS);
  }
  EXPECT_EQ(reg.QueryValue(RootKey::CurrentUser, "software\\a", "V", nullptr), ERROR_SUCCESS);
}

}  // namespace
}  // namespace vantrel
