#include "send/ReceiverLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directory/NetEnum.h"
#include "fakes/FakeNetworkDirectory.h"

namespace vantrel {
namespace {

using Names = std::vector<std::string>;

// A network whose one provider lists the given domains (each holding a
// computer, which ".." must not pick up).
class ListedDirectory : public fakes::FakeNetworkDirectory {
 public:
  explicit ListedDirectory(const Names& domains) {
    top = {fakes::Provider("SMB")};
    for (const std::string& d : domains) {
      top[0].children.push_back(fakes::Domain(d, {fakes::Server("PC-" + d)}));
    }
  }
  std::unique_ptr<INetworkSession> OpenSession() override {
    ++calls;
    return FakeNetworkDirectory::OpenSession();
  }
  int calls = 0;
};

TEST(ReceiverLine, TrimBlanksRemovesOuterBlanksAndTabsOnly) {
  EXPECT_EQ(TrimBlanks("  BOB   ALICE "), "BOB   ALICE");
  EXPECT_EQ(TrimBlanks("\t BOB\tALICE \t"), "BOB\tALICE");
  EXPECT_EQ(TrimBlanks(" \t  "), "");
  EXPECT_EQ(TrimBlanks(""), "");
  EXPECT_EQ(TrimBlanks("\nBOB\r"), "\nBOB\r");  // only blanks and tabs are trimmed
}

TEST(ReceiverLine, SplitsAtBlanksOnlyAndRunsCountAsOneSeparator) {
  EXPECT_EQ(SplitReceivers("BOB   ALICE"), (Names{"BOB", "ALICE"}));
  EXPECT_EQ(SplitReceivers("  BOB   ALICE "), (Names{"BOB", "ALICE"}));
  EXPECT_EQ(SplitReceivers("BOB\tALICE CARL"), (Names{"BOB\tALICE", "CARL"}));
  EXPECT_EQ(SplitReceivers("   "), Names{});
  EXPECT_EQ(SplitReceivers(""), Names{});
  EXPECT_EQ(SplitReceivers("X"), Names{"X"});
}

TEST(ReceiverLine, OnlyTheWholeLineDotDotIsExpandedToTheDomains) {
  ListedDirectory directory({"HOME", "LAB"});
  EXPECT_EQ(ExpandReceiverLine("..", &directory), (Names{"HOME", "LAB"}));
  EXPECT_EQ(directory.calls, 1);

  EXPECT_EQ(ExpandReceiverLine(".. BOB", &directory), (Names{"..", "BOB"}));
  EXPECT_EQ(ExpandReceiverLine("...", &directory), Names{"..."});
  EXPECT_EQ(ExpandReceiverLine("BOB ..", &directory), (Names{"BOB", ".."}));
  EXPECT_EQ(directory.calls, 1);  // the network is asked only for ".."
}

TEST(ReceiverLine, DomainNamesStayWholeAndEmptyOnesAreLeftOut) {
  ListedDirectory directory({"MY GROUP", "", "LAB"});
  EXPECT_EQ(ExpandReceiverLine("..", &directory), (Names{"MY GROUP", "LAB"}));

  NullNetworkDirectory none;
  EXPECT_EQ(ExpandReceiverLine("..", &none), Names{});
  EXPECT_EQ(ExpandReceiverLine("..", nullptr), Names{});
}

}  // namespace
}  // namespace vantrel
