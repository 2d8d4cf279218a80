// TRegex: construction, error texts and settings. The compiler (two passes
// over the expression into the node program) is in RegexParse.cpp, the
// hints drawn from the program in RegexHints.cpp, the matcher in
// RegexMatch.cpp.
#include "regex/untRegex.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "regex/RegexProgram.h"

namespace zelvaro {

using namespace regex;

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
}  // namespace zelvaro
