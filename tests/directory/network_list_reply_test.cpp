// The running program's answer to a list request, as vantrel-send reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directory/NetworkList.h"

namespace vantrel {
namespace {

using namespace std::literals;

std::optional<NetworkNameList> Decode(std::string_view bytes) {
  return DecodeNetworkListReply(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

TEST(NetworkListReply, RoundTripsAndEveryStrictPrefixIsRefused) {
  const NetworkNameList list = {"LAB", "\\\\SAMBA Lab file server", "", "\\\\K\xD6NIG"};
  const std::string reply = EncodeNetworkListReply(list);
  EXPECT_EQ(reply, std::string("LIST 4\nLAB\0\\\\SAMBA Lab file server\0\0\\\\K\xD6NIG\0", 44));
  EXPECT_EQ(Decode(reply), list);
  for (size_t n = 0; n < reply.size(); ++n) {
    EXPECT_EQ(Decode(reply.substr(0, n)), std::nullopt) << "prefix of " << n;
  }
  EXPECT_EQ(Decode("LIST 0\n"sv), NetworkNameList{});
}

TEST(NetworkListReply, WhatIsNotAListIsRefused) {
  EXPECT_EQ(Decode(""), std::nullopt);  // an older program closes without answering
  EXPECT_EQ(Decode("ShowAndActivate\n"), std::nullopt);
  EXPECT_EQ(Decode("LIST \n"), std::nullopt);
  EXPECT_EQ(Decode("LIST x\n"), std::nullopt);
  EXPECT_EQ(Decode("LIST 1\nA\0B\0"sv), std::nullopt);     // more than counted
  EXPECT_EQ(Decode("LIST 0000001\nA\0"sv), std::nullopt);  // seven digits
  EXPECT_EQ(Decode("LIST 65537\n"sv), std::nullopt);       // too many entries
  EXPECT_EQ(Decode("LIST 999999\nA\0"sv), std::nullopt);   // fewer than counted
  EXPECT_EQ(Decode("LIST 1\n" + std::string(64, 'A') + std::string(1, '\0')), std::nullopt);
  EXPECT_EQ(Decode("LIST 1\n" + std::string(63, 'A') + std::string(1, '\0')),
            NetworkNameList{std::string(63, 'A')});
}

TEST(NetworkListReply, EncodingCutsWhatCouldNotBeSentWhole) {
  const NetworkNameList list = {std::string(100, 'C'), std::string("AB\0CD", 5)};
  EXPECT_EQ(Decode(EncodeNetworkListReply(list)), (NetworkNameList{std::string(63, 'C'), "AB"}));
}

}  // namespace
}  // namespace vantrel
