// Reads fuzzed bytes as a record file (the first byte picks the name the
// format is guessed from), writes the record in every format and reads each
// writing back. Checked: nothing crashes or runs away, rows and reports stay
// within their bounds, and what the writers give reads again. (Whether a
// writing reads back to the same game is checked on real records by the
// tests; fuzzed text is mostly header and junk rows, which need not.)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "game/Record.h"
#include "game/RecordWriter.h"
#include "toolkit/Exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zelvaro;
  if (size == 0) return 0;
  static const char* const kNames[] = {"a.kif", "a.kifu", "a.ki2", "a.csa", "a.sfen", "a"};
  const std::string_view name = kNames[data[0] % 6];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!RecordRefusal(bytes, TRecordEncoding::kDetect, name).empty()) return 0;
  TKifRecord record;
  try {
    ReadRecordBytes(record, bytes, TRecordEncoding::kDetect, name);
  } catch (const Exception&) {
    return 0;
  }
  const auto bounded = [](const TKifRecord& r) {
    return r.rows.size() <= kMaxRecordRows + 1 && r.reports.size() <= 101;
  };
  if (!bounded(record)) std::abort();
  // The names a saved file gets (the Save As dialog's types).
  static const std::map<TRecordFormat, std::string_view> kWrittenNames = {
      {TRecordFormat::kKif, "a.kif"},
      {TRecordFormat::kKifu, "a.kifu"},
      {TRecordFormat::kKi2, "a.ki2"},
      {TRecordFormat::kCsa, "a.csa"}};
  for (const auto& [format, written_name] : kWrittenNames) {
    const std::string written = WriteRecord(record, format);
    TKifRecord again;
    try {
      ReadRecordBytes(again, written, TRecordEncoding::kDetect, written_name);
    } catch (const Exception&) {
      continue;
    }
    if (!bounded(again)) std::abort();
  }
  return 0;
}
