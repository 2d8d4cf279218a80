// The record formats (TRecordFormat, game/Record.h) told apart by their
// content or the file name, and their names. ReadRecordBytes (game/Record.h)
// reads any of them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "game/Record.h"

namespace zelvaro {

// The format of a record's bytes. The content decides: CSA statements
// ("+7776FU", "PI", "P1-KY", "V2.2", "N+", "$EVENT:") with no KIF move line,
// KIF move lines, KI2 moves ("▲７六歩" at the start of a line), an SFEN
// position ("lnsgkgsnl/... b - 1", "sfen ...") or a USI position command
// ("position startpos moves ..."). A record whose content says nothing
// (a header only) goes by the file name's extension (.csa, .ki2, .ki2u,
// .sfen, .usi); anything else is KIF.
TRecordFormat DetectRecordFormat(std::string_view bytes, std::string_view file_name = {});

// The format the content alone shows (the first rule above); nullopt when
// it shows none, as for a header without moves.
std::optional<TRecordFormat> FormatByContent(std::string_view bytes);

// The format a record file of this name is written in, by its extension:
// .kif, .kifu, .ki2, .csa (any letter case). False for any other name.
bool FormatOfFileName(std::string_view file_name, TRecordFormat& format);

// "KIF", "KI2", "CSA", "SFEN", "USI".
std::string_view FormatName(TRecordFormat format);

// The byte order mark a UTF-8 record may start with.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Whether `s` ends with `suffix`, ASCII letters in either case ("A.KIF").
bool EndsWithNoCase(std::string_view s, std::string_view suffix);

}  // namespace zelvaro
