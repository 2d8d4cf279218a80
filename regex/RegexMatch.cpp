// TRegex's matcher: the search over start positions, MatchPrim walking the
// node program, RegRepeat, and the counted loops.
//
// MatchPrim works in continuation style: success means the whole rest of the
// program matched, so a node only has to undo its own changes (cursor, group
// marks, loop state) when it fails. Every failing path restores what it
// changed, which is what lets the search reuse the state between tries.
#include <pthread.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "regex/RegexProgram.h"
#include "regex/untRegex.h"

namespace zelvaro {

using namespace regex;

namespace {

inline const uint8_t* NextNode(const uint8_t* node) {
  const int32_t off = ReadInt32(node + 1);
  return off == 0 ? nullptr : node + off;
}

inline bool IsDigitByte(uint8_t c) { return c >= '0' && c <= '9'; }

inline bool InBitmap(const uint8_t* bitmap, uint8_t c) { return (bitmap[c >> 3] >> (c & 7)) & 1; }

// Half of this thread's stack, at most 8 MB; asked once per thread.
size_t ThreadStackBudget() {
  thread_local const size_t budget = [] {
    size_t size = 8u << 20;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
      size_t reported = 0;
      if (pthread_attr_getstacksize(&attr, &reported) == 0 && reported > 0) size = reported;
      pthread_attr_destroy(&attr);
    }
    return std::min<size_t>(size / 2, 8u << 20);
  }();
  return budget;
}

inline bool IsGroupMark(uint8_t op) {
  return (op > OpOpen && op <= OpOpen + 14) || (op > OpClose && op <= OpClose + 14);
}

// A literal after a repetition names the byte every try must stand on; group
// marks, empty nodes and a lone alternative before it do not change that.
// -1 when there is no such byte.
int RequiredNextByte(const uint8_t* next) {
  for (const uint8_t* look = next; look != nullptr;) {
    const uint8_t lop = *look;
    if (lop == OpExact) return look[kNodeHeader];
    if (lop == OpBranch) {
      const uint8_t* other = NextNode(look);
      if (other != nullptr && *other == OpBranch) return -1;  // a real choice
      look += kNodeHeader;                                    // the only alternative
      continue;
    }
    if (lop != OpNothing && lop != OpComment && !IsGroupMark(lop)) return -1;
    look = NextNode(look);
  }
  return -1;
}

}  // namespace

// Copies `src` up to its first byte 0 into `dst` (room for n + 16 bytes) and
// returns the length copied. One pass does both the search for the 0 and the
// copy, 16 bytes at a time; most inputs are short lines, where two library
// calls would cost more than the copy itself.
namespace {
size_t CopyUpToNul(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), chunk);
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, zero));
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
  if (i < n && n >= 16) {
    // The last bytes as one chunk overlapping the copied ones, which hold no 0.
    const size_t at = n - 16;
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + at), chunk);
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, zero));
    if (mask != 0) return at + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    return n;
  }
#endif
  for (; i < n; ++i) {
    if ((dst[i] = src[i]) == 0) return i;
  }
  return n;
}
}  // namespace

bool TRegex::Exec(std::string_view input) {
  ClearGroups();
  const size_t room = input.size() + 16;
  if (room > input_capacity_) {
    input_buffer_.reset(new uint8_t[room]);
    input_capacity_ = room;
  }
  input_length_ = CopyUpToNul(input_buffer_.get(), reinterpret_cast<const uint8_t*>(input.data()),
                              input.size());
  input_buffer_[input_length_] = 0;
  has_input_ = true;
  return ExecPrim(1);
}

bool TRegex::ExecPos(int32_t offset) { return ExecPrim(offset); }

// A failed try leaves every group as it found it, so only a match (or an
// error in the middle of a try) leaves positions to clear.
void TRegex::ClearGroups() {
  if (!groups_dirty_) return;
  for (int i = 0; i < kGroupCount; ++i) {
    group_start_[i] = nullptr;
    group_end_[i] = nullptr;
  }
  groups_dirty_ = false;
}

std::string TRegex::GroupText(int n) const {
  if (n < 0 || n >= kGroupCount || !has_input_) return std::string();
  const Pos start = group_start_[n];
  const Pos end = group_end_[n];
  if (start == nullptr || end == nullptr || end < start) return std::string();
  return std::string(reinterpret_cast<const char*>(start), static_cast<size_t>(end - start));
}

