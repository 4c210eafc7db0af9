#include "platform/Network.h"

namespace vantrel {

const char* BindFailureText(BindFailure failure) {
  switch (failure) {
    case BindFailure::None:
      return "bound";
    case BindFailure::InUse:
      return "in use by another process";
    case BindFailure::NoPermission:
      return "no permission";
    case BindFailure::Other:
      break;
  }
  return "cannot bind";
}

}  // namespace vantrel
