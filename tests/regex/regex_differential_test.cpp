// TRegex against PCRE2 on generated patterns and inputs, and the optimised
// search against the plain one (every start tried, no filters).
#define PCRE2_CODE_UNIT_WIDTH 8
#include <gtest/gtest.h>
#include <pcre2.h>

#include <memory>
#include <sstream>

#include "regex/untRegex.h"
#include "tests/regex/RegexGen.h"

namespace zelvaro {
namespace {

using testing::RegexGen;

struct Outcome {
  bool error = false;
  bool matched = false;
  std::vector<std::pair<int, int>> groups;  // (start, length), (-1, -1) when unset
  bool operator==(const Outcome&) const = default;
};

std::string Describe(const Outcome& o) {
  if (o.error) return "error";
  if (!o.matched) return "no match";
  std::ostringstream s;
  for (size_t i = 0; i < o.groups.size(); ++i) {
    s << " " << i << ":";
    if (o.groups[i].first < 0) {
      s << "unset";
    } else {
      s << o.groups[i].first << "+" << o.groups[i].second;
    }
  }
  return s.str();
}

Outcome RunOurs(TRegex& re, const std::string& input) {
  Outcome o;
  try {
    o.matched = re.Exec(input);
  } catch (const ERegex&) {
    o.error = true;
    return o;
  }
  if (o.matched) {
    for (int n = 0; n < TRegex::kGroupCount; ++n)
      o.groups.emplace_back(re.MatchPos(n), re.MatchLen(n));
  }
  return o;
}

class Pcre {
 public:
  explicit Pcre(const std::string& pattern) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                          PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_CIRCUMFLEX, &error,
                          &offset, nullptr);
    if (code_ != nullptr) data_ = pcre2_match_data_create(TRegex::kGroupCount, nullptr);
    context_ = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(context_, 1000000);
  }
  ~Pcre() {
    pcre2_match_data_free(data_);
    pcre2_match_context_free(context_);
    pcre2_code_free(code_);
  }
  bool ok() const { return code_ != nullptr; }

  // False when PCRE2 gives up (match limit); the case is then skipped.
  bool Run(const std::string& input, Outcome* o) {
    const int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(input.data()), input.size(), 0,
                               0, data_, context_);
    if (rc == PCRE2_ERROR_NOMATCH) return true;
    if (rc < 0) return false;
    o->matched = true;
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data_);
    for (int n = 0; n < TRegex::kGroupCount; ++n) {
      if (n < rc && ov[2 * n] != PCRE2_UNSET) {
        o->groups.emplace_back(static_cast<int>(ov[2 * n]),
                               static_cast<int>(ov[2 * n + 1] - ov[2 * n]));
      } else {
        o->groups.emplace_back(-1, -1);
      }
    }
    return true;
  }

 private:
  pcre2_code* code_ = nullptr;
  pcre2_match_data* data_ = nullptr;
  pcre2_match_context* context_ = nullptr;
};

TEST(RegexDifferential, AgreesWithPcre2OnGeneratedCases) {
  RegexGen gen(20240611);
  int compared = 0;
  int matched = 0;
  int failures = 0;
  for (int p = 0; p < 20000 && failures < 10; ++p) {
    const std::string pattern = gen.Pattern();
    if (pattern.empty()) continue;
    Pcre pcre(pattern);
    ASSERT_TRUE(pcre.ok()) << "PCRE2 rejects " << pattern;
    TRegex re;
    re.SetExpression(pattern);
    for (int i = 0; i < 6; ++i) {
      const std::string input = gen.Input();
      Outcome theirs;
      if (!pcre.Run(input, &theirs)) continue;
      const Outcome ours = RunOurs(re, input);
      ++compared;
      matched += theirs.matched ? 1 : 0;
      if (!(ours == theirs)) {
        ++failures;
        ADD_FAILURE() << "pattern " << pattern << "\ninput   \"" << input << "\"\nours   "
                      << Describe(ours) << "\npcre2  " << Describe(theirs);
      }
    }
  }
  EXPECT_GE(compared, 100000);
  EXPECT_GT(matched, compared / 5);  // the generator must produce matches, not only misses
}

// Alternation inside counted loops, where a visit that fails must give the
// loop back to a later alternative in the state it found it.
TEST(RegexDifferential, AlternationInsideCountedLoops) {
  RegexGen gen(77);
  int failures = 0;
  for (int p = 0; p < 4000 && failures < 10; ++p) {
    std::string body;
    const int alts = gen.Uniform(2, 3);
    for (int a = 0; a < alts; ++a) {
      if (a > 0) body += "|";
      static const char* kAlt[] = {"a", "ab", "b", "abc", "ba", "a(b)", "c?a", "[ab]b"};
      body += kAlt[gen.Uniform(0, 7)];
    }
    // {0,0} is left out: its operand has no width, and repeating it again is
    // error 106 here while PCRE2 accepts it.
    const int lo = gen.Uniform(0, 2);
    const int hi = std::max(1, lo + gen.Uniform(0, 2));
    std::string pattern = "(" + body + "){" + std::to_string(lo) + "," + std::to_string(hi) + "}" +
                          (gen.Chance(40) ? "?" : "") + (gen.Chance(70) ? "c" : "$");
    if (gen.Chance(30)) pattern = "(" + pattern + "){1,2}";
    Pcre pcre(pattern);
    ASSERT_TRUE(pcre.ok()) << pattern;
    TRegex re;
    re.SetExpression(pattern);
    for (int i = 0; i < 8; ++i) {
      std::string input;
      const int len = gen.Uniform(0, 8);
      for (int k = 0; k < len; ++k) input += "abc"[gen.Uniform(0, 2)];
      Outcome theirs;
      if (!pcre.Run(input, &theirs)) continue;
      const Outcome ours = RunOurs(re, input);
      if (!(ours == theirs)) {
        ++failures;
        ADD_FAILURE() << "pattern " << pattern << "\ninput   \"" << input << "\"\nours   "
                      << Describe(ours) << "\npcre2  " << Describe(theirs);
      }
    }
  }
}

// The start filters and the leading-.* shortcut never change a result: the
// same engine with every start position tried must agree, also for patterns
// that repeat operands able to match nothing.
TEST(RegexDifferential, OptimisedSearchEqualsPlainSearch) {
  RegexGen::Options options;
  options.nullable_repeats = true;
  options.max_depth = 2;  // deeper nests of .+ in loops backtrack for exponential time
  RegexGen gen(4242, options);
  int failures = 0;
  int compared = 0;
  for (int p = 0; p < 12000 && failures < 10; ++p) {
    std::string pattern = gen.Pattern();
    if (gen.Chance(40)) pattern = (gen.Chance(50) ? ".*" : ".+") + pattern;
    if (gen.Chance(20)) pattern = (gen.Chance(50) ? ".*?" : ".+?") + pattern;
    if (pattern.empty()) continue;
    TRegex fast;
    TRegex plain;
    plain.SetPlainSearch(true);
    fast.SetExpression(pattern);
    plain.SetExpression(pattern);
    for (int i = 0; i < 6; ++i) {
      std::string input = gen.Input();
      if (gen.Chance(20)) input += "\r\n" + gen.Input();
      const Outcome a = RunOurs(fast, input);
      const Outcome b = RunOurs(plain, input);
      ++compared;
      if (!(a == b)) {
        ++failures;
        ADD_FAILURE() << "pattern " << pattern << "\ninput   \"" << input << "\"\nfast   "
                      << Describe(a) << "\nplain  " << Describe(b);
      }
    }
  }
  EXPECT_GE(compared, 60000);
}

}  // namespace
}  // namespace zelvaro
