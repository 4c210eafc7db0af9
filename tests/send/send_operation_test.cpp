#include "send/SendOperation.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "directory/NetEnum.h"

namespace vantrel {
namespace {

// Records sends and boxes in one log, in the order they happen.
struct Recorder {
  std::set<std::string> reachable;
  int captureMode = 0;
  std::vector<std::string> log;

  SendServices Services(INetworkDirectory* directory = nullptr) {
    SendServices s;
    s.sendDatagram = [this](std::string_view sender, std::string_view name, std::string_view text) {
      log.push_back("send " + std::string(sender) + ">" + std::string(name) + ":" +
                    std::string(text));
      return reachable.count(std::string(name)) ? 1 : 0;
    };
    s.directory = directory;
    s.isPopupCaptureMode = [this] { return captureMode; };
    s.showBox = [this](std::string_view text) { log.push_back("box " + std::string(text)); };
    return s;
  }
};

using Log = std::vector<std::string>;

TEST(SendOperation, ValidatesReceiverThenSenderThenMessage) {
  Recorder r;
  SendHistory history;
  SendFields allEmpty{" \t ", "", ""};
  EXPECT_EQ(RunSendOperation(allEmpty, history, r.Services()), SendOutcome::kRejected);
  SendFields noSender{"BOB", "", ""};
  EXPECT_EQ(RunSendOperation(noSender, history, r.Services()), SendOutcome::kRejected);
  SendFields noMessage{"BOB", "PC1", ""};
  EXPECT_EQ(RunSendOperation(noMessage, history, r.Services()), SendOutcome::kRejected);
  EXPECT_EQ(r.log, (Log{"box Please select a valid reciever.", "box Invalid sender.",
                        "box Please input an valid message."}));
  EXPECT_TRUE(history.empty());
}

TEST(SendOperation, OnlyTheLastNamesResultCounts) {
  Recorder r;
  r.reachable = {"BOB"};
  SendHistory history;
  SendFields fields{"  BOB ALICE ", "PC1", "hi"};
  EXPECT_EQ(RunSendOperation(fields, history, r.Services()), SendOutcome::kFailed);
  EXPECT_EQ(r.log, (Log{"send PC1>BOB:hi", "send PC1>ALICE:hi", "box Sorry, send failed."}));
  EXPECT_EQ(fields.receiverLine, "BOB ALICE");
  ASSERT_EQ(history.size(), 1u);  // recorded although it failed
  EXPECT_EQ(history.pairs()[0].receiverLine, "BOB ALICE");

  r.log.clear();
  SendFields reversed{"ALICE BOB", "PC1", "hi"};
  EXPECT_EQ(RunSendOperation(reversed, history, r.Services()), SendOutcome::kSent);
  EXPECT_EQ(r.log, (Log{"send PC1>ALICE:hi", "send PC1>BOB:hi"}));
}

TEST(SendOperation, CaptureModeKeepsAFailureQuiet) {
  Recorder r;
  r.captureMode = 1;
  SendHistory history;
  SendFields fields{"NOBODY", "PC1", "hi"};
  EXPECT_EQ(RunSendOperation(fields, history, r.Services()), SendOutcome::kFailed);
  EXPECT_EQ(r.log, (Log{"send PC1>NOBODY:hi"}));
  EXPECT_EQ(history.size(), 1u);
}

TEST(SendOperation, DotDotWithoutGroupsFailsWithoutSending) {
  Recorder r;
  NullNetworkDirectory none;
  SendHistory history;
  SendFields fields{" .. ", "PC1", "hi"};
  EXPECT_EQ(RunSendOperation(fields, history, r.Services(&none)), SendOutcome::kFailed);
  EXPECT_EQ(r.log, (Log{"box Sorry, send failed."}));
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history.pairs()[0].receiverLine, "..");
}

TEST(SendOperation, WithoutASendFunctionNothingIsSentAndTheFailureIsShown) {
  Recorder r;
  SendServices services = r.Services();
  services.sendDatagram = nullptr;
  services.isPopupCaptureMode = nullptr;  // answers 0
  SendHistory history;
  SendFields fields{"BOB", "PC1", "hi"};
  EXPECT_EQ(RunSendOperation(fields, history, services), SendOutcome::kFailed);
  EXPECT_EQ(r.log, (Log{"box Sorry, send failed."}));
}

TEST(SendOperation, TooLongForAnyNameIsRefusedWholeBeforeTheFirstSend) {
  Recorder r;
  r.reachable = {"BOB", "ALICE"};
  SendServices services = r.Services();
  services.payloadSize = [&r](std::string_view sender, std::string_view name,
                              std::string_view text) {
    r.log.push_back("size " + std::string(name));
    return sender.size() + name.size() + text.size() + 2;
  };
  SendHistory history;
  // 3 + 3 + 416 + 2 = 424 bytes for BOB go; ALICE makes 426.
  SendFields fields{"BOB ALICE", "PC1", std::string(416, 'x')};
  EXPECT_EQ(RunSendOperation(fields, history, services), SendOutcome::kRejected);
  EXPECT_EQ(r.log, (Log{"size BOB", "size ALICE", "box " + TooLongText(2)}));
  EXPECT_TRUE(history.empty());

  r.log.clear();
  SendFields one{"BOB", "PC1", std::string(416, 'x')};
  EXPECT_EQ(RunSendOperation(one, history, services), SendOutcome::kSent);
  ASSERT_EQ(r.log.size(), 2u);
  EXPECT_EQ(r.log[0], "size BOB");
  EXPECT_EQ(TooLongText(1),
            "Sorry, the message is 1 byte too long. Sender, receiver and message "
            "together can hold at most 424 bytes.");
}

}  // namespace
}  // namespace vantrel
