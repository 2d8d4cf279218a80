// zelvaro-cli regex: runs TRegex on cases read as JSON lines.
//
//   in:  {"pattern": S, "input": S, "modifiers": M}      (modifiers optional, e.g. "i-g")
//   out: {"matched": true|false, "groups": [15 x S or null]}
//        {"error": {"code": N, "message": S, "position": P}}
//
// Strings carry bytes: each byte is the code point of the same value (0 to
// 255). A line that is not such a case is answered with code -1. Cases with
// the same pattern share one compiled engine, as the program's callers do.
//
// zelvaro-cli regex --dump PATTERN [--modifiers M] prints the node program as
// lowercase hex on one line (PATTERN in the same byte convention when it is
// UTF-8 of code points up to 255, else its raw bytes), then "first byte: N", "anchored: 0|1" and
// "required text: S" (S a JSON byte string, "" when there is none).
// --listing PATTERN prints the program one node a line instead.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/Command.h"
#include "regex/untRegex.h"

namespace zelvaro::cli {
namespace {

// Keys keep the order they are written in: "matched" before "groups".
using json = nlohmann::ordered_json;

// A JSON string of code points 0..255 to the bytes it stands for.
bool ToBytes(const std::string& utf8, std::string* bytes) {
  bytes->clear();
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      bytes->push_back(static_cast<char>(c));
    } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      const unsigned cp = (c & 0x1Fu) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      if (cp > 0xFF) return false;
      bytes->push_back(static_cast<char>(cp));
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

std::string FromBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

json ErrorObject(int code, const std::string& message, int position) {
  return json{{"error", {{"code", code}, {"message", message}, {"position", position}}}};
}

void ApplyModifiers(TRegex& re, const std::string& modifiers) {
  for (int index = 1; index <= 6; ++index) {
    re.SetModifier(index, (TRegex::kDefaultModifiers >> (index - 1) & 1u) != 0);
  }
  re.SetModifierString(modifiers);
}

json RunCase(TRegex& re, const std::string& line) {
  const json in = json::parse(line, nullptr, false);
  if (in.is_discarded() || !in.is_object() || !in.contains("pattern") ||
      !in["pattern"].is_string() || !in.contains("input") || !in["input"].is_string() ||
      (in.contains("modifiers") && !in["modifiers"].is_string())) {
    return ErrorObject(-1, "expected {\"pattern\": S, \"input\": S, \"modifiers\": M}", 0);
  }
  std::string pattern, input, modifiers;
  if (!ToBytes(in["pattern"].get<std::string>(), &pattern) ||
      !ToBytes(in["input"].get<std::string>(), &input) ||
      !ToBytes(in.value("modifiers", std::string()), &modifiers)) {
    return ErrorObject(-1, "strings must hold code points 0 to 255 only", 0);
  }
  try {
    ApplyModifiers(re, modifiers);
    re.SetExpression(pattern);
    const bool matched = re.Exec(input);
    json groups = json::array();
    for (int n = 0; n < TRegex::kGroupCount; ++n) {
      if (matched && re.MatchPos(n) >= 0) {
        groups.push_back(FromBytes(re.GroupText(n)));
      } else {
        groups.push_back(nullptr);
      }
    }
    return json{{"matched", matched}, {"groups", groups}};
  } catch (const ERegex& e) {
    return ErrorObject(e.ErrorNumber, e.Message(), e.ErrorPosition);
  }
}

std::string Hex(std::string_view bytes) {
  std::string out;
  char buf[3];
  for (char ch : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(ch));
    out += buf;
  }
  return out;
}

CommandRegistration reg([](CLI::App& app) {
  auto* cmd = app.add_subcommand("regex", "Run the regular-expression engine on JSON-line cases");
  auto dump = std::make_shared<std::string>();
  auto listing = std::make_shared<std::string>();
  auto modifiers = std::make_shared<std::string>();
  auto* dump_opt = cmd->add_option("--dump", *dump, "Print the node program and hints of PATTERN");
  auto* listing_opt =
      cmd->add_option("--listing", *listing, "Print the node program of PATTERN node by node");
  cmd->add_option("--modifiers", *modifiers, "Modifier string for --dump/--listing, e.g. \"i-g\"");
  cmd->callback([=] {
    if (dump_opt->count() > 0 || listing_opt->count() > 0) {
      const bool as_listing = listing_opt->count() > 0;
      std::string pattern;
      if (!ToBytes(as_listing ? *listing : *dump, &pattern))
        pattern = as_listing ? *listing : *dump;
      TRegex re;
      try {
        ApplyModifiers(re, *modifiers);
        re.SetExpression(pattern);
        re.Compile();
      } catch (const ERegex& e) {
        std::cout << ErrorObject(e.ErrorNumber, e.Message(), e.ErrorPosition).dump() << '\n';
        Exit(1);
      }
      if (as_listing) {
        std::cout << re.DumpProgram();
        return;
      }
      std::cout << Hex(re.NodeProgram()) << '\n';
      std::cout << "first byte: " << static_cast<int>(re.FirstByte()) << '\n';
      std::cout << "anchored: " << (re.AnchoredAtStart() ? 1 : 0) << '\n';
      std::cout << "required text: " << json(FromBytes(re.RequiredText())).dump() << '\n';
      return;
    }
    TRegex re;
    std::string line;
    while (std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      std::cout << RunCase(re, line).dump() << '\n';
    }
  });
});

}  // namespace
}  // namespace zelvaro::cli
