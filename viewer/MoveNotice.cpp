#include "viewer/MoveNotice.h"

#include <algorithm>
#include <vector>

namespace zelvaro {

std::optional<TNotice> MovesNotice(const TKifRecord& record, size_t first_new,
                                   const TNotifyOptions& options) {
  if (!options.popup && !options.sound) return std::nullopt;
  constexpr size_t kMostLines = 3;
  std::vector<int> rows;
  for (size_t n = std::max<size_t>(first_new, 1); n < record.main_line.size(); ++n) {
    const int row = record.main_line[n];
    if (row != 0 && (rows.empty() || rows.back() != row)) rows.push_back(row);
  }
  if (rows.empty()) return std::nullopt;
  QStringList lines;
  if (rows.size() > kMostLines) lines << QStringLiteral("…");
  for (size_t i = rows.size() > kMostLines ? rows.size() - kMostLines : 0; i < rows.size(); ++i) {
    const TKifRecord::Row& r = record.rows[static_cast<size_t>(rows[i])];
    QString line = ToQString(r.caption) + QStringLiteral(" ") + ToQString(r.move);
    if (!ToQString(r.time).trimmed().isEmpty())
      line += QStringLiteral(" ") + ToQString(r.time).trimmed();
    lines << line;
  }
  TNotice notice;
  notice.title = QStringLiteral("☗") + ToQString(record.sente_name).trimmed() +
                 QStringLiteral(" 対 ☖") + ToQString(record.gote_name).trimmed();
  notice.text = lines.join(QLatin1Char('\n'));
  notice.popup = options.popup;
  notice.sound = options.sound;
  return notice;
}

}  // namespace zelvaro