int32_t TRegex::MatchPos(int n) const {
  if (n < 0 || n >= kGroupCount || !has_input_ || group_start_[n] == nullptr ||
      group_end_[n] == nullptr || group_end_[n] < group_start_[n]) {
    return -1;
  }
  return static_cast<int32_t>(group_start_[n] - input_buffer_.get());
}

int32_t TRegex::MatchLen(int n) const {
  if (MatchPos(n) < 0) return -1;
  return static_cast<int32_t>(group_end_[n] - group_start_[n]);
}

bool TRegex::ExecPrim(int32_t offset) {
  ClearGroups();
  if (modifier_flags_ != compiled_flags_) DiscardProgram();
  if (program_.empty()) {
    if (expression_.empty()) ReportError(kRegexErrNoExpression);
    CompileExpression();
  }
  if (program_[0] != kProgramMagic) ReportError(kRegexErrCorruptedProgram);
  if (!has_input_) ReportError(kRegexErrNoInput);
  if (offset < 1) ReportError(kRegexErrBadOffset);
  const auto length = static_cast<int64_t>(input_length_);
  if (offset > length + 1) return false;

  const Pos begin = input_buffer_.get();
  const Pos end = begin + length;
  const Pos from = begin + (offset - 1);
  input_start_ = begin;
  input_end_ = end;
  loop_depth_ = 0;
  stack_base_ = static_cast<const char*>(__builtin_frame_address(0));
  stack_budget_ = ThreadStackBudget();
  steps_left_ = match_limit_ > 0 ? match_limit_ + 64 * length : INT64_MAX;
  std::fill(back_passes_.begin(), back_passes_.end(), nullptr);

  try {
    if (plain_search_) {
      for (Pos p = from; p <= end; ++p) {
        if (TryAt(p)) return true;
      }
      return false;
    }
    if (required_length_ > 0) {
      const void* found =
          memmem(from, static_cast<size_t>(end - from), program_.data() + required_offset_,
                 static_cast<size_t>(required_length_));
      if (found == nullptr) return false;
    }
    if (anchored_at_start_ != 0) return TryAt(from);
    // A leading .* matches from the first start whatever it would match from
    // a later one; the cap keeps its count within the bound of OpStar.
    if (leading_any_ && length < kMaxRepeat) return TryAt(from);
    if (first_byte_ != 0) {
      for (Pos p = from; p < end; ++p) {
        p = static_cast<Pos>(std::memchr(p, first_byte_, static_cast<size_t>(end - p)));
        if (p == nullptr) return false;
        if (TryAt(p)) return true;
      }
      return false;
    }
    for (Pos p = from; p <= end; ++p) {
      if (start_set_[*p] && TryAt(p)) return true;
    }
    return false;
  } catch (...) {
    groups_dirty_ = true;
    ClearGroups();
    throw;
  }
}

bool TRegex::TryAt(Pos start) {
  cursor_ = start;
  if (!MatchPrim(program_.data() + 1)) return false;
  group_start_[0] = start;
  group_end_[0] = cursor_;
  groups_dirty_ = true;
  return true;
}

