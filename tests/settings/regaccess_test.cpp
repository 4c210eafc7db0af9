// CRegAccess: status, type and size bookkeeping, the 200-byte read buffer, and
// the held key.

#include "settings/RegAccess.h"

#include <gtest/gtest.h>

#include "fakes/FakeRegistry.h"

namespace vantrel {
namespace {

constexpr RootKey HKCU = RootKey::CurrentUser;
constexpr const char* kKey = "Software\\Korbelund\\Tessivane\\Test";

class RegAccessTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(reg.CreateKey(HKCU, kKey), ERROR_SUCCESS); }
  void Put(std::string_view name, uint32_t type, std::vector<uint8_t> data) {
    ASSERT_EQ(reg.SetValue(HKCU, kKey, name, type, data), ERROR_SUCCESS);
  }
  fakes::FakeRegistry reg;
};

TEST_F(RegAccessTest, BookkeepingFollowsEachOperation) {
  CRegAccess acc(reg, HKCU);
  EXPECT_TRUE(acc.hasKey());
  EXPECT_EQ(acc.keyPath(), "");
  EXPECT_EQ(acc.path(), "");

  EXPECT_EQ(acc.OpenKey(HKCU, kKey), 1);
  EXPECT_EQ(acc.lastError(), ERROR_SUCCESS);
  EXPECT_EQ(acc.path(), kKey);
  EXPECT_EQ(acc.keyPath(), kKey);

  EXPECT_EQ(acc.WriteString("Name", "hello"), 1);
  EXPECT_EQ(acc.lastType(), REG_SZ);
  EXPECT_EQ(acc.lastSize(), 6u);
  RegValue stored;
  ASSERT_EQ(reg.QueryValue(HKCU, kKey, "Name", &stored), ERROR_SUCCESS);
  EXPECT_EQ(stored.type, REG_SZ);
  EXPECT_EQ(stored.data, RegStringBytes("hello"));

  std::string out;
  EXPECT_EQ(acc.ReadString("NAME", out), 1);
  EXPECT_EQ(out, "hello");
  EXPECT_EQ(acc.lastType(), REG_SZ);
  EXPECT_EQ(acc.lastSize(), 6u);

  // Opening again clears type and size.
  EXPECT_EQ(acc.OpenKey(HKCU, kKey), 1);
  EXPECT_EQ(acc.lastType(), 0u);
  EXPECT_EQ(acc.lastSize(), 0u);

  acc.ReadString("Name", out);
  EXPECT_EQ(acc.DeleteValue("Name"), 1);
  EXPECT_EQ(acc.lastType(), 0u);
  EXPECT_EQ(acc.lastSize(), 0u);
  EXPECT_EQ(acc.DeleteValue("Name"), 0);
  EXPECT_EQ(acc.lastError(), ERROR_FILE_NOT_FOUND);

  out = "untouched";
  EXPECT_EQ(acc.ReadString("Name", out), 0);
  EXPECT_EQ(acc.lastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(out, "untouched");

  // A failed write still records what it tried to write.
  reg.FailWrites(true);
  EXPECT_EQ(acc.WriteString("Name", "abc"), 0);
  EXPECT_EQ(acc.lastError(), ERROR_CANTWRITE);
  EXPECT_EQ(acc.lastType(), REG_SZ);
  EXPECT_EQ(acc.lastSize(), 4u);
}

TEST_F(RegAccessTest, ReadStringFitsTwoHundredBytesAndNoMore) {
  Put("Fits", REG_SZ, RegStringBytes(std::string(199, 'a')));     // 200 bytes with terminator
  Put("TooLong", REG_SZ, RegStringBytes(std::string(200, 'b')));  // 201 bytes
  Put("NoTerminator", REG_BINARY, {'x', 'y', 'z'});
  Put("Inner", REG_SZ, {'a', 0, 'b', 0});
  CRegAccess acc(reg, HKCU);
  ASSERT_EQ(acc.OpenKey(HKCU, kKey), 1);

  std::string out;
  EXPECT_EQ(acc.ReadString("Fits", out), 1);
  EXPECT_EQ(out, std::string(199, 'a'));
  EXPECT_EQ(acc.lastSize(), 200u);

  out = "keep";
  EXPECT_EQ(acc.ReadString("TooLong", out), 0);
  EXPECT_EQ(acc.lastError(), ERROR_MORE_DATA);
  EXPECT_EQ(acc.lastSize(), 201u);
  EXPECT_EQ(out, "keep");

  EXPECT_EQ(acc.ReadString("NoTerminator", out), 1);
  EXPECT_EQ(out, "xyz");
  EXPECT_EQ(acc.lastType(), REG_BINARY);
  EXPECT_EQ(acc.ReadString("Inner", out), 1);
  EXPECT_EQ(out, "a");
}

TEST_F(RegAccessTest, AFailedOpenOrACloseLeavesNoKeyToReachTheRoot) {
  // A value of the same name on the root must never be read in its place.
  ASSERT_EQ(reg.CreateKey(HKCU, ""), ERROR_SUCCESS);
  ASSERT_EQ(reg.SetValue(HKCU, "", "Vantrel", REG_SZ, RegStringBytes("root")), ERROR_SUCCESS);
  CRegAccess acc(reg, HKCU);
  std::string out;
  EXPECT_EQ(acc.ReadString("Vantrel", out), 1);  // on the root, as constructed
  EXPECT_EQ(out, "root");

  EXPECT_EQ(acc.OpenKey(HKCU, "Software\\Missing"), 0);
  EXPECT_EQ(acc.lastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(acc.path(), "Software\\Missing");
  EXPECT_FALSE(acc.hasKey());
  out.clear();
  EXPECT_EQ(acc.ReadString("Vantrel", out), 0);
  EXPECT_EQ(acc.lastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(out, "");
  EXPECT_EQ(acc.WriteString("Vantrel", "x"), 0);
  EXPECT_EQ(acc.DeleteValue("Vantrel"), 0);
  EXPECT_EQ(acc.lastError(), ERROR_INVALID_HANDLE);

  ASSERT_EQ(acc.OpenKey(HKCU, kKey), 1);
  EXPECT_EQ(acc.CloseKey(), 1);
  EXPECT_FALSE(acc.hasKey());
  EXPECT_EQ(acc.WriteString("v", "x"), 0);
  EXPECT_EQ(acc.CloseKey(), 1);  // nothing held: nothing to do
  EXPECT_EQ(reg.QueryValue(HKCU, kKey, "v", nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegAccessTest, DeleteKeyTakesTheWholeTree) {
  ASSERT_EQ(reg.CreateKey(HKCU, "Software\\Korbelund\\Tessivane\\Alias\\Sub"), ERROR_SUCCESS);
  ASSERT_EQ(reg.SetValue(HKCU, "Software\\Korbelund\\Tessivane\\Alias\\Sub", "v", REG_SZ,
                         RegStringBytes("x")),
            ERROR_SUCCESS);
  CRegAccess acc(reg, HKCU);
  EXPECT_EQ(acc.DeleteKey(HKCU, "software\\korbelund\\tessivane\\alias"), 1);
  EXPECT_EQ(acc.lastType(), 0u);
  EXPECT_EQ(reg.OpenKey(HKCU, "Software\\Korbelund\\Tessivane\\Alias\\Sub"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(reg.OpenKey(HKCU, kKey), ERROR_SUCCESS);
  EXPECT_EQ(acc.DeleteKey(HKCU, "Software\\Korbelund\\Tessivane\\Alias"), 0);
  EXPECT_EQ(acc.lastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegAccessTest, IntegersBinariesAndKeyHelpers) {
  CRegAccess acc(reg, HKCU);
  EXPECT_EQ(acc.CreateKey(HKCU, "Software\\Korbelund\\Tessivane\\New"), 1);
  EXPECT_EQ(acc.keyPath(), "Software\\Korbelund\\Tessivane\\New");
  EXPECT_EQ(acc.WriteInt("Count", 0x01020304), 1);
  EXPECT_EQ(acc.lastType(), REG_DWORD);
  EXPECT_EQ(acc.lastSize(), 4u);
  uint32_t n = 0;
  EXPECT_EQ(acc.ReadInt("count", n), 1);
  EXPECT_EQ(n, 0x01020304u);

  const std::vector<uint8_t> blob = {9, 0, 8, 0, 7};
  EXPECT_EQ(acc.WriteBinary("Blob", blob), 1);
  std::vector<uint8_t> back;
  EXPECT_EQ(acc.ReadBinary("Blob", back), 1);
  EXPECT_EQ(back, blob);
  EXPECT_EQ(acc.lastType(), REG_BINARY);
  EXPECT_EQ(acc.lastSize(), 5u);
  n = 77;
  EXPECT_EQ(acc.ReadInt("Blob", n), 0);  // not a 32-bit integer
  EXPECT_EQ(n, 77u);

  EXPECT_EQ(acc.ValueExists("BLOB"), 1);
  EXPECT_EQ(acc.ValueExists("Nope"), 0);
  EXPECT_EQ(acc.lastError(), ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(acc.OpenKey(HKCU, "Software\\Korbelund"), 1);
  EXPECT_EQ(acc.OpenRelativeKey("Tessivane\\New"), 1);
  EXPECT_EQ(acc.keyPath(), "Software\\Korbelund\\Tessivane\\New");
  EXPECT_EQ(acc.ValueExists("Count"), 1);
  EXPECT_EQ(acc.OpenRelativeKey("Missing"), 0);
  EXPECT_EQ(acc.OpenRelativeKey("New"), 0);  // no key held any more
  EXPECT_EQ(acc.lastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace vantrel
