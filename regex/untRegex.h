// TRegex: the program's backtracking regular-expression engine over bytes.
//
//   TRegex re;
//   re.SetExpression(pattern);   // compiled at the next Exec, kept while unchanged
//   if (re.Exec(line)) use(re.GroupText(1));
//
// Two stages: the compiler turns the expression into a byte-coded node
// program (NodeProgram(), laid out in regex/RegexProgram.h), and the matcher
// walks that program along its chains, recursing only at choice points. Bytes
// are bytes: a double-byte Shift_JIS character is two bytes to the engine, and
// byte 0 ends both the pattern and the input.
//
// Errors raise ERegex through ReportError. ErrorNumber is one of the codes
// below; ErrorPosition is the offset into the expression where compilation
// stopped, 0 for errors outside compilation. Codes below 1000 carry
// " (pos N)" after their message.
//
//   100 null argument           113 unmatched []            1000 RegRepeat on a wrong node
//   102 more than 14 groups     114 internal urp            1001 unknown opcode
//   103 group without ")"       115 ?+*{ follows nothing    1002 missing next node
//   104 ")" at top level        116 trailing backslash      1003 Exec without expression
//   105 junk at the end         119 internal disaster       1004 corrupted program
//   106 *+ operand may be empty 122 braces number too big   1005 no input string
//   107 nested quantifiers      124 {n,m} with n > m        1006 offset below 1
//   108 bad hex digit           125 unclosed (?#comment)    1014 more than 10 nested loops
//   109 invalid [] range        127 unrecognized modifier   1015 loop without entry
//   110 trailing \ in []        128 bad paired separator    1016 recursion too deep
//   111 no hex code after \x                                1017 match limit exceeded
//   112 \x code above 0xFF
// Any other code reads "Unknown error" (e.g. 1013, a modifier index outside 1..6).
//
// 1016 "TRegex(exec): Match Recursion Too Deep" is raised instead of running
// out of stack: the matcher recurses once per open choice point, which for a
// repeated group or alternation grows with the input. A run may use half of
// the calling thread's stack (at most 8 MB); in a release build that is some
// 40,000 nested choice points on an 8 MB stack.
//
// 1017 "TRegex(exec): Match Limit Exceeded" ends a search that has made more
// than MatchLimit() + 64 steps per input byte (a step is a node visit that may
// backtrack; MatchLimit() is 10,000,000 unless set), so that a pattern which
// backtracks for exponential time reports an error instead of hanging, while
// work that grows in step with the input is never cut short.
//
// A repeated operand that can match the empty string (e.g. "(a{0,3})*") stops
// repeating once an iteration has consumed nothing: the loop-back of * and +
// then fails and the way out is taken; a counted loop is left.
//
// A TRegex is used by one thread at a time. GroupText and the positions stay
// valid until the next Exec.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/Exception.h"

namespace zelvaro {

class ERegex : public Exception {
 public:
  ERegex(std::string message, int32_t error_number, int32_t error_position)
      : Exception(std::move(message)), ErrorNumber(error_number), ErrorPosition(error_position) {}
  int32_t ErrorNumber;
  int32_t ErrorPosition;
};

// Error codes the engine raises (see the table above).
enum : int32_t {
  kRegexErrNone = 0,
  kRegexErrNullArgument = 100,
  kRegexErrTooManyGroups = 102,
  kRegexErrUnmatchedParen = 103,
  kRegexErrUnmatchedCloseParen = 104,
  kRegexErrJunkOnEnd = 105,
  kRegexErrOperandCouldBeEmpty = 106,
  kRegexErrNestedQuantifier = 107,
  kRegexErrBadHexDigit = 108,
  kRegexErrInvalidRange = 109,
  kRegexErrClassTrailingBackslash = 110,
  kRegexErrNoHexCode = 111,
  kRegexErrHexTooBig = 112,
  kRegexErrUnmatchedBracket = 113,
  kRegexErrInternalUrp = 114,
  kRegexErrQuantifierFollowsNothing = 115,
  kRegexErrTrailingBackslash = 116,
  kRegexErrInternalDisaster = 119,
  kRegexErrBracesTooBig = 122,
  kRegexErrBracesMinAboveMax = 124,
  kRegexErrUnclosedComment = 125,
  kRegexErrBadModifier = 127,
  kRegexErrBadPairedSeparator = 128,
  kRegexErrRegRepeat = 1000,
  kRegexErrBadOpcode = 1001,
  kRegexErrMissingNode = 1002,
  kRegexErrNoExpression = 1003,
  kRegexErrCorruptedProgram = 1004,
  kRegexErrNoInput = 1005,
  kRegexErrBadOffset = 1006,
  kRegexErrBadModifierIndex = 1013,
  kRegexErrLoopStackExceeded = 1014,
  kRegexErrLoopWithoutEntry = 1015,
  kRegexErrRecursionTooDeep = 1016,
  kRegexErrMatchLimit = 1017,
};

class TRegex {
 public:
  // Modifier bits of ModifierFlags(); index 1..6 and letters i r s g m x
  // name them in this order.
  enum : uint32_t {
    kModI = 1,   // ignore case through CaseFlip
    kModR = 2,   // widened byte ranges in classes
    kModS = 4,   // "." matches every byte
    kModG = 8,   // quantifiers greedy unless followed by "?"
    kModM = 16,  // "^" and "$" also at line separators
    kModX = 32,  // blanks and # comments in the pattern are ignored
  };
  static constexpr uint32_t kDefaultModifiers = kModR | kModS | kModG;
  static constexpr int kGroupCount = 15;     // group 0 is the whole match
  static constexpr int kLoopStackSize = 10;  // nested counted loops

