#include "game/RecordRefresh.h"

namespace zelvaro {
namespace {

// A row's place: its line and how many rows of that line come before it.
struct Place {
  int line = 0;
  int offset = 0;
};

Place PlaceOf(const TKifRecord& record, int row) {
  Place place{record.rows[static_cast<size_t>(row)].line, 0};
  for (int r = 0; r < row; ++r)
    place.offset += record.rows[static_cast<size_t>(r)].line == place.line;
  return place;
}

bool IsLastOfLine(const TKifRecord& record, int row) {
  const int line = record.rows[static_cast<size_t>(row)].line;
  for (size_t r = static_cast<size_t>(row) + 1; r < record.rows.size(); ++r) {
    if (record.rows[r].line == line) return false;
  }
  return true;
}

// The row at `place` in `record`; the last row of its line when the line is
// shorter, the main line's last when the line is gone. `last` asks for the
// line's last row whatever the offset.
int RowAt(const TKifRecord& record, Place place, bool last) {
  for (int pass = 0; pass < 2; ++pass) {
    int found = -1, offset = 0;
    for (size_t r = 0; r < record.rows.size(); ++r) {
      if (record.rows[r].line != place.line) continue;
      found = static_cast<int>(r);
      if (!last && offset++ == place.offset) return found;
    }
    if (found >= 0) return found;
    place = Place{};  // the line is gone: the main line's end
    last = true;
  }
  return 0;
}

bool SameRow(const TKifRecord::Row& a, const TKifRecord::Row& b) {
  return a.caption == b.caption && a.move == b.move && a.time == b.time && a.other == b.other;
}

}  // namespace

bool SamePicture(const TKyokumen& a, const TKyokumen& b) {
  return a.Board == b.Board && a.SenteHand == b.SenteHand && a.GoteHand == b.GoteHand &&
         a.Turn == b.Turn && a.LastSquare == b.LastSquare && a.LastOrigin == b.LastOrigin;
}

TRefreshPlan PlanRefresh(const TKifRecord& shown, int selected, int shown_row,
                         const TKifRecord& fresh) {
  TRefreshPlan plan;
  const int shown_count = static_cast<int>(shown.rows.size());
  if (shown_row < 0 || shown_row >= shown_count) shown_row = 0;
  const bool names_changed =
      shown.sente_name != fresh.sente_name || shown.gote_name != fresh.gote_name;
  const TKyokumen& before = shown.row_positions[static_cast<size_t>(shown_row)];

  if (selected < 0 || selected >= shown_count) {
    // The header stays on show, brought up to date when it changed.
    plan.shown_row = RowAt(fresh, PlaceOf(shown, shown_row), false);
    if (names_changed ||
        !SamePicture(before, fresh.row_positions[static_cast<size_t>(plan.shown_row)])) {
      plan.picture_row = plan.shown_row;
    }
    plan.document = shown.header_body != fresh.header_body;
    return plan;
  }

  const Place place = PlaceOf(shown, selected);
  plan.select = RowAt(fresh, place, IsLastOfLine(shown, selected));
  plan.reselect = plan.select != selected;
  const Place now = PlaceOf(fresh, plan.select);
  const bool moved = now.line != place.line || now.offset != place.offset;
  const TKyokumen& after = fresh.row_positions[static_cast<size_t>(plan.select)];
  const bool row_changed = moved || !SameRow(shown.rows[static_cast<size_t>(selected)],
                                             fresh.rows[static_cast<size_t>(plan.select)]);
  if (moved || names_changed || shown_row != selected || !SamePicture(before, after)) {
    plan.picture_row = plan.select;
  }
  plan.shown_row = plan.picture_row >= 0 ? plan.picture_row : plan.select;
  plan.document =
      row_changed || shown.row_positions[static_cast<size_t>(selected)].Comment != after.Comment;
  return plan;
}

}  // namespace zelvaro
