#include <gtest/gtest.h>

#include <climits>

#include "directory/AddressBook.h"
#include "fakes/FakeRegistry.h"

namespace vantrel {
namespace {

class AddressBookTest : public ::testing::Test {
 protected:
  fakes::FakeRegistry reg;
  Profile profile{reg};
};

TEST_F(AddressBookTest, EmptyBookGivesDefaults) {
  // No program key at all.
  EXPECT_EQ(ResolveAlias(profile, "Bob"), "Bob");
  EXPECT_EQ(ResolveAlias(profile, ""), "");
  EXPECT_EQ(GetBlackListMask(profile, "PC2"), 0);
  EXPECT_EQ(GetBlackListMask(profile, ""), 0);
}

TEST_F(AddressBookTest, ResolveAliasFindsAliasWithoutCaseAndKeepsOtherNames) {
  ASSERT_TRUE(profile.WriteString(kAlias1Section, "BOB", "PC-BOB"));
  ASSERT_TRUE(profile.WriteString(kAlias1Section, "PC1", "PC7"));
  EXPECT_EQ(ResolveAlias(profile, "bob"), "PC-BOB");
  EXPECT_EQ(ResolveAlias(profile, "BOB"), "PC-BOB");
  // Not an alias: unchanged, case included.
  EXPECT_EQ(ResolveAlias(profile, "caRoL"), "caRoL");
  // An alias hides a computer of the same name.
  EXPECT_EQ(ResolveAlias(profile, "pc1"), "PC7");
  // Other sections are not alias sources.
  ASSERT_TRUE(profile.WriteString(kAliasSection, "dave", "X"));
  EXPECT_EQ(ResolveAlias(profile, "dave"), "dave");
}

TEST_F(AddressBookTest, BlackListMaskReadsDecimalText) {
  ASSERT_TRUE(profile.WriteString(kBlackListSection, "PC2", "12"));
  ASSERT_TRUE(profile.WriteString(kBlackListSection, "PC3", "x"));
  ASSERT_TRUE(profile.WriteString(kBlackListSection, "PC4", "  5 junk"));
  EXPECT_EQ(GetBlackListMask(profile, "pc2"), BL_NO_POPUP_P2P | BL_NO_POPUP_BC);
  EXPECT_EQ(GetBlackListMask(profile, "PC3"), 0);
  EXPECT_EQ(GetBlackListMask(profile, "PC4"), BL_NO_RESPONSE_P2P | BL_NO_POPUP_P2P);
  EXPECT_EQ(GetBlackListMask(profile, "PC5"), 0);
  // A value of another type reads as the default.
  ASSERT_TRUE(profile.WriteInt(kBlackListSection, "PC6", 15));
  EXPECT_EQ(GetBlackListMask(profile, "PC6"), 0);
}

TEST(StringToInt, BehavesLikeTheStandardConversion) {
  EXPECT_EQ(StringToInt(""), 0);
  EXPECT_EQ(StringToInt("x"), 0);
  EXPECT_EQ(StringToInt("  12abc"), 12);
  EXPECT_EQ(StringToInt("\t\n+7"), 7);
  EXPECT_EQ(StringToInt("-3"), -3);
  EXPECT_EQ(StringToInt("- 3"), 0);
  EXPECT_EQ(StringToInt("+-3"), 0);
  EXPECT_EQ(StringToInt("007"), 7);
  EXPECT_EQ(StringToInt("2147483647"), INT_MAX);
  EXPECT_EQ(StringToInt("-2147483648"), INT_MIN);
  EXPECT_EQ(StringToInt("2147483648"), INT_MAX);
  EXPECT_EQ(StringToInt("99999999999999999999999999"), INT_MAX);
  EXPECT_EQ(StringToInt("-99999999999999999999999999"), INT_MIN);
}

TEST(IsPersonToPerson, ComparesWithoutCase) {
  EXPECT_TRUE(IsPersonToPerson("pc1", "PC1"));
  EXPECT_FALSE(IsPersonToPerson("PC1X", "PC1"));
  EXPECT_FALSE(IsPersonToPerson("WORKGROUP", "PC1"));
  EXPECT_FALSE(IsPersonToPerson("", "PC1"));
}

}  // namespace
}  // namespace vantrel
