#include "receive/BeepService.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeSystem.h"

namespace vantrel {
namespace {

TEST(BeepServiceTest, BeepServiceCommandLinesAreHandedToTheRunner) {
  EXPECT_EQ(BeepServiceCommandLine(true), "net stop  beep");
  EXPECT_EQ(BeepServiceCommandLine(true).size(), 14u);
  EXPECT_EQ(BeepServiceCommandLine(false), "net start  beep");
  EXPECT_EQ(BeepServiceCommandLine(false).size(), 15u);

  fakes::FakeSystemInfo sys;
  sys.runResult = 2;  // a failing command is not reported
  RunBeepServiceCommand(sys, true);
  RunBeepServiceCommand(sys, false);
  EXPECT_EQ(sys.commands, (std::vector<std::string>{"net stop  beep", "net start  beep"}));
}

}  // namespace
}  // namespace vantrel