bool TRegex::MatchPrim(Pos scan) {
  if (--steps_left_ < 0) ReportError(kRegexErrMatchLimit);
  if (static_cast<size_t>(stack_base_ - static_cast<const char*>(__builtin_frame_address(0))) >
      stack_budget_) {
    ReportError(kRegexErrRecursionTooDeep);
  }
  for (;;) {
    if (scan == nullptr) ReportError(kRegexErrMissingNode);
    Pos next = NextNode(scan);
    const Byte op = *scan;
    switch (op) {
      case OpEnd:
        return true;
      case OpInputStart:
        if (cursor_ != input_start_) return false;
        break;
      case OpInputEnd:
        if (cursor_ != input_end_) return false;
        break;
      case OpAnyByte:
        if (cursor_ == input_end_) return false;
        ++cursor_;
        break;
      case OpAnyInLine:
        if (cursor_ == input_end_ || line_sep_set_[*cursor_] ||
            (paired_assigned_ && *cursor_ == paired_head_ && cursor_ + 1 < input_end_ &&
             cursor_[1] == paired_tail_)) {
          return false;
        }
        ++cursor_;
        break;
      case OpExact: {
        Pos s = scan + kNodeHeader;
        if (*s == 0) {
          // An escaped NUL: only the terminating byte at the end is one.
          if (cursor_ != input_end_) return false;
          break;
        }
        // The input ends in byte 0, which no pattern byte equals.
        for (; *s != 0; ++s, ++cursor_) {
          if (*cursor_ != *s) return false;
        }
        break;
      }
      case OpExactCI: {
        Pos s = scan + kNodeHeader;
        if (*s == 0) {
          if (cursor_ != input_end_) return false;
          break;
        }
        for (; *s != 0; ++s, ++cursor_) {
          if (cursor_ == input_end_ || (*cursor_ != *s && *cursor_ != case_flip_[*s])) {
            return false;
          }
        }
        break;
      }
      case OpDigit:
        if (cursor_ == input_end_ || !IsDigitByte(*cursor_)) return false;
        ++cursor_;
        break;
      case OpNonDigit:
        if (cursor_ == input_end_ || IsDigitByte(*cursor_)) return false;
        ++cursor_;
        break;
      case OpAnyOfTiny: {
        const Pos s = scan + kNodeHeader;
        const Byte c = *cursor_;
        if (cursor_ == input_end_ || (c != s[0] && c != s[1] && c != s[2])) return false;
        ++cursor_;
        break;
      }
      case OpAnyButTiny: {
        const Pos s = scan + kNodeHeader;
        const Byte c = *cursor_;
        if (cursor_ == input_end_ || c == s[0] || c == s[1] || c == s[2]) return false;
        ++cursor_;
        break;
      }
      case OpAnyOfSet:
        if (cursor_ == input_end_ || !InBitmap(scan + kNodeHeader, *cursor_)) return false;
        ++cursor_;
        break;
      case OpBackRef:
      case OpBackRefCI: {
        const int n = scan[kNodeHeader];
        const Pos gs = group_start_[n];
        const Pos ge = group_end_[n];
        if (gs == nullptr || ge == nullptr || ge < gs) return false;
        const auto len = ge - gs;
        if (len > input_end_ - cursor_) return false;
        if (op == OpBackRef) {
          if (std::memcmp(cursor_, gs, static_cast<size_t>(len)) != 0) return false;
        } else {
          for (ptrdiff_t i = 0; i < len; ++i) {
            if (cursor_[i] != gs[i] && cursor_[i] != case_flip_[gs[i]]) return false;
          }
        }
        cursor_ += len;
        break;
      }
      case OpWordBoundary:
      case OpNotWordBoundary: {
        const bool before = cursor_ > input_start_ && IsWordByte(cursor_[-1]);
        const bool at = cursor_ < input_end_ && IsWordByte(*cursor_);
        const bool boundary = before != at;
        if (boundary != (op == OpWordBoundary)) return false;
        break;
      }
      case OpLineStart:
        if (cursor_ != input_start_) {
          const Byte b = cursor_[-1];
          const bool after_pair = paired_assigned_ && b == paired_tail_ &&
                                  cursor_ - 1 > input_start_ && cursor_[-2] == paired_head_;
          if (!after_pair) {
            const bool inside_pair = paired_assigned_ && b == paired_head_ &&
                                     cursor_ < input_end_ && *cursor_ == paired_tail_;
            if (inside_pair || !line_sep_set_[b]) return false;
          }
        }
        break;
      case OpLineEnd:
        if (cursor_ != input_end_) {
          const Byte b = *cursor_;
          const bool before_pair = paired_assigned_ && b == paired_head_ &&
                                   cursor_ + 1 < input_end_ && cursor_[1] == paired_tail_;
          if (!before_pair) {
            const bool inside_pair = paired_assigned_ && b == paired_tail_ &&
                                     cursor_ > input_start_ && cursor_[-1] == paired_head_;
            if (inside_pair || !line_sep_set_[b]) return false;
          }
        }
        break;
      case OpNothing:
      case OpComment:
        break;
      case OpBack:
        return MatchBackStep(scan, next);
      case OpBranch: {
        if (next == nullptr || *next != OpBranch) {
          next = scan + kNodeHeader;  // a single alternative: no choice
          break;
        }
        const Pos save = cursor_;
        for (;;) {
          const Pos following = NextNode(scan);
          if (following == nullptr || *following != OpBranch) break;
          if (MatchPrim(scan + kNodeHeader)) return true;
          cursor_ = save;
          scan = following;
        }
        // The last alternative needs no frame of its own: its failure is ours.
        next = scan + kNodeHeader;
        break;
      }
      case OpStar:
      case OpPlus:
      case OpBraces:
      case OpStarLazy:
      case OpPlusLazy:
      case OpBracesLazy:
        return MatchRepeat(scan, next);
      case OpLoopEntry: {
        const int32_t d = loop_depth_ + 1;
        if (d > kLoopStackSize) ReportError(kRegexErrLoopStackExceeded);
        const int32_t saved_counter = loop_counters_[d];
        const Pos saved_start = loop_starts_[d];
        const Pos save = cursor_;
        loop_depth_ = d;
        loop_counters_[d] = 0;
        loop_starts_[d] = nullptr;
        if (MatchPrim(next)) return true;
        loop_depth_ = d - 1;
        loop_counters_[d] = saved_counter;
        loop_starts_[d] = saved_start;
        cursor_ = save;
        return false;
      }
      case OpLoop:
      case OpLoopLazy:
        return MatchLoop(scan, next);
      default:
        if (IsGroupMark(op)) {
          const bool open = op < OpClose;
          Pos* slot = open ? &group_start_[op - OpOpen] : &group_end_[op - OpClose];
          const Pos saved = *slot;
          *slot = cursor_;
          if (MatchPrim(next)) return true;
          *slot = saved;
          return false;
        }
        ReportError(kRegexErrBadOpcode);
    }
    scan = next;
  }
}

