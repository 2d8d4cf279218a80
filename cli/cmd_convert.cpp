// zelvaro-cli convert FILE --to kif|kifu|ki2|csa|sfen [--row N]: reads FILE
// in any format the viewer reads and writes the record to standard output:
// kif, ki2 and csa (version 2.2) in CP932, kifu in UTF-8, sfen as one line
// (the start, or with --row N the position row N shows). What is no record
// (refused as the viewer refuses it), or a record that cannot be read or
// written, is a message on standard error and status 1.
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "cli/Command.h"
#include "game/Record.h"
#include "game/RecordUsi.h"
#include "game/RecordWriter.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro::cli {
namespace {

const std::map<std::string, TRecordFormat> kTargets = {{"kif", TRecordFormat::kKif},
                                                       {"kifu", TRecordFormat::kKifu},
                                                       {"ki2", TRecordFormat::kKi2},
                                                       {"csa", TRecordFormat::kCsa},
                                                       {"sfen", TRecordFormat::kSfen}};

void Run(const std::string& path, const std::string& to, int row) {
  const std::string bytes = ReadRecordFile(path);
  // What the viewer refuses, refused alike.
  if (const std::u16string_view refusal = RecordRefusal(bytes, TRecordEncoding::kDetect, path);
      !refusal.empty()) {
    throw Exception(Utf16ToUtf8(refusal));
  }
  TKifRecord record;
  ReadRecordBytes(record, bytes, TRecordEncoding::kDetect, path);
  const TRecordFormat format = kTargets.at(to);
  if (row >= static_cast<int>(record.rows.size())) {
    throw ERangeError("--row: " + std::to_string(row) + " is not a row from 0 to " +
                      std::to_string(record.rows.size() - 1));
  }
  if (row >= 0 && format != TRecordFormat::kSfen) {
    throw EConvertError("--row is for --to sfen only");
  }
  const std::string written = format == TRecordFormat::kSfen
                                  ? SfenOfRow(record, row < 0 ? 0 : row) + "\n"
                                  : WriteRecord(record, format);
  if (std::fwrite(written.data(), 1, written.size(), stdout) != written.size() ||
      std::fflush(stdout) != 0) {
    throw EFileError("standard output cannot be written");
  }
}

const CommandRegistration kRegistration([](CLI::App& app) {
  auto* cmd = app.add_subcommand("convert", "write a record as KIF, KIFU, KI2, CSA or SFEN");
  auto file = std::make_shared<std::string>();
  auto to = std::make_shared<std::string>();
  auto row = std::make_shared<int>(-1);
  cmd->add_option("FILE", *file, "the record (KIF, KI2, CSA, SFEN or USI)")->required();
  cmd->add_option("--to", *to, "kif, kifu, ki2, csa or sfen")
      ->required()
      ->check(CLI::IsMember({"kif", "kifu", "ki2", "csa", "sfen"}));
  cmd->add_option("--row", *row, "with --to sfen: the position row N shows")
      ->check(CLI::NonNegativeNumber);
  cmd->callback([file, to, row] {
    try {
      Run(*file, *to, *row);
    } catch (const Exception& e) {
      Fail("zelvaro-cli convert: " + e.Message());
    }
  });
});

}  // namespace
}  // namespace zelvaro::cli
