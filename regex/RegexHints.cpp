// TRegex's hints drawn from a compiled program: the bytes a match can start
// with, an anchor, the text every match must contain, and the slots of the
// loop-back nodes.
#include <cstring>
#include <vector>

#include "regex/RegexProgram.h"
#include "regex/untRegex.h"

namespace zelvaro {

using namespace regex;

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
        if (c < '0' || c > '9') start_set_.set(c);
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
