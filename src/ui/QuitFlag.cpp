#include "ui/QuitFlag.h"

namespace vantrel::ui {

QuitFlag& QuitFlag::Process() {
  static QuitFlag flag;
  return flag;
}

}  // namespace vantrel::ui
