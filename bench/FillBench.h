#pragma once
// What the benchmarks of the windows that list the network (Select Receiver,
// User Info) share: the network they fill from, the offscreen start with
// --runs, and the timing of cases run in turn (the fastest thread CPU time of
// each).

#include <QApplication>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "directory/NetworkList.h"
#include "res/Resources.h"

namespace vantrel::bench {

inline std::string WorkgroupName(int g) { return "WORKGROUP" + std::to_string(g); }

// groups workgroups of perGroup computers each, PC0, PC1, ...; every third
// computer has a comment.
inline NetworkNameList MakeNetwork(int groups, int perGroup) {
  NetworkNameList list;
  list.reserve(static_cast<size_t>(groups * (perGroup + 1)));
  int pc = 0;
  for (int g = 0; g < groups; ++g) {
    list.push_back(WorkgroupName(g));
    for (int c = 0; c < perGroup; ++c, ++pc) {
      std::string entry = "\\\\PC" + std::to_string(pc);
      if (pc % 3 == 0) entry += " Desk " + std::to_string(pc % 97);
      list.push_back(std::move(entry));
    }
  }
  return list;
}

// The start of a window benchmark, made first thing in main: the application
// (offscreen unless a platform is chosen), the resources, and the --runs N of
// the command line (15 without it).
class BenchApp {
 public:
  BenchApp(int& argc, char** argv) : app_(Offscreen(argc), argv), runs_(RunsOf(argc, argv)) {
    res::InitResources();
  }
  int runs() const { return runs_; }

 private:
  // Before the application is made; gives argc back for it.
  static int& Offscreen(int& argc) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return argc;
  }
  static int RunsOf(int argc, char** argv) {
    int runs = 15;
    for (int i = 1; i + 1 < argc; ++i) {
      if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    }
    return runs;
  }

  QApplication app_;
  int runs_;
};

inline void Settle() {
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
}

// CPU time of this thread in ms: other programs on the machine disturb it
// far less than wall time.
inline double ThreadMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct Case {
  std::function<void()> prepare;  // untimed
  std::function<void()> op;
  std::vector<double> ms;
};

// Runs the cases in turn, runs times over, so that they share whatever the
// machine does meanwhile; each case's figure is its fastest run.
inline std::vector<double> FastestMs(int runs, std::vector<Case> cases) {
  for (int r = 0; r < runs; ++r) {
    for (Case& c : cases) {
      c.prepare();
      const double start = ThreadMs();
      c.op();
      c.ms.push_back(ThreadMs() - start);
    }
  }
  std::vector<double> best;
  for (const Case& c : cases) best.push_back(*std::min_element(c.ms.begin(), c.ms.end()));
  return best;
}

// Bytes of the network list as the bare fills show them.
inline QString Text(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace vantrel::bench