  using CaseFlipFunction = uint8_t (*)(uint8_t);

  TRegex();
  virtual ~TRegex();
  TRegex(const TRegex&) = delete;
  TRegex& operator=(const TRegex&) = delete;

  // Raises ERegex with `code`, after storing it in LastErrorCode.
  virtual void ReportError(int32_t code);
  virtual std::string ErrorMessage(int32_t code) const;

  // Setting the expression it already holds keeps the compiled program;
  // anything else discards it. The text is taken up to its first byte 0.
  void SetExpression(std::string_view pattern);
  const std::string& Expression() const { return expression_; }

  // Searches `input` (up to its first byte 0) from its first byte for the
  // leftmost match. Compiles first when needed; compile errors raise ERegex.
  bool Exec(std::string_view input);
  // The same search on the input stored by the last Exec, from the 1-based
  // `offset` (error 1006 below 1, false beyond the end + 1).
  bool ExecPos(int32_t offset);

  // Group n (0 = the whole match) of the last Exec; empty when unset.
  std::string GroupText(int n) const;
  // 0-based offset and length of group n in the input, -1 when unset.
  int32_t MatchPos(int n) const;
  int32_t MatchLen(int n) const;

  // Compiles now instead of at the next Exec (error 100 without expression).
  void Compile();

  // Modifiers. Index 1..6 (error 1013 otherwise), letter in either case, or
  // a modifier string as inside "(?...)", e.g. "i-g" (error 127 if invalid).
  bool Modifier(int index) const;
  void SetModifier(int index, bool on);
  bool ModifierByLetter(char letter) const;
  void SetModifierByLetter(char letter, bool on);
  void SetModifierString(std::string_view modifiers);
  uint32_t ModifierFlags() const { return modifier_flags_; }

  // Character sets. Changing one discards the compiled program, since classes
  // and anchors are built from them.
  const std::string& SpaceCharacters() const { return space_chars_; }
  void SetSpaceCharacters(std::string_view chars);
  const std::string& WordCharacters() const { return word_chars_; }
  void SetWordCharacters(std::string_view chars);
  const std::string& LineBreakCharacters() const { return line_break_chars_; }
  void SetLineBreakCharacters(std::string_view chars);
  // Two different bytes, or empty to have no paired separator (error 128).
  std::string PairedSeparator() const;
  void SetPairedSeparator(std::string_view pair);
  void SetCaseFlip(CaseFlipFunction flip);
  uint8_t CaseFlip(uint8_t c) const { return case_flip_[c]; }
  static uint8_t DefaultCaseFlip(uint8_t c);

  int32_t LastErrorCode() const { return last_error_code_; }

  // The compiled program and the hints drawn from it; empty/0 until compiled.
  std::string_view NodeProgram() const;
  uint8_t FirstByte() const { return first_byte_; }
  bool AnchoredAtStart() const { return anchored_at_start_ != 0; }
  std::string_view RequiredText() const;
  const std::bitset<256>& StartSet() const { return start_set_; }
  // Readable listing of the node program, one node a line.
  std::string DumpProgram() const;

