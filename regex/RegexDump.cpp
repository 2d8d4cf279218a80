// TRegex::DumpProgram: a readable listing of the node program, for the
// command line's --dump and for reading test failures.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "regex/RegexProgram.h"
#include "regex/untRegex.h"

namespace zelvaro {

using namespace regex;

namespace {

const char* OpName(uint8_t op) {
  switch (op) {
    case OpEnd:
      return "END";
    case OpInputStart:
      return "INPUTSTART";
    case OpInputEnd:
      return "INPUTEND";
    case OpAnyByte:
      return "ANYBYTE";
    case OpBranch:
      return "BRANCH";
    case OpBack:
      return "BACK";
    case OpExact:
      return "EXACT";
    case OpNothing:
      return "NOTHING";
    case OpStar:
      return "STAR";
    case OpPlus:
      return "PLUS";
    case OpDigit:
      return "DIGIT";
    case OpNonDigit:
      return "NONDIGIT";
    case OpBraces:
      return "BRACES";
    case OpComment:
      return "COMMENT";
    case OpExactCI:
      return "EXACTCI";
    case OpLoopEntry:
      return "LOOPENTRY";
    case OpLoop:
      return "LOOP";
    case OpAnyOfTiny:
      return "ANYOFTINY";
    case OpAnyButTiny:
      return "ANYBUTTINY";
    case OpAnyOfSet:
      return "ANYOFSET";
    case OpBackRef:
      return "BACKREF";
    case OpBackRefCI:
      return "BACKREFCI";
    case OpStarLazy:
      return "STARLAZY";
    case OpPlusLazy:
      return "PLUSLAZY";
    case OpBracesLazy:
      return "BRACESLAZY";
    case OpLoopLazy:
      return "LOOPLAZY";
    case OpLineStart:
      return "LINESTART";
    case OpLineEnd:
      return "LINEEND";
    case OpAnyInLine:
      return "ANYINLINE";
    case OpWordBoundary:
      return "WORDBOUNDARY";
    case OpNotWordBoundary:
      return "NOTWORDBOUNDARY";
    default:
      return nullptr;
  }
}

std::string Printable(const uint8_t* s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    if (s[i] >= 0x20 && s[i] < 0x7F && s[i] != '\\') {
      out += static_cast<char>(s[i]);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", s[i]);
      out += buf;
    }
  }
  return out;
}

}  // namespace

std::string TRegex::DumpProgram() const {
  const std::vector<uint8_t>& prog = program_;
  if (prog.empty()) return std::string();
  // Nodes in program order, found by following every edge from the start.
  std::vector<int32_t> nodes;
  std::vector<uint8_t> seen(prog.size(), 0);
  std::vector<int32_t> todo{1};
  auto next_of = [&](int32_t p) {
    const int32_t off = ReadInt32(&prog[p + 1]);
    return off == 0 ? -1 : p + off;
  };
  while (!todo.empty()) {
    const int32_t p = todo.back();
    todo.pop_back();
    if (p < 1 || p >= static_cast<int32_t>(prog.size()) || seen[p]) continue;
    seen[p] = 1;
    nodes.push_back(p);
    const uint8_t op = prog[p];
    if (op == OpEnd) continue;
    if (op == OpBranch) todo.push_back(p + kNodeHeader);
    if (op == OpLoop || op == OpLoopLazy) todo.push_back(p + ReadInt32(&prog[p + kNodeHeader + 8]));
    todo.push_back(next_of(p));
  }
  std::sort(nodes.begin(), nodes.end());

  std::string out;
  char buf[96];
  auto describe = [&](int32_t p) {
    const uint8_t op = prog[p];
    const uint8_t* operand = &prog[p + kNodeHeader];
    std::string text;
    if (const char* name = OpName(op)) {
      text = name;
    } else if (op > OpOpen && op <= OpOpen + 14) {
      text = "OPEN" + std::to_string(op - OpOpen);
    } else if (op > OpClose && op <= OpClose + 14) {
      text = "CLOSE" + std::to_string(op - OpClose);
    } else {
      text = "?" + std::to_string(op);
    }
    switch (op) {
      case OpExact:
      case OpExactCI: {
        const size_t len = std::strlen(reinterpret_cast<const char*>(operand));
        text += " \"" + Printable(operand, len) + "\"";
        break;
      }
      case OpAnyOfTiny:
      case OpAnyButTiny:
        text += " [" + Printable(operand, 3) + "]";
        break;
      case OpBackRef:
      case OpBackRefCI:
        text += " \\" + std::to_string(operand[0]);
        break;
      case OpBraces:
      case OpBracesLazy:
      case OpLoop:
      case OpLoopLazy:
        std::snprintf(buf, sizeof buf, " {%d,%d}", ReadInt32(operand), ReadInt32(operand + 4));
        text += buf;
        if (op == OpLoop || op == OpLoopLazy) {
          text += " body " + std::to_string(p + ReadInt32(operand + 8));
        }
        break;
      default:
        break;
    }
    return text;
  };
  for (int32_t p : nodes) {
    const int32_t next = next_of(p);
    std::snprintf(buf, sizeof buf, "%4d: ", p);
    out += buf;
    out += describe(p);
    const uint8_t op = prog[p];
    if (op == OpStar || op == OpPlus || op == OpStarLazy || op == OpPlusLazy) {
      out += " of " + describe(p + kNodeHeader);
    } else if (op == OpBraces || op == OpBracesLazy) {
      out += " of " + describe(p + kNodeHeader + 8);
    }
    out += next >= 0 ? " -> " + std::to_string(next) : std::string(" -> none");
    out += '\n';
  }
  return out;
}

}  // namespace zelvaro
