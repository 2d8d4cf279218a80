#include <gtest/gtest.h>

#include "regex/untRegex.h"

namespace zelvaro {
namespace {

TEST(RegexSmoke, ProgramPatterns) {
  TRegex re;
  re.SetExpression(".+\\(([0-9 ]+):[0-9]+\\/([0-9]+):([0-9]+):[0-9]+\\)");
  ASSERT_TRUE(re.Exec("x( 1:30/01:02:03)"));
  EXPECT_EQ(re.GroupText(1), " 1");
  EXPECT_EQ(re.GroupText(2), "01");
  EXPECT_EQ(re.GroupText(3), "02");
}

}  // namespace
}  // namespace zelvaro
