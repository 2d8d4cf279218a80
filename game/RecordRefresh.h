// What a refresh keeps on show. A game being broadcast is read again every
// so often; the window then shows the fresh record without losing the
// user's place:
//  - on the last row of a line (the main line, as a rule) the user follows
//    the game: the selection moves to that line's new last row;
//  - on any other row the user reviews: the selection stays on the same row
//    of the same line (its index may change when rows come before it), and
//    what it shows is shown again only when it changed (a corrected move, a
//    comment that arrived, the players' names);
//  - a row that is gone leaves the user at the new end of its line;
//  - without a selection the header stays on show, shown again when it
//    changed, and the picture is drawn again when its position changed.
// The plan is computed from the two records alone; the window applies it.
#pragma once

#include "game/Record.h"

namespace zelvaro {

struct TRefreshPlan {
  int select = -1;        // the row to have selected afterwards, -1 for none
  bool reselect = false;  // the window must select `select` and scroll it into view
  int picture_row = -1;   // the row whose position the picture must show again; -1: it stays
  int shown_row = 0;      // the row whose position the picture shows afterwards
  bool document = false;  // show again the comment of `select`, or the header without one
};

// `shown` is the record on show with `selected` (-1 for none) and the
// picture showing row `shown_row`; `fresh` the record just read.
TRefreshPlan PlanRefresh(const TKifRecord& shown, int selected, int shown_row,
                         const TKifRecord& fresh);

// Whether two positions draw the same picture (the comment aside).
bool SamePicture(const TKyokumen& a, const TKyokumen& b);

}  // namespace zelvaro
