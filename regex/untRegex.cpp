// TRegex: settings, compiler (two passes over the expression into the node
// program) and the hints drawn from the program. The matcher is in
// RegexMatch.cpp.
#include "regex/untRegex.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "regex/RegexProgram.h"

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

TRegex::TRegex()
    : modifier_flags_(kDefaultModifiers),
      space_chars_(" \t\n\r\f"),
      word_chars_("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_"),
      line_break_chars_("\r\n") {
  for (int c = 0; c < 256; ++c) case_flip_[c] = DefaultCaseFlip(static_cast<uint8_t>(c));
  for (uint8_t c : word_chars_) word_set_.set(c);
  for (uint8_t c : line_break_chars_) line_sep_set_.set(c);
  SetPairedSeparator("\r\n");
}

TRegex::~TRegex() = default;

uint8_t TRegex::DefaultCaseFlip(uint8_t c) {
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return static_cast<uint8_t>(c - 'A' + 'a');
  return c;
}

// ---------------------------------------------------------------------------
// Errors

std::string TRegex::ErrorMessage(int32_t code) const {
  switch (code) {
    case 0:
      return "No errors";
    case 100:
      return "TRegex(comp): Null Argument";
    case 101:
      return "TRegex(comp): Regexp Too Big";
    case 102:
      return "TRegex(comp): ParseReg Too Many ()";
    case 103:
    case 104:
      return "TRegex(comp): ParseReg Unmatched ()";
    case 105:
      return "TRegex(comp): ParseReg Junk On End";
    case 106:
      return "TRegex(comp): *+ Operand Could Be Empty";
    case 107:
      return "TRegex(comp): Nested *?+";
    case 108:
      return "TRegex(comp): Bad Hex Digit";
    case 109:
      return "TRegex(comp): Invalid [] Range";
    case 110:
      return "TRegex(comp): Parse Atom Trailing \\";
    case 111:
      return "TRegex(comp): No Hex Code After \\x";
    case 112:
      return "TRegex(comp): Hex Code After \\x Is Too Big";
    case 113:
      return "TRegex(comp): Unmatched []";
    case 114:
      return "TRegex(comp): Internal Urp";
    case 115:
      return "TRegex(comp): ?+*{ Follows Nothing";
    case 116:
      return "TRegex(comp): Trailing \\";
    case 119:
      return "TRegex(comp): ParseAtom Internal Disaster";
    case 122:
      return "TRegex(comp): BRACES Argument Too Big";
    case 124:
      return "TRegex(comp): BRACE Min Param Greater than Max";
    case 125:
      return "TRegex(comp): Unclosed (?#Comment)";
    case 126:
      return "TRegex(comp): Complex braces and lazy quantifiers are disabled";
    case 127:
      return "TRegex(comp): Unrecognized Modifier";
    case 128:
      return "TRegex(comp): PairedSeparator must contain two different chars or no chars at all";
    case 1000:
      return "TRegex(exec): RegRepeat Called Inappropriately";
    case 1001:
      return "TRegex(exec): MatchPrim Memory Corruption";
    case 1002:
      return "TRegex(exec): MatchPrim Corrupted Pointers";
    case 1003:
      return "TRegex(exec): Not Assigned Expression Property";
    case 1004:
      return "TRegex(exec): Corrupted Program";
    case 1005:
      return "TRegex(exec): No Input String Specified";
    case 1006:
      return "TRegex(exec): Offset Must Be Greater Then 0";
    case 1007:
      return "TRegex(exec): ExecNext Without Exec[Pos]";
    case 1008:
      return "TRegex(exec): GetInputString Without InputString";
    case 1011:
      return "TRegex(dump): Corrupted Opcode";
    case 1014:
      return "TRegex(exec): Loop Stack Exceeded";
    case 1015:
      return "TRegex(exec): Loop Without LoopEntry !";
    case 1016:
      return "TRegex(exec): Match Recursion Too Deep";
    case 1017:
      return "TRegex(exec): Match Limit Exceeded";
    case 2000:
      return "TRegex(misc): Bad p-code imported";
    default:
      return "Unknown error";
  }
}

