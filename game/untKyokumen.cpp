#include "game/untKyokumen.h"

#include <string>

#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

constexpr std::u16string_view kFiles = u"１２３４５６７８９";
constexpr std::u16string_view kRanks = u"一二三四五六七八九";

// The character range [from, from + count) of a text, positions from 1; a
// range past the end yields fewer characters or none.
std::u16string_view Mid(std::u16string_view s, size_t from,
                        size_t count = std::u16string_view::npos) {
  if (from < 1 || from > s.size()) return {};
  return s.substr(from - 1, count);
}

// StrToInt as the record's origin needs it: optional blanks, an optional
// sign, decimal digits and nothing else.
int32_t ParseOrigin(std::u16string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == u' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  size_t digits = 0;
  int32_t value = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i, ++digits)
    value = value * 10 + (s[i] - u'0');
  if (digits == 0 || i != s.size()) {
    throw EConvertError("'" + Utf16ToUtf8(s) + "' is not a valid integer value");
  }
  return negative ? -value : value;
}

int HandIndexOfName(std::u16string_view name) {
  static constexpr std::u16string_view kNames[] = {u"歩", u"香", u"桂", u"銀", u"金", u"飛", u"角"};
  for (int k = 0; k < 7; ++k) {
    if (name == kNames[k]) return k;
  }
  return -1;
}

// Hand counter that a captured piece of this code feeds: sente pieces go to
// gote's hand and gote pieces to sente's, demoted. -1 for none.
void AddCaptured(TKyokumen& pos, int32_t code) {
  int32_t kind = code > kGoteOffset ? code - kGoteOffset : code;
  int index;
  switch (kind) {
    case kFu:
    case kTo:
      index = kHandFu;
      break;
    case kKyo:
    case kNariKyo:
      index = kHandKyo;
      break;
    case kKei:
    case kNariKei:
      index = kHandKei;
      break;
    case kGin:
    case kNariGin:
      index = kHandGin;
      break;
    case kKin:
      index = kHandKin;
      break;
    case kHisya:
    case kRyu:
      index = kHandHisya;
      break;
    case kKaku:
    case kUma:
      index = kHandKaku;
      break;
    default:
      return;
  }
  if (code >= 1 && code <= 14) {
    ++pos.GoteHand[index];
  } else if (code >= 101 && code <= 114) {
    ++pos.SenteHand[index];
  }
}

std::u16string_view PromotedName(std::u16string_view name) {
  if (name == u"歩") return u"と";
  if (name == u"香") return u"成香";
  if (name == u"桂") return u"成桂";
  if (name == u"銀") return u"成銀";
  if (name == u"飛") return u"龍";
  if (name == u"角") return u"馬";
  return name;
}

}  // namespace

int32_t PieceCodeOfName(std::u16string_view name) {
  struct Entry {
    std::u16string_view name;
    int32_t code;
  };
  static constexpr Entry kTable[] = {
      {u"歩", kFu},      {u"と", kTo},        {u"香", kKyo},     {u"成香", kNariKyo},
      {u"桂", kKei},     {u"成桂", kNariKei}, {u"銀", kGin},     {u"成銀", kNariGin},
      {u"金", kKin},     {u"王", kOu},        {u"玉", kOu},      {u"飛", kHisya},
      {u"龍", kRyu},     {u"角", kKaku},      {u"馬", kUma},     {u"竜", kRyu},
      {u"全", kNariGin}, {u"圭", kNariKei},   {u"杏", kNariKyo},
  };
  for (const Entry& e : kTable) {
    if (e.name == name) return e.code;
  }
  return 0;
}

bool NamesDestination(std::u16string_view text) {
  if (text.empty()) return false;
  if (text[0] == u'同') return true;
  return text.size() >= 2 && kFiles.find(text[0]) != std::u16string_view::npos &&
         kRanks.find(text[1]) != std::u16string_view::npos;
}

