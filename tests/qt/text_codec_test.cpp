#include <gtest/gtest.h>

#include "platform/linux/IconvCodePage.h"
#include "ui/TextCodec.h"

namespace vantrel::ui {
namespace {

TEST(TextCodec, ConvertsBetweenQStringAndCodePageBytes) {
  linux::IconvCodePage iconv;
  TextCodec gbk(iconv, 936);
  EXPECT_EQ(gbk.ToQString("\xD6\xD0 ok"), QString::fromUtf8("\xE4\xB8\xAD ok"));
  size_t bad = 99;
  EXPECT_EQ(gbk.FromQString(QString::fromUtf8("\xE4\xB8\xAD ok"), &bad), "\xD6\xD0 ok");
  EXPECT_EQ(bad, 0u);

  TextCodec western(iconv, 1252);
  EXPECT_EQ(western.ToQString("a\x81"), QStringLiteral("a") + QChar(0xFFFD));
  EXPECT_EQ(western.FromQString(QString::fromUtf8("\xE4\xB8\xAD\xC3\xA9"), &bad), "?\xE9");
  EXPECT_EQ(bad, 1u);
  EXPECT_EQ(western.FromQString(QString()), "");
}

}  // namespace
}  // namespace vantrel::ui