void TRegex::ReportError(int32_t code) {
  last_error_code_ = code;
  const int32_t position = expression_start_ != nullptr && parse_ != nullptr
                               ? static_cast<int32_t>(parse_ - expression_start_)
                               : 0;
  std::string message = ErrorMessage(code);
  if (code < 1000) message += " (pos " + std::to_string(position) + ")";
  throw ERegex(std::move(message), code, position);
}

// ---------------------------------------------------------------------------
// Settings

void TRegex::SetExpression(std::string_view pattern) {
  const std::string_view text = pattern.substr(0, std::min(pattern.find('\0'), pattern.size()));
  if (compiled_ && text == expression_) return;
  compiled_ = false;
  expression_.assign(text);
  // An empty expression must not run the program of an earlier one.
  DiscardProgram();
}

void TRegex::DiscardProgram() {
  program_.clear();
  back_slot_.clear();
  compiled_ = false;
  first_byte_ = 0;
  anchored_at_start_ = 0;
  required_offset_ = -1;
  required_length_ = 0;
  start_set_.reset();
  leading_any_ = false;
}

bool TRegex::ApplyModifiers(std::string_view modifiers, uint32_t* flags) const {
  bool on = true;
  for (char ch : modifiers) {
    if (ch == '-') {
      on = false;
      continue;
    }
    uint32_t mask;
    switch (ch) {
      case 'i':
      case 'I':
        mask = kModI;
        break;
      case 'r':
      case 'R':
        mask = kModR;
        break;
      case 's':
      case 'S':
        mask = kModS;
        break;
      case 'g':
      case 'G':
        mask = kModG;
        break;
      case 'm':
      case 'M':
        mask = kModM;
        break;
      case 'x':
      case 'X':
        mask = kModX;
        break;
      default:
        return false;
    }
    if (on) {
      *flags |= mask;
    } else {
      *flags &= ~mask;
    }
  }
  return true;
}

bool TRegex::Modifier(int index) const {
  if (index < 1 || index > 6) const_cast<TRegex*>(this)->ReportError(kRegexErrBadModifierIndex);
  return (modifier_flags_ & (1u << (index - 1))) != 0;
}

void TRegex::SetModifier(int index, bool on) {
  if (index < 1 || index > 6) ReportError(kRegexErrBadModifierIndex);
  const uint32_t mask = 1u << (index - 1);
  modifier_flags_ = on ? (modifier_flags_ | mask) : (modifier_flags_ & ~mask);
}

namespace {
int ModifierIndex(char letter) {
  static constexpr char kLetters[] = "irsgmx";
  const char* p = std::strchr(kLetters, letter | 0x20);
  return letter != 0 && p != nullptr ? static_cast<int>(p - kLetters) + 1 : 0;
}
}  // namespace

bool TRegex::ModifierByLetter(char letter) const { return Modifier(ModifierIndex(letter)); }

void TRegex::SetModifierByLetter(char letter, bool on) { SetModifier(ModifierIndex(letter), on); }

void TRegex::SetModifierString(std::string_view modifiers) {
  uint32_t flags = modifier_flags_;
  if (!ApplyModifiers(modifiers, &flags)) ReportError(kRegexErrBadModifier);
  modifier_flags_ = flags;
}

void TRegex::SetSpaceCharacters(std::string_view chars) {
  space_chars_.assign(chars);
  DiscardProgram();
}

void TRegex::SetWordCharacters(std::string_view chars) {
  word_chars_.assign(chars);
  word_set_.reset();
  for (uint8_t c : word_chars_) word_set_.set(c);
  DiscardProgram();
}

void TRegex::SetLineBreakCharacters(std::string_view chars) {
  line_break_chars_.assign(chars);
  line_sep_set_.reset();
  for (uint8_t c : line_break_chars_) line_sep_set_.set(c);
  DiscardProgram();
}

std::string TRegex::PairedSeparator() const {
  if (!paired_assigned_) return std::string();
  return std::string{static_cast<char>(paired_head_), static_cast<char>(paired_tail_)};
}

