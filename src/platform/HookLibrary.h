#pragma once
// The program's side of the hook library that captures the Messenger
// service's pop-ups: StartFunc installs the hook for the window that is to
// receive the captured texts, StopFunc removes it. Only pop-up capture mode
// uses it, which the Linux program never enters; NoHookLibrary stands in.

#include <cstdint>

namespace vantrel {

class IHookLibrary {
 public:
  virtual ~IHookLibrary() = default;
  // window: the receive window that gets the captured texts. Results are not
  // looked at by the program.
  virtual int StartFunc(uintptr_t window) = 0;
  virtual int StopFunc() = 0;
};

class NoHookLibrary : public IHookLibrary {
 public:
  int StartFunc(uintptr_t) override { return 0; }
  int StopFunc() override { return 0; }
};

}  // namespace vantrel