// A loop-back of the greedy * and + constructions over a complex operand. An
// iteration that consumed nothing since this node's last pass ends the
// looping; the way out of the construction is tried instead.
bool TRegex::MatchBackStep(Pos scan, Pos next) {
  const int32_t slot = back_slot_[static_cast<size_t>(scan - program_.data())];
  const Pos last = back_passes_[slot];
  if (last == cursor_) return false;
  back_passes_[slot] = cursor_;
  if (MatchPrim(next)) return true;
  back_passes_[slot] = last;
  return false;
}

int32_t TRegex::RegRepeat(Pos atom, int32_t max) {
  const int64_t room = input_end_ - cursor_;
  const auto bound = static_cast<int32_t>(room < max ? room : max);
  const Pos s = atom + kNodeHeader;
  Pos p = cursor_;
  const Pos limit = cursor_ + bound;
  switch (*atom) {
    case OpAnyByte:
      p = limit;
      break;
    case OpExact:
      while (p < limit && *p == s[0]) ++p;
      break;
    case OpExactCI: {
      const Byte a = s[0];
      const Byte b = case_flip_[a];
      while (p < limit && (*p == a || *p == b)) ++p;
      break;
    }
    case OpDigit:
      while (p < limit && IsDigitByte(*p)) ++p;
      break;
    case OpNonDigit:
      while (p < limit && !IsDigitByte(*p)) ++p;
      break;
    case OpAnyOfTiny:
      while (p < limit && (*p == s[0] || *p == s[1] || *p == s[2])) ++p;
      break;
    case OpAnyButTiny:
      while (p < limit && *p != s[0] && *p != s[1] && *p != s[2]) ++p;
      break;
    case OpAnyOfSet:
      while (p < limit && InBitmap(s, *p)) ++p;
      break;
    case OpBackRef:
    case OpBackRefCI: {
      const Pos gs = group_start_[s[0]];
      const Pos ge = group_end_[s[0]];
      if (gs == nullptr || ge == nullptr || ge < gs) return 0;
      const auto len = ge - gs;
      if (len == 0) return max;
      int32_t count = 0;
      while (count < max && input_end_ - p >= len) {
        bool same = true;
        for (ptrdiff_t i = 0; i < len && same; ++i) {
          same = p[i] == gs[i] || (*atom == OpBackRefCI && p[i] == case_flip_[gs[i]]);
        }
        if (!same) break;
        p += len;
        ++count;
      }
      cursor_ = p;
      return count;
    }
    default:
      ReportError(kRegexErrRegRepeat);
  }
  const auto count = static_cast<int32_t>(p - cursor_);
  cursor_ = p;
  return count;
}