  // Turns off the start filters and the leading-".*" shortcut, so that every
  // start position is tried. Results never change; tests and benchmarks use
  // it to compare against the plain search.
  void SetPlainSearch(bool plain) { plain_search_ = plain; }

  // Steps one search may take, besides 64 per input byte, before error 1017;
  // 0 means no limit.
  int64_t MatchLimit() const { return match_limit_; }
  void SetMatchLimit(int64_t steps) { match_limit_ = steps; }

 private:
  using Byte = uint8_t;
  using Pos = const Byte*;

  // Compiler.
  void CompileExpression();
  void DiscardProgram();
  int32_t ParseReg(bool paren, int* flags);
  int32_t ParseBranch(int* flags);
  int32_t ParsePiece(int* flags);
  int32_t ParseAtom(int* flags);
  int32_t ParseClass(int* flags);
  int32_t EmitSetNode(const std::bitset<256>& set, bool negated);
  Byte ParseByteEscape();
  bool ParseNumber(Pos begin, Pos end, int32_t* value);
  bool ApplyModifiers(std::string_view modifiers, uint32_t* flags) const;
  int32_t EmitNode(Byte op);
  void EmitByte(Byte b);
  void EmitInt(int32_t v);
  void InsertOperator(Byte op, int32_t operand, int32_t size);
  void Tail(int32_t p, int32_t val);
  void OpTail(int32_t p, int32_t val);
  int32_t ProgNext(int32_t p) const;
  void ComputeHints(bool star_start);
  void FillStartSet(int32_t node, std::vector<Byte>* visited, std::vector<Byte>* reentered);
  void AddAtomBytes(int32_t atom);
  void IndexBackNodes();

  // Matcher.
  bool ExecPrim(int32_t offset);
  bool TryAt(Pos start);
  bool MatchPrim(Pos scan);
  bool MatchRepeat(Pos scan, Pos next);
  bool MatchLoop(Pos scan, Pos next);
  bool MatchBackStep(Pos scan, Pos next);
  int32_t RegRepeat(Pos atom, int32_t max);
  bool IsWordByte(Byte c) const { return word_set_[c]; }
  void ClearGroups();

  // Working state of a run.
  Pos group_start_[kGroupCount] = {};
  Pos group_end_[kGroupCount] = {};
  bool groups_dirty_ = false;  // some group position may be set
  int32_t loop_counters_[kLoopStackSize + 1] = {};
  Pos loop_starts_[kLoopStackSize + 1] = {};
  int32_t loop_depth_ = 0;
  const char* stack_base_ = nullptr;  // frame of the running search
  size_t stack_budget_ = 0;           // bytes below it MatchPrim may use
  Pos cursor_ = nullptr;
  Pos input_start_ = nullptr;
  Pos input_end_ = nullptr;
  std::vector<Pos> back_passes_;  // last pass of each loop-back node, by slot

  // Hints from compilation.
  Byte first_byte_ = 0;
  Byte anchored_at_start_ = 0;
  int32_t required_offset_ = -1;  // into program_, -1 if none
  int32_t required_length_ = 0;
  std::bitset<256> start_set_;
  bool leading_any_ = false;        // single alternative starting with .* / .+ under s
  std::vector<int32_t> back_slot_;  // program offset -> slot of an OpBack, -1 otherwise

  // Compiler state.
  Pos parse_ = nullptr;
  Pos parse_end_ = nullptr;
  Pos expression_start_ = nullptr;
  int32_t next_group_ = 0;
  bool sizing_ = false;
  int32_t emit_ = 0;
  int32_t size_ = 0;
  bool compiled_ = false;

  std::vector<Byte> program_;
  std::string expression_;
  std::unique_ptr<uint8_t[]> input_buffer_;  // the stored input, ended by a byte 0
  size_t input_capacity_ = 0;
  size_t input_length_ = 0;
  bool has_input_ = false;
  int32_t last_error_code_ = 0;
  uint32_t modifier_flags_;
  uint32_t parse_flags_ = 0;
  uint32_t compiled_flags_ = 0;
  std::string space_chars_;
  std::string word_chars_;
  std::string line_break_chars_;
  bool paired_assigned_ = false;
  Byte paired_head_ = 0;
  Byte paired_tail_ = 0;
  Byte case_flip_[256];
  std::bitset<256> word_set_;
  std::bitset<256> line_sep_set_;
  bool plain_search_ = false;
  int64_t match_limit_ = 10'000'000;
  int64_t steps_left_ = 0;
};

}  // namespace zelvaro
