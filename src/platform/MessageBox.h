#pragma once
// Every box the program shows goes through this one interface: modal, the
// exclamation icon, an OK button and the caption "Tessivane". The GUI installs
// the real box; tests install a recorder.

#include <string_view>

namespace vantrel {

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  virtual void Show(std::string_view text) = 0;
};

}  // namespace vantrel
