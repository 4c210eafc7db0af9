// Sending with the address book and the can't-find-name box.
#include "send/MessageSender.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "fakes/FakeNameCheck.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "platform/linux/IconvCodePage.h"
#include "transport/CaptureNetwork.h"

namespace vantrel {
namespace {

using testnet::Nic;

class MessageSenderTest : public ::testing::Test {
 protected:
  explicit MessageSenderTest(uint32_t codePage = 1252)
      : profile(reg),
        identity(MakeIdentity("PC1", "WORKGROUP", {}, {})),
        messenger(check, net, identity),
        sender(profile, messenger, box, iconv, codePage) {
    net.nics = {Nic("eth0", Ipv4Address::FromOctets(198, 18, 0, 2),
                    Ipv4Address::FromOctets(255, 255, 255, 0))};
    check.find["BOB"] = 1;
    check.targets["BOB"] = {Ipv4Address::FromOctets(198, 18, 0, 7), false};
  }

  std::string Payload(size_t i) { return testnet::MessengerPayload(net.sent.at(i)); }

  fakes::FakeRegistry reg;
  Profile profile;
  fakes::ScriptedNameCheck check;
  testnet::CaptureNetwork net;
  fakes::RecordingMessageBox box;
  linux::IconvCodePage iconv;
  Identity identity;
  Messenger messenger;
  MessageSender sender;
};

TEST_F(MessageSenderTest, AliasIsTranslatedBeforeCheckAndDatagram) {
  ASSERT_TRUE(profile.WriteString("Alias1", "bobby", "BOB"));
  ASSERT_EQ(sender.SendMessengerDatagram("PC1", "BOBBY", "hi"), 1);
  EXPECT_EQ(check.calls.front(), "find BOB");
  EXPECT_EQ(sender.LastName(), "BOB");
  EXPECT_EQ(Payload(0), std::string("PC1\0BOB\0hi", 10));
  EXPECT_EQ(sender.PayloadSize("PC1", "bobby", "hi"), 10u);
  // The box names the translated name, as soon as the check has failed.
  ASSERT_TRUE(profile.WriteString("Alias1", "ghost", "NOBODY"));
  EXPECT_EQ(sender.SendMessengerDatagram("PC1", "ghost", "hi"), 0);
  EXPECT_EQ(sender.LastFailure(), SendFailure::kNotFound);
  EXPECT_EQ(box.shown, std::vector<std::string>{"Sorry, can't find name \"NOBODY\" in network."});
  EXPECT_EQ(sender.PayloadSize("PC1", "ghost", "hi"), 13u);
}

TEST_F(MessageSenderTest, OnlyAPersonIsToldOfAMissingName) {
  EXPECT_EQ(sender.SendMessengerDatagram("~PC1", "nobody", "x"), 0);
  EXPECT_EQ(sender.LastFailure(), SendFailure::kNotFound);
  EXPECT_TRUE(box.shown.empty());
  // Other failures are the caller's to report; no receiver asks nothing.
  EXPECT_EQ(sender.SendMessengerDatagram("PC1", "~", "x"), 0);
  EXPECT_EQ(sender.SendMessengerDatagram("PC1", std::string_view("\0BOB", 4), "x"), 0);
  EXPECT_EQ(sender.LastFailure(), SendFailure::kNoReceiver);
  check.find["GONE"] = 1;
  EXPECT_EQ(sender.SendMessengerDatagram("PC1", "GONE", "x"), 0);
  EXPECT_EQ(sender.LastFailure(), SendFailure::kCannotOpen);
  EXPECT_TRUE(box.shown.empty());
  EXPECT_TRUE(net.sent.empty());
}

// The box text is UTF-8 converted from the system code page, whatever the
// locale of the process says.
class MessageSenderCodePageTest : public MessageSenderTest {
 protected:
  explicit MessageSenderCodePageTest(uint32_t codePage) : MessageSenderTest(codePage) {
    const char* current = std::setlocale(LC_ALL, nullptr);
    saved_ = current ? current : "C";
    if (!std::setlocale(LC_ALL, "C.UTF-8")) std::setlocale(LC_ALL, "C.utf8");
  }
  ~MessageSenderCodePageTest() override { std::setlocale(LC_ALL, saved_.c_str()); }

 private:
  std::string saved_;
};

class Cp1252Sender : public MessageSenderCodePageTest {
 protected:
  Cp1252Sender() : MessageSenderCodePageTest(1252) {}
};

class Cp936Sender : public MessageSenderCodePageTest {
 protected:
  Cp936Sender() : MessageSenderCodePageTest(936) {}
};

TEST_F(Cp1252Sender, NonAsciiNameInTheBoxIsDecodedWithTheCodePage) {
  EXPECT_EQ(sender.SendMessengerDatagram("PC1", "J\xD6RG", "x"), 0);  // JÖRG in CP1252
  EXPECT_EQ(box.shown,
            std::vector<std::string>{"Sorry, can't find name \"J\xC3\x96RG\" in network."});
}

TEST_F(Cp936Sender, NonAsciiNameInTheBoxIsDecodedWithTheCodePage) {
  // 张三 in CP936 (GBK).
  EXPECT_EQ(sender.SendMessengerDatagram("PC1", "\xD5\xC5\xC8\xFD", "x"), 0);
  EXPECT_EQ(box.shown, std::vector<std::string>{
                           "Sorry, can't find name \"\xE5\xBC\xA0\xE4\xB8\x89\" in network."});
}

}  // namespace
}  // namespace vantrel
