#include "app/QuitFlag.h"

namespace vantrel::app {

QuitFlag& QuitFlag::Process() {
  static QuitFlag flag;
  return flag;
}

}  // namespace vantrel::app
