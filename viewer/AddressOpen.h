// What the viewer needs to open a record from its web address or from text
// the user pastes or drops: telling addresses apart, deciding how the
// downloaded bytes are decoded, the name they are read under, and the list
// of addresses opened last. The download itself is the search window's
// (TAddressDownload); the window shows the record as it shows a file.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <string_view>

#include "game/Record.h"

class QMimeData;

namespace zelvaro {

// How many addresses are offered again.
inline constexpr int kRecentAddressCount = 10;

// The http or https address that `text` is, blanks around it aside; nothing
// for any other text (a record, several words, another scheme).
std::optional<QString> AddressInText(const QString& text);

// The first http or https address among dropped links (or dropped text).
std::optional<QString> DroppedAddress(const QMimeData* data);

// How the record downloaded from an address is decoded: CP932 when the
// reply names a Shift_JIS charset (and the bytes carry no UTF-8 byte-order
// mark); else as a local file of unknown origin (TRecordEncoding::kDetect),
// from the bytes and the address's file name.
TRecordEncoding AddressEncoding(std::string_view bytes, std::string_view content_type);

// The file name an address names ("game.kif" of ".../kifu/game.kif?x=1"),
// percent-decoded; empty when it names none.
std::string AddressFileName(std::string_view url);

// `recent` with `url` first and at most kRecentAddressCount entries.
QStringList RememberAddress(QStringList recent, const QString& url);

}  // namespace zelvaro