void TRegex::SetPairedSeparator(std::string_view pair) {
  if (pair.empty()) {
    paired_assigned_ = false;
    DiscardProgram();
    return;
  }
  if (pair.size() != 2 || pair[0] == pair[1]) ReportError(kRegexErrBadPairedSeparator);
  const auto head = static_cast<Byte>(pair[0]);
  const auto tail = static_cast<Byte>(pair[1]);
  if (paired_assigned_ && head == paired_head_ && tail == paired_tail_) return;
  paired_assigned_ = true;
  paired_head_ = head;
  paired_tail_ = tail;
  DiscardProgram();
}

void TRegex::SetCaseFlip(CaseFlipFunction flip) {
  if (flip == nullptr) flip = &DefaultCaseFlip;
  for (int c = 0; c < 256; ++c) case_flip_[c] = flip(static_cast<uint8_t>(c));
  DiscardProgram();
}

std::string_view TRegex::NodeProgram() const {
  return {reinterpret_cast<const char*>(program_.data()), program_.size()};
}

std::string_view TRegex::RequiredText() const {
  if (required_offset_ < 0) return {};
  return {reinterpret_cast<const char*>(program_.data()) + required_offset_,
          static_cast<size_t>(required_length_)};
}

// ---------------------------------------------------------------------------
// Compiler

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

// ---------------------------------------------------------------------------
// Hints

void TRegex::ComputeHints(bool star_start) {
  first_byte_ = 0;
  anchored_at_start_ = 0;
  required_offset_ = -1;
  required_length_ = 0;
  leading_any_ = false;
  const int32_t top = 1;
  const int32_t after = ProgNext(top);
  if (after < 0 || program_[after] != OpEnd) return;  // several alternatives
  const int32_t first = top + kNodeHeader;
  switch (program_[first]) {
    case OpExact:
      first_byte_ = program_[first + kNodeHeader];
      break;
    case OpInputStart:
      anchored_at_start_ = 1;
      break;
    case OpStar:
    case OpPlus:
    case OpStarLazy:
    case OpPlusLazy:
      // Whatever follows a leading .* at a later start can follow it at the
      // first start as well, so only the first start needs trying.
      leading_any_ = program_[first + kNodeHeader] == OpAnyByte;
      break;
    default:
      break;
  }
  if (!star_start) return;
  int32_t longest = 0;
  for (int32_t s = first; s >= 0; s = ProgNext(s)) {
    if (program_[s] != OpExact) continue;
    const auto* text = reinterpret_cast<const char*>(&program_[s + kNodeHeader]);
    const auto len = static_cast<int32_t>(std::strlen(text));
    if (len > 0 && len >= longest) {
      longest = len;
      required_offset_ = s + kNodeHeader;
      required_length_ = len;
    }
  }
}

void TRegex::AddAtomBytes(int32_t atom) {
  const Byte* operand = &program_[atom + kNodeHeader];
  switch (program_[atom]) {
    case OpAnyByte:
    case OpBackRef:
    case OpBackRefCI:
      start_set_.set();
      break;
    case OpExact:
      start_set_.set(operand[0]);
      break;
    case OpExactCI:
      start_set_.set(operand[0]);
      start_set_.set(case_flip_[operand[0]]);
      break;
    case OpDigit:
      for (int c = '0'; c <= '9'; ++c) start_set_.set(c);
      break;
    case OpNonDigit:
      for (int c = 0; c < 256; ++c) {
        if (!IsDigit(static_cast<Byte>(c))) start_set_.set(c);
      }
      break;
    case OpAnyOfTiny:
      for (int i = 0; i < 3; ++i) start_set_.set(operand[i]);
      break;
    case OpAnyButTiny:
      for (int c = 0; c < 256; ++c) {
        if (c != operand[0] && c != operand[1] && c != operand[2]) start_set_.set(c);
      }
      break;
    case OpAnyOfSet:
      for (int c = 0; c < 256; ++c) {
        if ((operand[c >> 3] >> (c & 7)) & 1) start_set_.set(c);
      }
      break;
    default:
      ReportError(kRegexErrBadOpcode);
  }
}

