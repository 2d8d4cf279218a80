#include "game/Record.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "game/CsaReader.h"
#include "game/Ki2Reader.h"
#include "game/KifReader.h"
#include "game/RecordFormat.h"
#include "game/SfenRecord.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

// A "#KIF version=2.0 encoding=Shift_JIS" line says the file is CP932.
bool DeclaresCp932(std::string_view bytes) {
  for (const std::string& line : SplitLines(bytes.substr(0, 4096))) {
    if (line.rfind("#KIF", 0) != 0) continue;
    std::string lower(line);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const size_t at = lower.find("encoding=");
    if (at == std::string::npos) continue;
    const std::string value = lower.substr(at + 9);
    for (std::string_view name : {"shift_jis", "shift-jis", "sjis", "cp932", "windows-31j"}) {
      if (value.rfind(name, 0) == 0) return true;
    }
  }
  return false;
}

// Whether `bytes` are text: no NUL byte, and at most one in a hundred that is
// neither a character (of UTF-8 when they are valid UTF-8, else of CP932)
// nor a control character text files hold.
bool IsText(std::string_view bytes) {
  const bool utf8 = IsValidUtf8(bytes) || LooksEucJp(bytes);  // multi-byte text either way
  size_t bad = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == 0) return false;
    if (b < 0x20 || b == 0x7F) {
      if (b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1A) ++bad;
      continue;
    }
    if (utf8 || b < 0x80 || (b >= 0xA1 && b <= 0xDF)) continue;
    if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      const auto t = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
      if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC)) {
        ++i;
        continue;
      }
    }
    ++bad;
  }
  return bad * 100 <= bytes.size();
}

// What the bytes alone decide: empty or no text is refused, a CSA, KI2,
// SFEN or USI text is a record (an empty refusal); none when the lines must
// be looked at for a KIF move or header line.
std::optional<std::u16string_view> RefusalByBytes(std::string_view bytes) {
  if (bytes.find_first_not_of(" \t\r\n\f\x1A") == std::string_view::npos) return kNotRecordEmpty;
  if (!IsText(bytes)) return kNotRecordBinary;
  if (const std::optional<TRecordFormat> format = FormatByContent(bytes);
      format && *format != TRecordFormat::kKif) {
    return std::u16string_view();
  }
  return std::nullopt;
}

}  // namespace

bool IsUtf8Record(std::string_view bytes, std::string_view file_name) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) return true;
  if (!IsValidUtf8(bytes)) return false;
  if (EndsWithNoCase(file_name, ".kifu")) return true;
  const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return !ascii && !DeclaresCp932(bytes);
}

namespace {

// How the bytes of a record in `format` are decoded: as UTF-8, EUC-JP or
// CP932, and the text without the byte-order mark a UTF-8 text may begin with.
struct TDecoding {
  bool utf8 = false, euc = false;
  std::string_view text;

  std::u16string Line(std::string_view line) const {
    return utf8 ? Utf8ToUtf16(line) : euc ? EucJpToUtf16(line) : SjisToUtf16(line);
  }
};

TDecoding DecodingOf(std::string_view bytes, TRecordEncoding encoding, std::string_view file_name,
                     TRecordFormat format) {
  const bool detect = encoding == TRecordEncoding::kDetect;
  bool utf8 = false;
  switch (format) {
    case TRecordFormat::kCsa:
      utf8 = CsaDeclaresUtf8(bytes) || (detect && IsUtf8Record(bytes, file_name));
      break;
    case TRecordFormat::kKi2:
      // .ki2u is KI2 in UTF-8, as .kifu is KIF.
      utf8 =
          detect && IsUtf8Record(bytes, EndsWithNoCase(file_name, ".ki2u") ? ".kifu" : file_name);
      break;
    case TRecordFormat::kSfen:
    case TRecordFormat::kUsi:
      utf8 = true;  // ASCII
      break;
    default:
      utf8 = detect && IsUtf8Record(bytes, file_name);
      break;
  }
  // Old CSA archives are EUC-JP, downloaded or not; other files when detected.
  const bool euc = !utf8 && format != TRecordFormat::kSfen && format != TRecordFormat::kUsi &&
                   (format == TRecordFormat::kCsa || detect) && LooksEucJp(bytes);
  if (utf8 && bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  return {utf8, euc, bytes};
}

std::vector<std::u16string> Decode(std::string_view bytes, TRecordEncoding encoding,
                                   std::string_view file_name, TRecordFormat format) {
  const TDecoding decoding = DecodingOf(bytes, encoding, file_name, format);
  std::vector<std::u16string> lines;
  for (const std::string& line : SplitLines(decoding.text)) lines.push_back(decoding.Line(line));
  return lines;
}

}  // namespace

std::u16string_view RecordRefusal(std::string_view bytes, const std::vector<std::u16string>& lines,
                                  std::string_view /*file_name*/) {
  if (const auto refusal = RefusalByBytes(bytes)) return *refusal;
  const bool record = std::any_of(lines.begin(), lines.end(),
                                  [](const std::u16string& line) { return IsRecordLine(line); });
  return record ? std::u16string_view() : kNotRecordNoLines;
}

std::u16string_view RecordRefusal(std::string_view bytes, TRecordEncoding encoding,
                                  std::string_view file_name) {
  if (const auto refusal = RefusalByBytes(bytes)) return *refusal;
  const TDecoding decoding =
      DecodingOf(bytes, encoding, file_name, DetectRecordFormat(bytes, file_name));
  const std::string_view text = decoding.text;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    if (IsRecordLine(decoding.Line(text.substr(start, end - start)))) return {};
    start = end + 1;
  }
  return kNotRecordNoLines;
}

