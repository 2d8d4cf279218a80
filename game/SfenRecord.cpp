#include "game/SfenRecord.h"

#include "game/RecordWriter.h"
#include "game/Sfen.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {

std::vector<std::u16string> SfenToKifLines(const std::vector<std::u16string>& lines) {
  std::string text;
  for (const std::u16string& line : lines) {
    text = Utf16ToUtf8(line);
    if (text.find_first_not_of(" \t") != std::string::npos) break;
  }
  const size_t begin = text.find_first_not_of(" \t");
  text = begin == std::string::npos ? std::string() : text.substr(begin);
  // A bare SFEN is the position command's "sfen ..." part.
  if (text.rfind("position", 0) != 0 && text.rfind("sfen", 0) != 0 &&
      text.rfind("startpos", 0) != 0) {
    text = "sfen " + text;
  }
  const TUsiPosition usi = ParseUsiPosition(text);

  std::vector<std::u16string> out;
  TKyokumen position = usi.start;
  const int32_t to_move = position.Turn;
  const int32_t number = std::max(usi.start_number, 1);
  // The side of move 1, as KIF counts: without moves only the side to move
  // is left to say.
  const int32_t first_side = number % 2 != 0 || usi.moves.empty() ? to_move : -to_move;
  TKyokumen standard;
  LayOutStartingPosition(standard);
  if (position.Board == standard.Board && position.SenteHand == standard.SenteHand &&
      position.GoteHand == standard.GoteHand && first_side == 1) {
    out.push_back(u"手合割：平手");
  } else {
    out = BodLines(position, first_side);
  }
  // Without moves only "手数＝" keeps the number the position stands at.
  if (usi.moves.empty() && number > 1) {
    out.insert(out.begin(), u"手数＝" + Utf8ToUtf16(std::to_string(number - 1)));
  }
  position.LastSquare = 0;
  int32_t side = to_move;
  // The KIF reader reads no rows past kMaxRecordRows.
  for (size_t i = 0; i < usi.moves.size() && i < kMaxRecordRows; ++i) {
    const TMove& m = usi.moves[i];
    TRowMove move;
    move.to = m.to;
    move.from = m.from;
    move.same = i > 0 && m.to == position.LastSquare;
    if (m.IsDrop()) {
      move.kind = TRowMove::kDrop;
      move.piece = m.drop;
    } else {
      move.kind = TRowMove::kBoard;
      move.piece = KindOf(position.Board[static_cast<size_t>(m.from)]);
      move.promote = m.promote;
    }
    const std::u16string kif = KifMoveText(move);
    position.Turn = side;
    try {
      position.ApplyMove(kif);
    } catch (const Exception&) {
      // The KIF reader tells it when it reads the line.
    }
    side = -side;
    const std::u16string n = Utf8ToUtf16(std::to_string(number + static_cast<int32_t>(i)));
    out.push_back(std::u16string(n.size() < 4 ? 4 - n.size() : 0, u' ') + n + u" " + kif);
  }
  return out;
}

}  // namespace zelvaro
