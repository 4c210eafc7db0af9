// The limits on automatic answers: what is no computer name, the workgroup,
// one answer per name per 5 s, 5 answers a second.
#include "receive/AnswerGate.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

class AnswerGateTest : public ::testing::Test {
 protected:
  AnswerGate gate{[this] { return now; },
                  [](std::string_view name) { return name == "LANFOLK" || name == "lanfolk"; }};
  AnswerGate::Clock::time_point now{};
};

TEST_F(AnswerGateTest, OnlyComputerNamesAreAnswered) {
  EXPECT_TRUE(gate.Allow("ALICE"));
  EXPECT_TRUE(gate.Allow("a-b_c$"));
  EXPECT_TRUE(gate.Allow("\xD5\xC5\xC8\xFD"));  // a CP936 name
  for (const char* name : {"198.18.78.13", "host.example.org", "", "SIXTEEN-LETTERS!", "A\r\nB",
                           "A*", "WHO?", "A\\B"}) {
    EXPECT_FALSE(gate.Allow(name)) << name;
  }
  EXPECT_FALSE(gate.Allow("LANFOLK"));  // the workgroup: every host would answer
  EXPECT_EQ(gate.Counters().allowed, 3u);
  EXPECT_EQ(gate.Counters().notAComputerName, 8u);
  EXPECT_EQ(gate.Counters().knownGroup, 1u);
}

TEST_F(AnswerGateTest, OneAnswerPerNameInFiveSeconds) {
  EXPECT_TRUE(gate.Allow("BOB"));
  now += 4999ms;
  EXPECT_FALSE(gate.Allow("bob"));  // the same name in another case
  now += 1ms;
  EXPECT_TRUE(gate.Allow("BOB"));
  EXPECT_EQ(gate.Counters().sameNameTooSoon, 1u);
}

TEST_F(AnswerGateTest, AtMostFiveAnswersASecondWhateverTheNames) {
  int allowed = 0;
  // 100,000 datagrams, each with a new sender, over 10 seconds.
  for (int i = 0; i < 100000; ++i) {
    now += 100us;
    if (gate.Allow("S" + std::to_string(i))) ++allowed;
  }
  EXPECT_LE(allowed, 50);
  EXPECT_GE(allowed, 45);
  EXPECT_EQ(gate.Counters().allowed + gate.Counters().Dropped(), 100000u);
  // One ordinary message after the flood is answered again at once.
  now += 5s;
  EXPECT_TRUE(gate.Allow("CAROL"));
}

}  // namespace
}  // namespace vantrel
