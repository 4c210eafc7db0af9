#include <gtest/gtest.h>

#include <string>

#include "fakes/FakeSystem.h"
#include "transport/PopupText.h"

namespace vantrel {
namespace {

constexpr std::string_view kNow = "2003-10-20 09:05:07";

TEST(SystemLanguageClass, RangesNotEqualities) {
  EXPECT_EQ(SystemLanguageClass(0), 0);
  EXPECT_EQ(SystemLanguageClass(1031), 0);  // German
  EXPECT_EQ(SystemLanguageClass(1032), 0);
  EXPECT_EQ(SystemLanguageClass(1033), 2);  // English (US)
  EXPECT_EQ(SystemLanguageClass(1041), 2);  // Japanese
  EXPECT_EQ(SystemLanguageClass(2051), 2);
  EXPECT_EQ(SystemLanguageClass(2052), 1);  // Simplified Chinese
  EXPECT_EQ(SystemLanguageClass(2057), 1);  // English (UK)
  EXPECT_EQ(SystemLanguageClass(65535), 1);

  fakes::FakeSystemInfo sys;
  sys.languageId = 2052;
  EXPECT_EQ(SystemLanguageClass(sys), 1);
}

TEST(ParsePopupText, EnglishLayoutCountsSixAndFourFromTheEnd) {
  PopupFields f = ParsePopupText(
      "Message from ALICE to BOB on 20.10.2003 10:00:00\r\n\r\nHello\r\nsecond line", 2, kNow);
  EXPECT_EQ(f.sender, "ALICE");
  EXPECT_EQ(f.receiver, "BOB");
  EXPECT_EQ(f.time, kNow);  // the pop-up's own date is not used
  EXPECT_EQ(f.text, "Hello\r\nsecond line");
}

TEST(ParsePopupText, ChineseLayoutCountsFourAndTwoFromTheEnd) {
  PopupFields f = ParsePopupText("xx yy ALICE x BOB y\nbody", 1, kNow);
  EXPECT_EQ(f.sender, "ALICE");
  EXPECT_EQ(f.receiver, "BOB");
  EXPECT_EQ(f.text, "body");
  // Exactly four words is enough.
  f = ParsePopupText("ALICE x BOB y", 1, kNow);
  EXPECT_EQ(f.sender, "ALICE");
  EXPECT_EQ(f.receiver, "BOB");
  EXPECT_EQ(f.text, "");
}

TEST(ParsePopupText, DoubleBlanksDelimitEmptyWords) {
  // Words from the end: "y", "BOB", "", "ALICE".
  PopupFields f = ParsePopupText("ALICE  BOB y\r\nt", 1, kNow);
  EXPECT_EQ(f.receiver, "BOB");
  EXPECT_EQ(f.sender, "ALICE");
  // Words from the end: "", "y", "BOB", "x": a trailing blank shifts them.
  f = ParsePopupText("ALICE x BOB y \r\nt", 1, kNow);
  EXPECT_EQ(f.receiver, "y");
  EXPECT_EQ(f.sender, "x");
}

TEST(ParsePopupText, FewerWordsThanTheLayoutGiveEmptyNames) {
  for (std::string_view line : {"", " ", "one", "a b c", "Message from ALICE to BOB"}) {
    PopupFields f = ParsePopupText(std::string(line) + "\r\nbody", 2, kNow);
    EXPECT_EQ(f.sender, "") << line;
    EXPECT_EQ(f.receiver, "") << line;
    EXPECT_EQ(f.text, "body");
    EXPECT_EQ(f.time, kNow);
  }
  EXPECT_EQ(ParsePopupText("a b c", 1, kNow).sender, "");
  EXPECT_EQ(ParsePopupText("a b c", 1, kNow).receiver, "");
}

TEST(ParsePopupText, SenderWithColonIsReplacedBySecondWordOfText) {
  PopupFields f = ParsePopupText("Msg CAROL x ALI:CE to BOB on d t\r\nbody", 2, kNow);
  EXPECT_EQ(f.sender, "CAROL");
  EXPECT_EQ(f.receiver, "BOB");
  // Layout 1, the colon word is the first word: the second word replaces it.
  f = ParsePopupText("a:b c d e\r\nbody", 1, kNow);
  EXPECT_EQ(f.sender, "c");
  EXPECT_EQ(f.receiver, "d");
  // An empty second word (two blanks) gives an empty sender.
  f = ParsePopupText("a:b  d e\r\nbody", 1, kNow);
  EXPECT_EQ(f.sender, "");
}

TEST(ParsePopupText, BodySkipsAllLineBreaksAfterTheFirstLine) {
  PopupFields f = ParsePopupText("a b c d\n\r\n\r\r  indented\r\n\r\nlast\r\n", 1, kNow);
  EXPECT_EQ(f.text, "  indented\r\n\r\nlast\r\n");
  EXPECT_EQ(ParsePopupText("a b c d\r\n\r\n", 1, kNow).text, "");
  // The first line ends at CR as well as at LF.
  f = ParsePopupText("a b c d\rbody", 1, kNow);
  EXPECT_EQ(f.receiver, "c");
  EXPECT_EQ(f.text, "body");
}

TEST(ParsePopupText, UnsupportedLanguageLeavesEverythingEmpty) {
  for (int cls : {0, 3, -1}) {
    PopupFields f = ParsePopupText("Message from ALICE to BOB on d t\r\nhi", cls, kNow);
    EXPECT_EQ(f.sender, "");
    EXPECT_EQ(f.receiver, "");
    EXPECT_EQ(f.time, "");
    EXPECT_EQ(f.text, "");
  }
  fakes::FakeSystemInfo sys;
  sys.languageId = 1031;
  EXPECT_EQ(ParsePopupText("a b c d e f\nx", sys).time, "");
  sys.languageId = 1033;
  PopupFields f = ParsePopupText("a b c d e f\nx", sys);
  EXPECT_EQ(f.time, sys.timeText);
  EXPECT_EQ(f.sender, "a");
  EXPECT_EQ(f.receiver, "c");
}

TEST(ParsePopupText, OutputsStayWithinTheCallersBuffers) {
  std::string longWord(40, 'S');
  std::string body(5000, 'b');
  PopupFields f = ParsePopupText(longWord + " x " + longWord + " y\r\n" + body, 1,
                                 "2003-10-20 09:05:07 and more");
  EXPECT_EQ(f.sender, std::string(kPopupSenderMax, 'S'));
  EXPECT_EQ(f.receiver, std::string(kPopupReceiverMax, 'S'));
  EXPECT_EQ(f.time, "2003-10-20 09:05:07");
  EXPECT_EQ(f.text, std::string(kPopupTextMax, 'b'));
  // Replacement sender is bounded too.
  f = ParsePopupText("a " + longWord + " :c x d e\r\n", 1, kNow);
  EXPECT_EQ(f.sender, std::string(kPopupSenderMax, 'S'));
}

TEST(ParsePopupText, TextEndsAtItsFirstZeroByte) {
  using namespace std::string_view_literals;
  PopupFields f = ParsePopupText("a b c d\r\nbo\0dy"sv, 1, kNow);
  EXPECT_EQ(f.text, "bo");
  f = ParsePopupText("a b\0 c d\r\nbody"sv, 1, kNow);
  EXPECT_EQ(f.sender, "");
  EXPECT_EQ(f.text, "");
}

}  // namespace
}  // namespace vantrel