void LayOutStartingPosition(TKyokumen& p) {
  for (int f = 1; f <= 9; ++f) p.SetSquare(kFu, f * 10 + 7);
  const int32_t back[9] = {kKyo, kKei, kGin, kKin, kOu, kKin, kGin, kKei, kKyo};
  for (int f = 1; f <= 9; ++f) p.SetSquare(back[f - 1], f * 10 + 9);
  p.SetSquare(kKaku, 88);
  p.SetSquare(kHisya, 28);
  for (int f = 1; f <= 9; ++f) p.SetSquare(kFu + kGoteOffset, f * 10 + 3);
  for (int f = 1; f <= 9; ++f) p.SetSquare(back[f - 1] + kGoteOffset, f * 10 + 1);
  p.SetSquare(kKaku + kGoteOffset, 22);
  p.SetSquare(kHisya + kGoteOffset, 82);
}

void TKyokumen::SetSquare(int32_t piece, int32_t square) {
  if (square < 0 || square > 99) throw ERangeError("Range check error");
  Board[square] = piece;
}

void TKyokumen::CopyBoardFrom(const TKyokumen& other) {
  Board = other.Board;
  SenteHand = other.SenteHand;
  GoteHand = other.GoteHand;
  LastSquare = other.LastSquare;
  LastOrigin = other.LastOrigin;
}

void TKyokumen::ApplyMove(std::u16string_view text) {
  // 1. The two terminal words change nothing at all.
  if (text == u"投了" || text == u"千日手") return;

  // 2. Destination, and what follows it: the piece name and its marks.
  int32_t file = 0, rank = 0;
  std::u16string_view rest;
  if (!text.empty() && text[0] == u'同') {
    file = LastSquare / 10;
    rank = LastSquare % 10;
    size_t name_at = 1;
    while (name_at < text.size() && (text[name_at] == u'　' || text[name_at] == u' ')) ++name_at;
    rest = text.substr(name_at);
  } else {
    std::u16string_view c1 = Mid(text, 1, 1), c2 = Mid(text, 2, 1);
    if (!c1.empty()) {
      size_t f = kFiles.find(c1[0]);
      if (f != std::u16string_view::npos) file = static_cast<int32_t>(f) + 1;
    }
    if (!c2.empty()) {
      size_t r = kRanks.find(c2[0]);
      if (r != std::u16string_view::npos) rank = static_cast<int32_t>(r) + 1;
    }
    rest = Mid(text, 3);
  }
  const int32_t dest = file * 10 + rank;

  // 3. Piece name.
  std::u16string_view name = Mid(rest, 1, 1);
  if (name == u"成") name = Mid(rest, 1, 2);

  // 4. Origin, checked in full before anything changes.
  int32_t origin = 0;
  size_t paren = text.find(u'(');
  if (paren != std::u16string_view::npos) origin = ParseOrigin(Mid(text, paren + 2, 2));
  if (origin < 0 || origin > 99) throw ERangeError("Range check error");

  // 5. Capture: whatever stands on the destination enters the other side's hand.
  if (dest >= 0 && dest <= 99) AddCaptured(*this, Board[dest]);

  // 6. Drop.
  if (text.find(u'打') != std::u16string_view::npos) {
    int k = HandIndexOfName(name);
    if (k >= 0) {
      if (Turn == 1) {
        --SenteHand[k];
      } else if (Turn == -1) {
        --GoteHand[k];
      }
    }
  }

  // 7. Promotion: 成 after the name and its position words (上, 右, 左, 直,
  // 引, 寄, 行), not 不成; the origin or the drop mark ends the search.
  std::u16string_view marks = rest.substr(name.size());
  marks = marks.substr(0, marks.find_first_of(u"(打"));
  for (size_t i = 0; i < marks.size(); ++i) {
    if (marks[i] == u'成' && (i == 0 || marks[i - 1] != u'不')) {
      name = PromotedName(name);
      break;
    }
  }

  // 8. Vacate the origin (cell 0 for a drop).
  Board[origin] = 0;
  LastOrigin = origin;

  // 9. Place.
  int32_t code = PieceCodeOfName(name);
  if (code != 0) {
    if (Turn == 1) {
      Board[dest] = code;
    } else if (Turn == -1) {
      Board[dest] = code + kGoteOffset;
    }
  }

  // 10.
  LastSquare = dest;
}

}  // namespace zelvaro