std::u16string CaptionFor(std::u16string_view tournament_name) {
  return u"Zelvaro - [ " + std::u16string(tournament_name) + u" ]";
}

std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.emplace_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  return lines;
}

std::string ReadRecordFile(const std::string& path) {
  const EFileError cannot_open("ファイル " + path + " は開けません");
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  try {
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    throw cannot_open;  // a read that fails part way, e.g. on a folder
  }
  if (!in && !in.eof()) throw cannot_open;
  return bytes;
}

std::vector<std::string> LoadRecordLines(const std::string& path) {
  return SplitLines(ReadRecordFile(path));
}

namespace {

[[noreturn]] void FailToSave(const std::string& path, int error) {
  throw EFileError("\"" + path + "\" を保存できません: " + std::strerror(error));
}

}  // namespace

void WriteRecordFile(const std::string& path, std::string_view bytes) {
  const std::string temp = path + ".part";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) FailToSave(path, errno);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      FailToSave(path, error);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    FailToSave(path, error);
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    FailToSave(path, error);
  }
}

std::vector<std::u16string> DecodeRecordLines(std::string_view bytes, TRecordEncoding encoding,
                                              std::string_view file_name) {
  return Decode(bytes, encoding, file_name, DetectRecordFormat(bytes, file_name));
}

TRecordFormat ReadRecordBytes(TKifRecord& record, std::string_view bytes, TRecordEncoding encoding,
                              std::string_view file_name) {
  const TRecordFormat format = DetectRecordFormat(bytes, file_name);
  std::vector<std::u16string> lines = Decode(bytes, encoding, file_name, format);
  std::vector<std::u16string> errors;  // found before the KIF reader sees the lines
  switch (format) {
    case TRecordFormat::kCsa:
      lines = CsaToKifLines(lines, &errors);
      break;
    case TRecordFormat::kSfen:
    case TRecordFormat::kUsi:
      lines = SfenToKifLines(lines);  // may throw: the record is not touched yet
      break;
    case TRecordFormat::kKi2: {
      const TKi2Conversion ki2 = Ki2ToKifLines(lines);
      TKifReader reader(record);
      reader.Begin(u"");
      reader.ReadLines(ki2.kif_lines);
      ShowKi2Moves(record, ki2);
      return format;
    }
    default:
      break;
  }
  TKifReader reader(record);
  reader.Begin(u"");
  reader.ReadLines(lines);
  for (std::u16string& error : errors) record.AddReport(std::move(error));
  return format;
}

TKifRecord::TKifRecord() : rows(1), row_positions(1), main_line{0} {
  rows[0].caption = kFirstRowCaption;
  rows[0].move = kFirstRowMove;
  rows[0].time = kFirstRowTime;
  rows[0].other = kNoMark;
  LayOutStartingPosition(row_positions[0]);
}

void TKifRecord::AddReport(std::u16string text) {
  if (reports.size() < kMaxReports) {
    reports.push_back(std::move(text));
    return;
  }
  if (reports.size() == kMaxReports) reports_left_out_ = 0;
  reports.resize(kMaxReports + 1);
  reports.back() =
      u"ほか " + Utf8ToUtf16(std::to_string(++reports_left_out_)) + u" 件のエラーがあります";
}

}  // namespace zelvaro
