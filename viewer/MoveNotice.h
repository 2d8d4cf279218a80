// What the viewer tells outside its window when a refresh brings moves.
#pragma once

#include <optional>

#include "game/Record.h"
#include "toolkit/qt/Platform.h"
#include "viewer/untOptionForm.h"

namespace zelvaro {

// The notice of the main-line moves of `record` from `first_new` on: the
// players as its title, one line per move as its row shows it (the last
// few after a long pause). Nothing when `options` tell nothing or no move is new.
std::optional<TNotice> MovesNotice(const TKifRecord& record, size_t first_new,
                                   const TNotifyOptions& options);

}  // namespace zelvaro
