// Random patterns and inputs in the syntax TRegex shares with PCRE2 (same
// meaning under PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY): literals, classes,
// escapes, anchors, groups, alternation, greedy and lazy quantifiers, counted
// loops, back-references and inline modifier groups. Left out: what the two
// define differently (\Z, \v in \s, "(?U)" against our g, x mode, byte
// ranges widened by r, CR LF pairs under m) and repetitions of operands that
// can match the empty string.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace zelvaro::testing {

class RegexGen {
 public:
  struct Options {
    bool backrefs = true;
    bool modifiers = true;
    bool nullable_repeats = false;  // also repeat operands that may match nothing
    int max_depth = 3;
  };

  explicit RegexGen(uint32_t seed) : rng_(seed) {}
  RegexGen(uint32_t seed, Options options) : rng_(seed), options_(options) {}

  std::string Pattern() {
    groups_ = 0;
    closed_.clear();
    bool nullable = false;
    return Alternation(0, &nullable);
  }

  std::string Input() {
    static const char kAlphabet[] = "aaabbbcAB1 -\n\xe9_";
    const int len = Uniform(0, 12);
    std::string s;
    for (int i = 0; i < len; ++i) s += kAlphabet[Uniform(0, sizeof kAlphabet - 2)];
    return s;
  }

  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int percent) { return Uniform(0, 99) < percent; }
  std::mt19937& Rng() { return rng_; }

 private:
  struct Piece {
    std::string text;
    bool nullable;    // may match the empty string
    bool zero_width;  // never consumes (anchors, modifier groups)
  };

  std::string Alternation(int depth, bool* nullable) {
    std::string out = Sequence(depth, nullable);
    while (Chance(depth == 0 ? 25 : 35)) {
      bool n = false;
      out += "|" + Sequence(depth, &n);
      *nullable = *nullable || n;
    }
    return out;
  }

  std::string Sequence(int depth, bool* nullable) {
    std::string out;
    *nullable = true;
    if (options_.modifiers && Chance(8)) {
      static const char* kMods[] = {"(?i)", "(?-i)", "(?m)", "(?-s)", "(?s)", "(?im)"};
      out += kMods[Uniform(0, 5)];
    }
    const int pieces = Uniform(0, 4);
    for (int i = 0; i < pieces; ++i) {
      Piece p = Quantified(depth);
      out += p.text;
      *nullable = *nullable && p.nullable;
    }
    return out;
  }

  Piece Quantified(int depth) {
    Piece atom = Atom(depth);
    if (atom.zero_width || !Chance(40)) return atom;
    const bool may_repeat = !atom.nullable || options_.nullable_repeats;
    std::string q;
    bool nullable = atom.nullable;
    switch (may_repeat ? Uniform(0, 5) : 2) {
      case 0:
        q = "*";
        nullable = true;
        break;
      case 1:
        q = "+";
        break;
      case 2:
        q = "?";
        nullable = true;
        break;
      case 3: {
        const int n = Uniform(0, 3);
        q = "{" + std::to_string(n) + "}";
        nullable = nullable || n == 0;
        break;
      }
      case 4: {
        const int n = Uniform(0, 2);
        q = "{" + std::to_string(n) + ",}";
        nullable = nullable || n == 0;
        break;
      }
      default: {
        const int n = Uniform(0, 2);
        q = "{" + std::to_string(n) + "," + std::to_string(n + Uniform(0, 2)) + "}";
        nullable = nullable || n == 0;
        break;
      }
    }
    if (Chance(35)) q += "?";
    return {atom.text + q, nullable, false};
  }

  Piece Atom(int depth) {
    const int kind = Uniform(0, 99);
    if (kind < 30) {
      static const char kLit[] = "aaabbcA -_";
      return {std::string(1, kLit[Uniform(0, sizeof kLit - 2)]), false, false};
    }
    if (kind < 36) return {".", false, false};
    if (kind < 48) return {Class(), false, false};
    if (kind < 54) {
      static const char* kEsc[] = {"\\d", "\\w", "\\s", "\\D", "\\W", "\\S", "\\x61", "\\-", "\\."};
      return {kEsc[Uniform(0, 8)], false, false};
    }
    if (kind < 60) {
      static const char* kAnchor[] = {"^", "$", "\\b", "\\B", "\\A"};
      return {kAnchor[Uniform(0, 4)], true, true};
    }
    if (kind < 66 && options_.backrefs && !closed_.empty()) {
      const int g = closed_[Uniform(0, static_cast<int>(closed_.size()) - 1)];
      return {"\\" + std::to_string(g), true, false};
    }
    if (depth < options_.max_depth && groups_ < 9) {
      const int number = ++groups_;
      bool nullable = false;
      std::string inner = Alternation(depth + 1, &nullable);
      closed_.push_back(number);
      return {"(" + inner + ")", nullable, false};
    }
    return {"a", false, false};
  }

  std::string Class() {
    std::string out = "[";
    if (Chance(25)) out += "^";
    if (Chance(5)) out += "]";
    const int members = Uniform(1, 3);
    for (int i = 0; i < members; ++i) {
      switch (Uniform(0, 6)) {
        case 0:
          out += "a-c";
          break;
        case 1:
          out += "A-Z";
          break;
        case 2:
          out += "\\d";
          break;
        case 3:
          out += "\\s";
          break;
        case 4:
          out += "\\w";
          break;
        default: {
          static const char kMember[] = "abcA1 _";
          out += kMember[Uniform(0, sizeof kMember - 2)];
          break;
        }
      }
    }
    if (Chance(10)) out += "-";
    return out + "]";
  }

  std::mt19937 rng_;
  Options options_;
  int groups_ = 0;
  std::vector<int> closed_;
};

}  // namespace zelvaro::testing
