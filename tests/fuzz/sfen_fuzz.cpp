// Reads a fuzzed "position ..." command (SFEN and USI moves), plays the legal
// moves among them and, in every position reached, generates the legal
// moves, writes each in Japanese and reads the position back from its SFEN.
// Any ENotationError is a fine answer. Checked: SFEN round-trips, every
// generated move is legal, and a fuzzed KIF move text reads without harm.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "game/Notation.h"
#include "game/Rules.h"
#include "game/Sfen.h"
#include "toolkit/TextCodec.h"

namespace {

void Check(const zelvaro::TKyokumen& p) {
  using namespace zelvaro;
  int32_t number = 0;
  const std::string sfen = ToSfen(p, 7);
  if (ToSfen(ParseSfen(sfen, &number), number) != sfen) std::abort();
  for (const TMove& m : LegalMoves(p)) {
    if (!IsLegal(p, m) || TryParseUsiMove(ToUsi(m)) != m) std::abort();
    Ki2MoveText(p, m);
  }
  IsCheckmate(p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zelvaro;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    TUsiPosition position = ParseUsiPosition(text);
    Check(position.start);
    size_t played = 0;
    for (const TMove& m : position.moves) {
      if (!IsLegal(position.start, m) || ++played > 8) continue;
      PlayMove(position.start, m);
      Check(position.start);
    }
  } catch (const ENotationError&) {
  }
  // The same bytes as a KIF move text, from the start.
  const TKyokumen start = ParseSfen(kStartSfen);
  std::u16string kif;
  for (unsigned char c : text) kif += static_cast<char16_t>(c < 0x80 ? c : 0x4E00 + c);
  ReadKifMove(start, kif);
  ReadKifMove(start, u"７六" + kif);
  return 0;
}