// Adds the bytes at which a match from `node` can begin. Each node is walked
// once: what it contributes does not depend on how it was reached, which also
// ends the walk around loop-backs over operands that can match nothing.
void TRegex::FillStartSet(int32_t node, std::vector<Byte>* visited, std::vector<Byte>* reentered) {
  while (node >= 0) {
    const Byte op = program_[node];
    if ((*visited)[node]) {
      // A loop node met again from its own body: the body can match nothing.
      if (op == OpLoop || op == OpLoopLazy) (*reentered)[node] = 1;
      return;
    }
    (*visited)[node] = 1;
    const int32_t next = ProgNext(node);
    const Byte* operand = &program_[node + kNodeHeader];
    switch (op) {
      case OpEnd:
      case OpAnyByte:
      case OpAnyInLine:
      case OpBackRef:
      case OpBackRefCI:
        start_set_.set();
        return;
      case OpInputEnd:
        start_set_.set(0);
        return;
      case OpLineEnd:
        // The node exists only where multi-line mode was on while parsing,
        // also when a "(?m)" group turned it on.
        start_set_.set(0);
        for (uint8_t c : line_break_chars_) start_set_.set(c);
        if (paired_assigned_) start_set_.set(paired_head_);
        return;
      case OpExact:
      case OpExactCI:
      case OpDigit:
      case OpNonDigit:
      case OpAnyOfTiny:
      case OpAnyButTiny:
      case OpAnyOfSet:
        AddAtomBytes(node);
        return;
      case OpBranch:
        if (next < 0 || program_[next] != OpBranch) {
          node += kNodeHeader;
          continue;
        }
        for (int32_t b = node; b >= 0 && program_[b] == OpBranch; b = ProgNext(b)) {
          (*visited)[b] = 1;
          FillStartSet(b + kNodeHeader, visited, reentered);
        }
        return;
      case OpStar:
      case OpStarLazy:
        AddAtomBytes(node + kNodeHeader);
        node = next;
        continue;
      case OpPlus:
      case OpPlusLazy:
        AddAtomBytes(node + kNodeHeader);
        return;
      case OpBraces:
      case OpBracesLazy:
        AddAtomBytes(node + kNodeHeader + 8);
        if (ReadInt32(operand) > 0) return;
        node = next;
        continue;
      case OpLoop:
      case OpLoopLazy:
        FillStartSet(node + ReadInt32(operand + 8), visited, reentered);
        if (ReadInt32(operand) > 0 && !(*reentered)[node]) return;
        node = next;
        continue;
      case OpInputStart:
      case OpLineStart:
      case OpBack:
      case OpNothing:
      case OpComment:
      case OpWordBoundary:
      case OpNotWordBoundary:
      case OpLoopEntry:
        node = next;
        continue;
      default:
        if ((op > OpOpen && op < OpClose) || (op > OpClose && op <= OpClose + 14)) {
          node = next;
          continue;
        }
        ReportError(kRegexErrBadOpcode);
    }
  }
}

// Gives every OpBack a slot for the position of its last pass, so that a
// repetition whose operand matched nothing stops looping.
void TRegex::IndexBackNodes() {
  back_slot_.assign(program_.size(), -1);
  int32_t slots = 0;
  std::vector<Byte> seen(program_.size(), 0);
  std::vector<int32_t> todo{1};
  while (!todo.empty()) {
    const int32_t node = todo.back();
    todo.pop_back();
    if (node < 0 || seen[node]) continue;
    seen[node] = 1;
    const Byte op = program_[node];
    if (op == OpEnd) continue;
    if (op == OpBranch) todo.push_back(node + kNodeHeader);
    if (op == OpLoop || op == OpLoopLazy) {
      todo.push_back(node + ReadInt32(&program_[node + kNodeHeader + 8]));
    }
    if (op == OpBack) back_slot_[node] = slots++;
    todo.push_back(ProgNext(node));
  }
  back_passes_.assign(static_cast<size_t>(slots), nullptr);
}

}  // namespace zelvaro