// Greedy and lazy repetition of a one-byte atom.
bool TRegex::MatchRepeat(Pos scan, Pos next) {
  const Byte op = *scan;
  int32_t min = 0;
  int32_t max = kMaxRepeat;
  Pos atom = scan + kNodeHeader;
  if (op == OpPlus || op == OpPlusLazy) min = 1;
  if (op == OpBraces || op == OpBracesLazy) {
    min = ReadInt32(scan + kNodeHeader);
    max = ReadInt32(scan + kNodeHeader + 4);
    atom = scan + kNodeHeader + 8;
  }
  const bool lazy = op == OpStarLazy || op == OpPlusLazy || op == OpBracesLazy;

  const Pos start = cursor_;
  if (*atom == OpBackRef || *atom == OpBackRefCI) {
    // Repetitions of a group's text: whole copies, given back one at a time.
    const Pos gs = group_start_[atom[kNodeHeader]];
    const Pos ge = group_end_[atom[kNodeHeader]];
    const int64_t len = (gs != nullptr && ge != nullptr && ge >= gs) ? ge - gs : -1;
    const int32_t n = RegRepeat(atom, max);
    if (n < min) return false;
    const int required = RequiredNextByte(next);
    if (len <= 0) {
      // Unset: no copies; empty: any number of copies, all in the same place.
      cursor_ = start;
      return (required < 0 || *cursor_ == required) && MatchPrim(next);
    }
    for (int32_t k = 0; k <= n - min; ++k) {
      const int32_t i = lazy ? min + k : n - k;
      cursor_ = start + i * len;
      if ((required < 0 || *cursor_ == required) && MatchPrim(next)) return true;
    }
    return false;
  }

  if (!lazy) {
    const int32_t n = RegRepeat(atom, max);
    if (n < min) return false;
    const int required = RequiredNextByte(next);
    const Pos low = start + min;
    Pos high = start + n;
    if (required >= 0) {
      for (;;) {
        const auto* hit =
            static_cast<Pos>(memrchr(low, required, static_cast<size_t>(high - low + 1)));
        if (hit == nullptr) return false;
        cursor_ = hit;
        if (MatchPrim(next)) return true;
        if (hit == low) return false;
        high = hit - 1;
      }
    }
    for (Pos p = high;; --p) {
      cursor_ = p;
      if (MatchPrim(next)) return true;
      if (p == low) return false;
    }
  }

  if (RegRepeat(atom, min) < min) return false;
  const int required = RequiredNextByte(next);
  Pos p = start + min;
  for (int32_t count = min;; ++count) {
    if (required < 0 || *p == required) {
      cursor_ = p;
      if (MatchPrim(next)) return true;
    }
    if (count >= max) return false;
    cursor_ = p;
    if (RegRepeat(atom, 1) != 1) return false;
    ++p;
  }
}

// One visit of a counted loop's node. Every way out restores the loop depth,
// this loop's counter and the cursor, so that a later alternative meets the
// loop in the state it left it.
bool TRegex::MatchLoop(Pos scan, Pos next) {
  const int32_t d = loop_depth_;
  if (d <= 0) ReportError(kRegexErrLoopWithoutEntry);
  const int32_t min = ReadInt32(scan + kNodeHeader);
  const int32_t max = ReadInt32(scan + kNodeHeader + 4);
  const Pos body = scan + ReadInt32(scan + kNodeHeader + 8);
  const int32_t v = loop_counters_[d];
  const Pos previous = loop_starts_[d];
  const Pos start = cursor_;

  auto restore = [&] {
    loop_depth_ = d;
    loop_counters_[d] = v;
    loop_starts_[d] = previous;
    cursor_ = start;
  };
  auto run_body = [&] {
    loop_counters_[d] = v + 1;
    loop_starts_[d] = start;
    if (MatchPrim(body)) return true;
    restore();
    return false;
  };
  auto leave = [&] {
    loop_depth_ = d - 1;
    if (MatchPrim(next)) return true;
    restore();
    return false;
  };

  // An iteration that matched nothing would match nothing again: go on
  // after the loop instead of iterating without end.
  if (previous == start) return leave();
  if (v < min) return run_body();
  if (*scan == OpLoop) {
    if (v < max && run_body()) return true;
    return leave();
  }
  if (leave()) return true;
  return v < max && run_body();
}

}  // namespace zelvaro
