#include <gtest/gtest.h>

#include "net/HeaderList.h"
#include "net/HttpDate.h"

namespace zelvaro {
namespace {

TEST(HeaderList, NamesAreCaseBlindAndContinuationLinesJoin) {
  THeaderList h;
  h.Add("Content-Type: text/html");
  h.Add("X-Long: part one");
  h.Add("   part two");
  h.Add("\tpart three  ");
  h.Add("Set-Cookie: a=1");
  h.Add("set-cookie: b=2");
  h.Add("Content-Length:   123  ");
  EXPECT_EQ(h.Value("content-type"), "text/html");
  EXPECT_EQ(h.Value("X-LONG"), "part one part two part three");
  EXPECT_EQ(h.Value("Content-Length"), "123");
  EXPECT_EQ(h.Value("Missing"), "");
  EXPECT_EQ(h.Values("SET-COOKIE"), (std::vector<std::string>{"a=1", "b=2"}));
  EXPECT_TRUE(h.Has("x-long"));
  EXPECT_FALSE(h.Has("part two"));
}

TEST(HeaderList, SetReplacesInPlaceAppendsAndDeletes) {
  THeaderList h;
  h.Add("A: 1");
  h.Add("B: 2");
  h.Add(" more");
  h.Add("C: 3");
  h.SetValue("b", "two");
  EXPECT_EQ(h.Lines(), (std::vector<std::string>{"A: 1", "b: two", "C: 3"}));
  h.SetValue("D", "4");
  EXPECT_EQ(h.Lines().back(), "D: 4");
  h.SetValue("a", "");
  EXPECT_EQ(h.Lines(), (std::vector<std::string>{"b: two", "C: 3", "D: 4"}));
  h.SetValue("Nothing", "");
  EXPECT_EQ(h.Count(), 3u);
}

TEST(HeaderList, FoldsLongLinesAtAllowedPlaces) {
  // Breaks after a blank or comma, within the length where it can.
  auto pieces = FoldLine("X-List: alpha, beta, gamma, delta", 20);
  ASSERT_GE(pieces.size(), 2u);
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) {
      EXPECT_EQ(pieces[i][0], ' ');
    }
    EXPECT_LE(pieces[i].size(), 20u) << pieces[i];
  }
  // Nothing inside double quotes is a break.
  auto quoted = FoldLine("X: \"a, b, c, d, e, f, g\" tail", 12);
  EXPECT_EQ(quoted[0], "X:");
  EXPECT_EQ(quoted[1], " \"a, b, c, d, e, f, g\"");
  // A line without a place to break stays whole; a short line is untouched.
  EXPECT_EQ(FoldLine(std::string(100, 'x'), 20).size(), 1u);
  EXPECT_EQ(FoldLine("A: b", 78), (std::vector<std::string>{"A: b"}));

  // Folded text reads back as the same value (blanks around breaks aside).
  THeaderList h(20);
  h.AddValue("X-List", "alpha, beta, gamma, delta");
  THeaderList back;
  std::string text = h.Text();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    back.Add(text.substr(pos, end - pos));
    pos = end + 2;
  }
  EXPECT_EQ(back.Value("x-list"), "alpha, beta, gamma, delta");
}

TEST(HttpDate, ReadsTheFormsServersSend) {
  const char* forms[] = {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                         "Sun Nov  6 08:49:37 1994", "Sun, 06-Nov-1994 08:49:37 GMT"};
  for (const char* form : forms) {
    auto when = ParseHttpDate(form);
    ASSERT_TRUE(when.has_value()) << form;
    EXPECT_EQ(FormatHttpDate(*when), "Sun, 06 Nov 1994 08:49:37 GMT") << form;
  }
  for (const char* bad : {"", "0", "-1", "yesterday", "Sun, 31 Feb 2021 10:00:00 GMT"}) {
    EXPECT_FALSE(ParseHttpDate(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace zelvaro
