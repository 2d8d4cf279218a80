// Compiles a fuzzed pattern and runs it on a fuzzed input.
//
// Layout: byte 0 holds the modifiers (bits 0-5 = i r s g m x) and bit 6
// asks for a second run with the plain search; the rest is the pattern, a
// byte 0, and the input. Any ERegex is a fine answer. Checked: groups lie
// inside the input, and the plain search (every start, no filters) finds the
// same match as the optimised one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "regex/untRegex.h"

namespace {

struct Result {
  bool matched = false;
  int32_t pos[zelvaro::TRegex::kGroupCount] = {};
  int32_t len[zelvaro::TRegex::kGroupCount] = {};
};

// False when the engine raised.
bool Run(zelvaro::TRegex& re, uint8_t modifiers, const std::string& pattern,
         const std::string& input, Result* out) {
  try {
    for (int index = 1; index <= 6; ++index) re.SetModifier(index, (modifiers >> (index - 1)) & 1);
    re.SetExpression(pattern);
    out->matched = re.Exec(input);
  } catch (const zelvaro::ERegex&) {
    return false;
  }
  const auto size =
      static_cast<int32_t>(input.find('\0') == std::string::npos ? input.size() : input.find('\0'));
  for (int n = 0; n < zelvaro::TRegex::kGroupCount; ++n) {
    out->pos[n] = re.MatchPos(n);
    out->len[n] = re.MatchLen(n);
    if (out->pos[n] >= 0 && (out->len[n] < 0 || out->pos[n] + out->len[n] > size)) std::abort();
    if (out->pos[n] >= 0 && re.GroupText(n).size() != static_cast<size_t>(out->len[n])) {
      std::abort();
    }
  }
  if (out->matched != (out->pos[0] >= 0)) std::abort();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = rest.find('\0');
  const std::string pattern(rest.substr(0, split));
  const std::string input(split == std::string_view::npos ? std::string_view()
                                                          : rest.substr(split + 1));

  // Backtracking may take exponential time; the limit turns that into 1017.
  zelvaro::TRegex fast;
  fast.SetMatchLimit(200000);
  Result a;
  const bool fast_ok = Run(fast, flags & 0x3F, pattern, input, &a);
  // The same object again: a kept program must give the same answer.
  Result again;
  if (fast_ok && Run(fast, flags & 0x3F, pattern, input, &again) &&
      (a.matched != again.matched || a.pos[0] != again.pos[0] || a.len[0] != again.len[0])) {
    std::abort();
  }
  if ((flags & 0x40) != 0 && fast_ok) {
    zelvaro::TRegex plain;
    plain.SetPlainSearch(true);
    plain.SetMatchLimit(2000000);
    Result b;
    if (Run(plain, flags & 0x3F, pattern, input, &b)) {
      if (a.matched != b.matched) std::abort();
      for (int n = 0; n < zelvaro::TRegex::kGroupCount; ++n) {
        if (a.pos[n] != b.pos[n] || a.len[n] != b.len[n]) std::abort();
      }
    }
  }
  return 0;
}
