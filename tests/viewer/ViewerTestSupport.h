// Shared by the viewer tests: focus order and records (with tests/common's
// Qt support).
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/common/QtTestSupport.h"
#include "toolkit/TextCodec.h"
#include "toolkit/qt/Platform.h"

namespace zelvaro::testing {

// The widgets of `among` in the order the focus chain reaches them from `first`.
inline std::vector<QWidget*> FocusOrder(QWidget* first, const std::vector<QWidget*>& among) {
  std::vector<QWidget*> order;
  QWidget* w = first;
  do {
    if (std::find(among.begin(), among.end(), w) != among.end()) order.push_back(w);
    w = w->nextInFocusChain();
  } while (w != first && order.size() < among.size());
  return order;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Writes UTF-8 lines as a CP932 file with CR LF line ends.
inline void WriteRecord(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary);
  for (const auto& line : lines) out << Utf8ToSjis(line) << "\r\n";
}

// A move line in the record's layout: number in columns 1 to 4, the move
// from column 6, the time field at the end.
inline std::string MoveLine(int n, const std::string& move, const std::string& time) {
  char number[8];
  std::snprintf(number, sizeof number, "%4d", n);
  return std::string(number) + " " + move + "   " + time;
}

// A record of `moves` moves: kings walking up and down, so every move is
// valid, with a comment after every fifth move.
inline std::vector<std::string> WalkingKingsRecord(int moves, const std::string& tournament,
                                                   const std::string& sente,
                                                   const std::string& gote) {
  std::vector<std::string> lines = {"開始日時：2024/06/01 10:00"};
  if (!tournament.empty()) lines.push_back("棋戦：" + tournament);
  if (!sente.empty()) lines.push_back("先手：" + sente);
  if (!gote.empty()) lines.push_back("後手：" + gote);
  lines.push_back("手数----指手---------消費時間--");
  lines.push_back("*対局開始前のコメント");
  for (int n = 1; n <= moves; ++n) {
    const bool sente_moves = n % 2 == 1;
    const bool out = ((n + 1) / 2) % 2 == 1;  // each king goes out, then back
    std::string move =
        sente_moves ? (out ? "５八玉(59)" : "５九玉(58)") : (out ? "５二玉(51)" : "５一玉(52)");
    lines.push_back(MoveLine(n, move, "( 0:30/00:0" + std::to_string(n % 10) + ":00)"));
    if (n % 5 == 0)
      lines.push_back("*" + std::to_string(n) + "手目の解説 http://example.jp/k" +
                      std::to_string(n));
  }
  lines.push_back("まで" + std::to_string(moves) + "手で中断");
  return lines;
}

}  // namespace zelvaro::testing
