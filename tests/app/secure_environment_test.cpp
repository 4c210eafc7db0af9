// What a privileged start keeps of its environment.
#include "app/SecureEnvironment.h"

#include <gtest/gtest.h>

namespace vantrel::app {
namespace {

TEST(SecureEnvironment, KeepsTheSessionAndDropsWhatNamesCodeToLoad) {
  const std::vector<std::string> env = {
      "DISPLAY=:0",
      "XDG_RUNTIME_DIR=/run/user/1000",
      "HOME=/home/eve",
      "LANG=zh_CN.UTF-8",
      "LC_CTYPE=zh_CN.UTF-8",
      "QT_QPA_PLATFORM=offscreen",
      "QT_PLUGIN_PATH=/home/eve/evil",
      "QT_QPA_PLATFORM_PLUGIN_PATH=/home/eve/evil",
      "QT_QPA_PLATFORMTHEME=gtk3",
      "GTK_MODULES=evil",
      "GIO_EXTRA_MODULES=/home/eve/evil",
      "LIBGL_DRIVERS_PATH=/home/eve/evil",
      "LD_PRELOAD=/home/eve/evil.so",
      "QML2_IMPORT_PATH=/home/eve/evil",
      "=odd",
      "NOEQUALS",
  };
  EXPECT_EQ(SafeEnvironment(env),
            (std::vector<std::string>{"DISPLAY=:0", "XDG_RUNTIME_DIR=/run/user/1000",
                                      "HOME=/home/eve", "LANG=zh_CN.UTF-8",
                                      "LC_CTYPE=zh_CN.UTF-8", "QT_QPA_PLATFORM=offscreen"}));
  // Started without privilege (as the tests run), the environment stays.
  if (!StartedPrivileged()) {
    EXPECT_FALSE(KeepOnlySafeEnvironment());
  }
}

}  // namespace
}  // namespace vantrel::app
