#include <gtest/gtest.h>

#include "game/RecordRefresh.h"
#include "tests/game/ReadKif.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using Lines = std::vector<std::u16string>;

// Kings walking up and down for `moves` moves, then `after`.
Lines Kings(int moves, const Lines& after = {}, std::u16string_view sente = u"先手：甲") {
  Lines lines = {std::u16string(sente), u"棋戦：順位戦"};
  for (int n = 1; n <= moves; ++n) {
    const bool out = ((n + 1) / 2) % 2 == 1;
    const char16_t* move =
        n % 2 ? (out ? u"５八玉(59)" : u"５九玉(58)") : (out ? u"５二玉(51)" : u"５一玉(52)");
    char number[8];
    std::snprintf(number, sizeof number, "%4d ", n);
    lines.push_back(Utf8ToUtf16(number) + move + u"   ( 0:01/00:00:01)");
  }
  lines.insert(lines.end(), after.begin(), after.end());
  return lines;
}

const auto Read = testing::ReadKif;

const Lines kVariation = {u"変化：2手", u"   2 ８四歩(83)   ( 0:01/00:00:01)",
                          u"   3 ７六歩(77)   ( 0:01/00:00:01)"};

TEST(PlanRefresh, WhatStaysOnShow) {
  struct Case {
    const char* name;
    Lines shown;
    int selected, shown_row;
    Lines fresh;
    int select;
    bool reselect;
    int picture_row;  // -1: the picture stays
    bool document;
  } cases[] = {
      {"following moves to the new end", Kings(5), 5, 5, Kings(7), 7, true, 7, true},
      {"reviewing keeps the row", Kings(5), 3, 3, Kings(7), 3, false, -1, false},
      {"a corrected move is shown", Kings(5), 4, 4,
       Kings(3, {u"   4 ４二玉(51)   ( 0:01/00:00:01)", u"   5 ５九玉(58)"}), 4, false, 4, true},
      {"commentary after the newest move", Kings(5), 5, 5, Kings(5, {u"*解説"}), 5, false, -1,
       true},
      {"a row that is gone: the new end", Kings(5), 5, 5, Kings(3), 3, true, 3, true},
      {"the picture showed another row", Kings(5), 3, 1, Kings(5), 3, false, 3, false},
      {"new names are drawn", Kings(5), 3, 3, Kings(5, {}, u"先手：乙"), 3, false, 3, false},
      {"no selection: the header stays", Kings(5), -1, 0, Kings(7), -1, false, -1, false},
      {"no selection: a new header", Kings(5), -1, 0, Kings(7, {u"場所：東京"}), -1, false, -1,
       true},
      {"no selection, names change", Kings(5), -1, 0, Kings(5, {}, u"先手：乙"), -1, false, 0,
       true},
      {"following the main line past a variation", Kings(4, kVariation), 4, 4, Kings(5, kVariation),
       5, true, 5, true},
      {"a variation row keeps its place", Kings(4, kVariation), 6, 6, Kings(6, kVariation), 8, true,
       -1, false},
      {"the end of a variation stays", Kings(4, kVariation), 6, 6, Kings(4, kVariation), 6, false,
       -1, false},
      {"a variation that is gone: the main line's end", Kings(4, kVariation), 5, 5, Kings(6), 6,
       true, 6, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TRefreshPlan plan = PlanRefresh(Read(c.shown), c.selected, c.shown_row, Read(c.fresh));
    EXPECT_EQ(plan.select, c.select);
    EXPECT_EQ(plan.reselect, c.reselect);
    EXPECT_EQ(plan.picture_row, c.picture_row);
    EXPECT_EQ(plan.document, c.document);
    EXPECT_EQ(plan.shown_row, c.picture_row >= 0 ? c.picture_row : c.select >= 0 ? c.select : 0);
  }
}

}  // namespace
}  // namespace zelvaro
