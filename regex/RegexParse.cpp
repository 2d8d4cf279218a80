// TRegex's compiler: two passes over the expression, the first counting the
// bytes of the node program, the second writing it; parsing and emitting
// take the same decisions in both.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "regex/RegexProgram.h"
#include "regex/untRegex.h"

namespace zelvaro {

using namespace regex;

namespace {

// Flags a parse step returns about the piece it parsed.
constexpr int kFlagWidth = 1;      // always consumes at least one byte
constexpr int kFlagSingle = 2;     // exactly one byte: may be the atom of OpStar and kin
constexpr int kFlagStarStart = 4;  // starts with a repetition

constexpr char kMeta[] = "^$.[()|?+*\\{";

bool IsMeta(uint8_t c) { return c != 0 && std::strchr(kMeta, c) != nullptr; }
bool IsQuantifier(uint8_t c) { return c == '*' || c == '+' || c == '?' || c == '{'; }
bool IsBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void TRegex::Compile() {
  parse_ = nullptr;
  expression_start_ = nullptr;
  DiscardProgram();
  if (expression_.empty()) ReportError(kRegexErrNullArgument);
  CompileExpression();
}

void TRegex::CompileExpression() {
  parse_ = nullptr;
  DiscardProgram();
  if (expression_.empty()) ReportError(kRegexErrNullArgument);
  const auto* start = reinterpret_cast<Pos>(expression_.data());
  expression_start_ = start;
  parse_end_ = start + expression_.size();
  try {
    compiled_flags_ = modifier_flags_;

    // Sizing pass: every emit only counts its bytes.
    parse_flags_ = modifier_flags_;
    sizing_ = true;
    size_ = 0;
    next_group_ = 1;
    parse_ = start;
    EmitByte(kProgramMagic);
    int flags = 0;
    ParseReg(false, &flags);

    // Writing pass: the same decisions, now into a buffer of exactly that size.
    program_.assign(static_cast<size_t>(size_), 0);
    sizing_ = false;
    emit_ = 0;
    parse_flags_ = modifier_flags_;
    next_group_ = 1;
    parse_ = start;
    EmitByte(kProgramMagic);
    ParseReg(false, &flags);
    if (emit_ != size_) throw std::logic_error("TRegex: sizing and writing passes disagree");

    std::vector<Byte> visited(program_.size(), 0);
    std::vector<Byte> reentered(program_.size(), 0);
    FillStartSet(1, &visited, &reentered);
    ComputeHints((flags & kFlagStarStart) != 0);
    IndexBackNodes();
  } catch (...) {
    DiscardProgram();
    expression_start_ = nullptr;
    sizing_ = false;
    throw;
  }
  expression_start_ = nullptr;
  compiled_ = true;
}

int32_t TRegex::EmitNode(Byte op) {
  if (sizing_) {
    size_ += kNodeHeader;
    return 0;
  }
  const int32_t at = emit_;
  program_[at] = op;
  WriteInt32(&program_[at + 1], 0);
  emit_ += kNodeHeader;
  return at;
}

void TRegex::EmitByte(Byte b) {
  if (sizing_) {
    ++size_;
    return;
  }
  program_[emit_++] = b;
}

void TRegex::EmitInt(int32_t v) {
  if (sizing_) {
    size_ += 4;
    return;
  }
  WriteInt32(&program_[emit_], v);
  emit_ += 4;
}

void TRegex::InsertOperator(Byte op, int32_t operand, int32_t size) {
  if (sizing_) {
    size_ += size;
    return;
  }
  std::memmove(&program_[operand + size], &program_[operand], static_cast<size_t>(emit_ - operand));
  emit_ += size;
  program_[operand] = op;
  std::memset(&program_[operand + 1], 0, static_cast<size_t>(size - 1));
}

int32_t TRegex::ProgNext(int32_t p) const {
  const int32_t off = ReadInt32(&program_[p + 1]);
  return off == 0 ? -1 : p + off;
}

void TRegex::Tail(int32_t p, int32_t val) {
  if (sizing_) return;
  int32_t scan = p;
  for (int32_t next = ProgNext(scan); next >= 0; next = ProgNext(scan)) scan = next;
  WriteInt32(&program_[scan + 1], val - scan);
}

void TRegex::OpTail(int32_t p, int32_t val) {
  if (sizing_ || program_[p] != OpBranch) return;
  Tail(p + kNodeHeader, val);
}

int32_t TRegex::ParseReg(bool paren, int* flagp) {
  *flagp = kFlagWidth;
  const uint32_t saved_flags = parse_flags_;
  int32_t ret = -1;
  int group = 0;
  if (paren) {
    if (next_group_ >= kGroupCount) ReportError(kRegexErrTooManyGroups);
    group = next_group_++;
    ret = EmitNode(static_cast<Byte>(OpOpen + group));
  }

  int flags = 0;
  int32_t br = ParseBranch(&flags);
  if (paren) {
    Tail(ret, br);
  } else {
    ret = br;
  }
  if ((flags & kFlagWidth) == 0) *flagp &= ~kFlagWidth;
  *flagp |= flags & kFlagStarStart;
  while (parse_ < parse_end_ && *parse_ == '|') {
    ++parse_;
    br = ParseBranch(&flags);
    Tail(ret, br);
    if ((flags & kFlagWidth) == 0) *flagp &= ~kFlagWidth;
    *flagp |= flags & kFlagStarStart;
  }

  const int32_t ender = EmitNode(paren ? static_cast<Byte>(OpClose + group) : Byte{OpEnd});
  Tail(ret, ender);
  if (!sizing_) {
    for (int32_t b = ret; b >= 0; b = ProgNext(b)) OpTail(b, ender);
  }

  if (paren) {
    if (parse_ >= parse_end_ || *parse_ != ')') ReportError(kRegexErrUnmatchedParen);
    ++parse_;
  } else if (parse_ < parse_end_) {
    ReportError(*parse_ == ')' ? kRegexErrUnmatchedCloseParen : kRegexErrJunkOnEnd);
  }
  parse_flags_ = saved_flags;
  return ret;
}

int32_t TRegex::ParseBranch(int* flagp) {
  *flagp = 0;
  const int32_t ret = EmitNode(OpBranch);
  int32_t chain = -1;
  bool first = true;
  while (parse_ < parse_end_ && *parse_ != '|' && *parse_ != ')') {
    int flags = 0;
    const int32_t latest = ParsePiece(&flags);
    *flagp |= flags & kFlagWidth;
    if (first) {
      *flagp |= flags & kFlagStarStart;
    } else {
      Tail(chain, latest);
    }
    chain = latest;
    first = false;
  }
  if (first) EmitNode(OpNothing);
  return ret;
}

int32_t TRegex::ParsePiece(int* flagp) {
  int flags = 0;
  const int32_t ret = ParseAtom(&flags);
  const Byte op = parse_ < parse_end_ ? *parse_ : 0;
  if (!IsQuantifier(op)) {
    *flagp = flags;
    return ret;
  }
  if ((flags & kFlagWidth) == 0 && op != '?') ReportError(kRegexErrOperandCouldBeEmpty);
  const bool single = (flags & kFlagSingle) != 0;
  const bool greedy_mode = (parse_flags_ & kModG) != 0;

  // Counted loop over a complex operand: OpLoopEntry, operand, loop node.
  auto emit_loop = [&](int32_t min, int32_t max, bool lazy) {
    const int32_t body_size = emit_ - ret;
    InsertOperator(OpLoopEntry, ret, kNodeHeader);
    const int32_t loop = EmitNode(lazy ? OpLoopLazy : OpLoop);
    EmitInt(min);
    EmitInt(max);
    EmitInt(-body_size);
    Tail(ret, loop);
    Tail(ret + kNodeHeader, loop);
  };
  auto emit_braces = [&](int32_t min, int32_t max, bool lazy) {
    InsertOperator(lazy ? OpBracesLazy : OpBraces, ret, kNodeHeader + 8);
    if (!sizing_) {
      WriteInt32(&program_[ret + kNodeHeader], min);
      WriteInt32(&program_[ret + kNodeHeader + 4], max);
    }
  };
  auto lazy_suffix = [&] { return parse_ + 1 < parse_end_ && parse_[1] == '?'; };

  bool lazy_ch = false;
  switch (op) {
    case '*': {
      *flagp = kFlagStarStart;
      lazy_ch = lazy_suffix();
      const bool lazy = lazy_ch || !greedy_mode;
      if (single) {
        InsertOperator(lazy ? OpStarLazy : OpStar, ret, kNodeHeader);
      } else if (lazy) {
        emit_loop(0, kMaxBraces, true);
      } else {
        // x* as (x&|), & looping back to the branch.
        InsertOperator(OpBranch, ret, kNodeHeader);
        OpTail(ret, EmitNode(OpBack));
        OpTail(ret, ret);
        Tail(ret, EmitNode(OpBranch));
        Tail(ret, EmitNode(OpNothing));
      }
      break;
    }
    case '+': {
      *flagp = kFlagWidth | kFlagStarStart;
      lazy_ch = lazy_suffix();
      const bool lazy = lazy_ch || !greedy_mode;
      if (single) {
        InsertOperator(lazy ? OpPlusLazy : OpPlus, ret, kNodeHeader);
      } else if (lazy) {
        emit_loop(1, kMaxBraces, true);
      } else {
        // x+ as x(&|), & looping back to x.
        const int32_t next = EmitNode(OpBranch);
        Tail(ret, next);
        Tail(EmitNode(OpBack), ret);
        Tail(next, EmitNode(OpBranch));
        Tail(ret, EmitNode(OpNothing));
      }
      break;
    }
    case '?': {
      *flagp = 0;
      lazy_ch = lazy_suffix();
      const bool lazy = lazy_ch || !greedy_mode;
      if (lazy) {
        if (single) {
          emit_braces(0, 1, true);
        } else {
          emit_loop(0, 1, true);
        }
      } else {
        // x? as (x|).
        InsertOperator(OpBranch, ret, kNodeHeader);
        Tail(ret, EmitNode(OpBranch));
        const int32_t nothing = EmitNode(OpNothing);
        Tail(ret, nothing);
        OpTail(ret, nothing);
      }
      break;
    }
    case '{': {
      const Pos saved = parse_;
      ++parse_;
      const Pos min_begin = parse_;
      while (parse_ < parse_end_ && IsDigit(*parse_)) ++parse_;
      const Byte after_min = parse_ < parse_end_ ? *parse_ : 0;
      if ((after_min != '}' && after_min != ',') || parse_ == min_begin) {
        // Not a bound: the "{" is read again as an ordinary byte.
        parse_ = saved;
        *flagp = flags;
        return ret;
      }
      int32_t min = 0;
      int32_t max = 0;
      ParseNumber(min_begin, parse_, &min);
      if (*parse_ == ',') {
        ++parse_;
        const Pos max_begin = parse_;
        while (parse_ < parse_end_ && IsDigit(*parse_)) ++parse_;
        if (parse_ >= parse_end_ || *parse_ != '}') {
          parse_ = saved;
          *flagp = flags;
          return ret;
        }
        if (parse_ == max_begin) {
          max = kMaxBraces;
        } else {
          ParseNumber(max_begin, parse_, &max);
        }
      } else {
        max = min;
      }
      if (min > max) ReportError(kRegexErrBracesMinAboveMax);
      *flagp = 0;
      if (max > 0) *flagp |= kFlagWidth | kFlagStarStart;
      lazy_ch = lazy_suffix();
      const bool lazy = lazy_ch || !greedy_mode;
      if (single) {
        emit_braces(min, max, lazy);
      } else {
        emit_loop(min, max, lazy);
      }
      break;
    }
  }
  if (lazy_ch) ++parse_;
  ++parse_;
  if (parse_ < parse_end_ && IsQuantifier(*parse_)) ReportError(kRegexErrNestedQuantifier);
  return ret;
}

bool TRegex::ParseNumber(Pos begin, Pos end, int32_t* value) {
  if (end - begin > 8) ReportError(kRegexErrBracesTooBig);
  int32_t v = 0;
  for (Pos p = begin; p < end; ++p) v = v * 10 + (*p - '0');
  *value = v;
  return true;
}

TRegex::Byte TRegex::ParseByteEscape() {
  // parse_ is at the byte after the backslash; it is left at the escape's
  // last byte.
  switch (*parse_) {
    case 't':
      return 9;
    case 'n':
      return 10;
    case 'r':
      return 13;
    case 'f':
      return 12;
    case 'a':
      return 7;
    case 'e':
      return 27;
    case 'x': {
      ++parse_;
      if (parse_ >= parse_end_) ReportError(kRegexErrNoHexCode);
      if (*parse_ == '{') {
        int value = 0;
        for (;;) {
          ++parse_;
          if (parse_ >= parse_end_) ReportError(kRegexErrNoHexCode);
          if (*parse_ == '}') break;
          if (value > 15) ReportError(kRegexErrHexTooBig);
          const int digit = HexValue(*parse_);
          if (digit < 0) ReportError(kRegexErrBadHexDigit);
          value = value << 4 | digit;
        }
        return static_cast<Byte>(value);
      }
      const int high = HexValue(*parse_);
      if (high < 0) ReportError(kRegexErrBadHexDigit);
      ++parse_;
      const int low = parse_ < parse_end_ ? HexValue(*parse_) : -1;
      if (low < 0) ReportError(kRegexErrBadHexDigit);
      return static_cast<Byte>(high << 4 | low);
    }
    default:
      return *parse_;
  }
}

int32_t TRegex::ParseAtom(int* flagp) {
  *flagp = 0;
  if (parse_ >= parse_end_ || *parse_ == '|' || *parse_ == ')') ReportError(kRegexErrInternalUrp);
  const Byte c = *parse_++;
  const bool ci = (parse_flags_ & kModI) != 0;
  const bool multi_line =
      (parse_flags_ & kModM) != 0 && (!line_break_chars_.empty() || paired_assigned_);
  int32_t ret = 0;
  switch (c) {
    case '^':
      ret = EmitNode(multi_line ? OpLineStart : OpInputStart);
      break;
    case '$':
      ret = EmitNode(multi_line ? OpLineEnd : OpInputEnd);
      break;
    case '.':
      if ((parse_flags_ & kModS) != 0) {
        ret = EmitNode(OpAnyByte);
        *flagp |= kFlagWidth | kFlagSingle;
      } else {
        ret = EmitNode(OpAnyInLine);
        *flagp |= kFlagWidth;
      }
      break;
    case '[':
      ret = ParseClass(flagp);
      break;
    case '(':
      if (parse_ < parse_end_ && *parse_ == '?') {
        if (parse_ + 1 < parse_end_ && parse_[1] == '#') {
          parse_ += 2;
          while (parse_ < parse_end_ && *parse_ != ')') ++parse_;
          if (parse_ >= parse_end_) ReportError(kRegexErrUnclosedComment);
          ++parse_;
          ret = EmitNode(OpComment);
        } else {
          ++parse_;
          const Pos begin = parse_;
          while (parse_ < parse_end_ && *parse_ != ')') ++parse_;
          const std::string_view mods(reinterpret_cast<const char*>(begin),
                                      static_cast<size_t>(parse_ - begin));
          if (parse_ >= parse_end_ || !ApplyModifiers(mods, &parse_flags_)) {
            ReportError(kRegexErrBadModifier);
          }
          ++parse_;
          ret = EmitNode(OpComment);
        }
      } else {
        int flags = 0;
        ret = ParseReg(true, &flags);
        *flagp |= flags & (kFlagWidth | kFlagStarStart);
      }
      break;
    case '*':
    case '+':
    case '?':
      ReportError(kRegexErrQuantifierFollowsNothing);
      break;
    case '\\': {
      if (parse_ >= parse_end_) ReportError(kRegexErrTrailingBackslash);
      const Byte e = *parse_;
      switch (e) {
        case 'A':
          ret = EmitNode(OpInputStart);
          break;
        case 'Z':
          ret = EmitNode(OpInputEnd);
          break;
        case 'b':
          ret = EmitNode(OpWordBoundary);
          break;
        case 'B':
          ret = EmitNode(OpNotWordBoundary);
          break;
        case 'd':
          ret = EmitNode(OpDigit);
          *flagp |= kFlagWidth | kFlagSingle;
          break;
        case 'D':
          ret = EmitNode(OpNonDigit);
          *flagp |= kFlagWidth | kFlagSingle;
          break;
        case 's':
        case 'S':
        case 'w':
        case 'W': {
          // Never case-folded: the sets are taken as they stand.
          std::bitset<256> set;
          const std::string& chars = (e == 's' || e == 'S') ? space_chars_ : word_chars_;
          for (uint8_t ch : chars) set.set(ch);
          ret = EmitSetNode(set, e == 'S' || e == 'W');
          *flagp |= kFlagWidth | kFlagSingle;
          break;
        }
        default:
          if (e >= '1' && e <= '9') {
            ret = EmitNode(ci ? OpBackRefCI : OpBackRef);
            EmitByte(static_cast<Byte>(e - '0'));
          } else {
            const Byte b = ParseByteEscape();
            ret = EmitNode(ci ? OpExactCI : OpExact);
            EmitByte(b);
            EmitByte(0);
          }
          *flagp |= kFlagWidth | kFlagSingle;
          break;
      }
      ++parse_;
      break;
    }
    default: {
      --parse_;
      const bool extended = (parse_flags_ & kModX) != 0;
      if (extended && (c == '#' || IsBlank(c))) {
        if (c == '#') {
          while (parse_ < parse_end_ && *parse_ != '\r' && *parse_ != '\n') ++parse_;
          while (parse_ < parse_end_ && (*parse_ == '\r' || *parse_ == '\n')) ++parse_;
        } else {
          while (parse_ < parse_end_ && IsBlank(*parse_)) ++parse_;
        }
        ret = EmitNode(OpComment);
        break;
      }
      auto run_length = [&](Pos from) {
        Pos p = from;
        while (p < parse_end_ && !IsMeta(*p)) ++p;
        return static_cast<int32_t>(p - from);
      };
      int32_t len = run_length(parse_);
      if (len == 0) {
        if (c != '{') ReportError(kRegexErrInternalDisaster);
        len = 1 + run_length(parse_ + 1);
      }
      const Byte ender = parse_ + len < parse_end_ ? parse_[len] : 0;
      if (len > 1 && IsQuantifier(ender)) --len;
      *flagp |= kFlagWidth;
      if (len == 1) *flagp |= kFlagSingle;
      ret = EmitNode(ci ? OpExactCI : OpExact);
      while (len > 0 && (!extended || *parse_ != '#')) {
        if (!extended || !IsBlank(*parse_)) EmitByte(*parse_);
        ++parse_;
        --len;
      }
      EmitByte(0);
      break;
    }
  }
  return ret;
}

int32_t TRegex::ParseClass(int* flagp) {
  bool negated = false;
  if (parse_ < parse_end_ && *parse_ == '^') {
    negated = true;
    ++parse_;
  }
  const bool fold = (parse_flags_ & kModI) != 0;
  const bool widen = (parse_flags_ & kModR) != 0;
  std::bitset<256> set;
  auto add = [&](Byte b) {
    set.set(b);
    if (fold) set.set(case_flip_[b]);
  };
  auto add_chars = [&](const std::string& chars) {
    for (uint8_t ch : chars) add(ch);
  };
  auto add_range = [&](int lo, int hi) {
    for (int b = lo; b <= hi; ++b) add(static_cast<Byte>(b));
  };

  bool can_range = false;  // the previous member was a single byte
  Byte range_start = 0;
  if (parse_ < parse_end_ && *parse_ == ']') {
    add(']');
    range_start = ']';
    can_range = true;
    ++parse_;
  }
  for (;;) {
    if (parse_ >= parse_end_) ReportError(kRegexErrUnmatchedBracket);
    const Byte c = *parse_;
    if (c == ']') {
      ++parse_;
      break;
    }
    if (c == '-' && can_range && parse_ + 1 < parse_end_ && parse_[1] != ']') {
      ++parse_;
      Byte hi = *parse_;
      if (hi == '\\') {
        if (parse_ + 1 >= parse_end_) {
          ++parse_;
          ReportError(kRegexErrClassTrailingBackslash);
        }
        const Byte e = parse_[1];
        if (e == 'd' || e == 'D' || e == 's' || e == 'S' || e == 'w' || e == 'W') {
          // Not a range end: "-" is a member and the escape is read next.
          add('-');
          can_range = false;
          continue;
        }
        ++parse_;
        hi = ParseByteEscape();
      }
      const Byte lo = range_start;
      if (widen && lo == 0xE0 && hi == 0xFF) {
        add_range(0xE0, 0xFF);
        add(0xB8);
      } else if (widen && lo == 0xC0 && hi == 0xDF) {
        add_range(0xC0, 0xDF);
        add(0xA8);
      } else if (widen && lo == 0xE0 && hi == 0xDF) {
        add_range(0xE0, 0xFF);
        add(0xB8);
        add_range(0xC0, 0xDF);
        add(0xA8);
      } else {
        if (lo > hi) ReportError(kRegexErrInvalidRange);
        add_range(lo, hi);
      }
      ++parse_;
      can_range = false;
      continue;
    }
    if (c == '\\') {
      ++parse_;
      if (parse_ >= parse_end_) ReportError(kRegexErrClassTrailingBackslash);
      const Byte e = *parse_;
      if (e == 'd' || e == 's' || e == 'w') {
        if (e == 'd') add_range('0', '9');
        if (e == 's') add_chars(space_chars_);
        if (e == 'w') add_chars(word_chars_);
        can_range = false;
        ++parse_;
        continue;
      }
      const Byte b = ParseByteEscape();
      add(b);
      range_start = b;
      can_range = true;
      ++parse_;
      continue;
    }
    add(c);
    range_start = c;
    can_range = true;
    ++parse_;
  }
  *flagp |= kFlagWidth | kFlagSingle;
  return EmitSetNode(set, negated);
}

int32_t TRegex::EmitSetNode(const std::bitset<256>& set, bool negated) {
  if (set.count() > 3) {
    const int32_t ret = EmitNode(OpAnyOfSet);
    for (int i = 0; i < 32; ++i) {
      Byte bits = 0;
      for (int j = 0; j < 8; ++j) {
        if (set[i * 8 + j] != negated) bits |= static_cast<Byte>(1 << j);
      }
      EmitByte(bits);
    }
    return ret;
  }
  const int32_t ret = EmitNode(negated ? OpAnyButTiny : OpAnyOfTiny);
  Byte members[3] = {0, 0, 0};
  int n = 0;
  for (int b = 0; b < 256; ++b) {
    if (set[b]) members[n++] = static_cast<Byte>(b);
  }
  for (int i = n; i < 3 && n > 0; ++i) members[i] = members[n - 1];
  for (Byte m : members) EmitByte(m);
  return ret;
}

}  // namespace zelvaro
