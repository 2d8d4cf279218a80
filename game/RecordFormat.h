// The record formats fans exchange, told apart by their content, and the one
// way every caller reads a record's bytes: local files, downloads, pasted
// text and refreshes alike. Whatever the format, the reading fills the same
// TKifRecord as a KIF reading: CSA, KI2, SFEN and USI records are turned
// into the lines of the same game in KIF and read by the KIF reader, so
// rows, positions, comments, names and times mean the same everywhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "game/KifReader.h"

namespace zelvaro {

// kKifu is KIF in UTF-8 (written only; reading tells encodings apart by itself).
enum class TRecordFormat { kKif, kKifu, kKi2, kCsa, kSfen, kUsi };

// The format of a record's bytes. The content decides: CSA statements
// ("+7776FU", "PI", "P1-KY", "V2.2", "N+", "$EVENT:") with no KIF move line,
// KIF move lines, KI2 moves ("▲７六歩" at the start of a line), an SFEN
// position ("lnsgkgsnl/... b - 1", "sfen ...") or a USI position command
// ("position startpos moves ..."). A record whose content says nothing
// (a header only) goes by the file name's extension (.csa, .ki2, .ki2u,
// .sfen, .usi); anything else is KIF.
TRecordFormat DetectRecordFormat(std::string_view bytes, std::string_view file_name = {});

// Reads a record's bytes into `record` as TKifReader::Begin(u"") and the
// lines would, in the format DetectRecordFormat finds, and returns it.
// `encoding` as for DecodeRecordLines; besides, a CSA record declaring
// "'CSA encoding=UTF-8" is UTF-8, and under kDetect a .ki2u file is UTF-8.
// The header text is record.header_body, to be put after a prefix. Throws
// ENotationError (game/Sfen.h) for an SFEN or USI text that cannot be read,
// and then leaves `record` as it was.
TRecordFormat ReadRecordBytes(TKifRecord& record, std::string_view bytes, TRecordEncoding encoding,
                              std::string_view file_name = {});

// The format the content alone shows (the first rule above); nullopt when
// it shows none, as for a header without moves.
std::optional<TRecordFormat> FormatByContent(std::string_view bytes);

// The lines of a record's bytes as wide text, decoded as ReadRecordBytes does.
std::vector<std::u16string> DecodeRecordBytes(std::string_view bytes, TRecordEncoding encoding,
                                              std::string_view file_name, TRecordFormat format);

// The format a record file of this name is written in, by its extension:
// .kif, .kifu, .ki2, .csa (any letter case). False for any other name.
bool FormatOfFileName(std::string_view file_name, TRecordFormat& format);

// "KIF", "KI2", "CSA", "SFEN", "USI".
std::string_view FormatName(TRecordFormat format);

}  // namespace zelvaro
