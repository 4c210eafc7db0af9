#pragma once
// The program's side of the hook library that captures the Messenger
// service's pop-ups: StartFunc installs the hook for the window that is to
// receive the captured texts, StopFunc removes it. Only pop-up capture mode
// uses it. NoHookLibrary stands in where there is no library.
//
// Windows hands a captured text to the window itself (WM_COPYDATA). On Linux
// the library's texts arrive on a thread of the program; they wait in the
// hook library's queue, the notifier says (on that thread) that the queue is
// no longer empty, and the user-interface thread takes them with
// TakeCopyData and hands each to its window.

#include <cstdint>
#include <functional>
#include <string>

namespace vantrel {

// One captured text for a window: the copy-data record's dwData and bytes.
struct CapturedCopyData {
  uintptr_t window = 0;
  uintptr_t dwData = 0;
  std::string bytes;
};

class IHookLibrary {
 public:
  virtual ~IHookLibrary() = default;
  // window: the receive window that gets the captured texts. Results are not
  // looked at by the program.
  virtual int StartFunc(uintptr_t window) = 0;
  virtual int StopFunc() = 0;

  // Called, on any thread, when a captured text waits to be taken. Empty:
  // nobody is told.
  virtual void SetCopyDataNotifier(std::function<void()> notifier) { (void)notifier; }
  // The oldest waiting text; false when none waits.
  virtual bool TakeCopyData(CapturedCopyData& out) {
    (void)out;
    return false;
  }
};

class NoHookLibrary : public IHookLibrary {
 public:
  int StartFunc(uintptr_t) override { return 0; }
  int StopFunc() override { return 0; }
};

}  // namespace vantrel
