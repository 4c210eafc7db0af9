#pragma once
// The Quit flag: set by the Exit command of the icon menu, read by the main
// windows' close handling. While it is clear, closing a main window only hides
// it; once it is set, closing destroys the window and so ends the program.

namespace vantrel::ui {

class QuitFlag {
 public:
  // The one flag of the process, shared by the receive window and the Send dialog.
  static QuitFlag& Process();

  bool isSet() const { return set_; }
  void Set() { set_ = true; }
  void Clear() { set_ = false; }

 private:
  bool set_ = false;
};

}  // namespace vantrel::ui
