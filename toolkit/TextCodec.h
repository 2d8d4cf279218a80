// Text services: CP932 (Shift_JIS as Windows writes it, NEC and IBM
// extensions included) to UTF-16 and back, and UTF-8 for the command line.
//
// Nothing is dropped and no conversion stops part way:
//  - a byte that does not start a valid CP932 character decodes to the
//    lone surrogate U+DC00 + byte (U+DC80..U+DCFF), one per byte; a lead
//    byte followed by a byte that cannot trail it decodes alone that way and
//    the next byte starts a new character;
//  - such a surrogate encodes back to its byte, so bytes that are not
//    CP932 survive SjisToUtf16 followed by Utf16ToSjis unchanged;
//  - any other character with no CP932 form encodes to "?" (one per
//    character; a surrogate pair counts as one character).
// The tables behind the conversions are built through iconv on first use
// and are safe to use from several threads.
#pragma once

#include <string>
#include <string_view>

namespace zelvaro {

std::u16string SjisToUtf16(std::string_view bytes);
std::string Utf16ToSjis(std::u16string_view text);

// UTF-8 <-> UTF-16. Invalid UTF-8 decodes to U+FFFD per bad byte; a lone
// surrogate (for example an undecodable CP932 byte) encodes to U+FFFD.
std::u16string Utf8ToUtf16(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view text);

// The length of the well-formed UTF-8 character at `text[i]` (1 to 4), or 0
// when none starts there (a stray, overlong or cut sequence, a surrogate,
// a code point past U+10FFFF).
size_t Utf8CharLength(std::string_view text, size_t i);
// Whether `text` is well-formed UTF-8 throughout.
bool IsValidUtf8(std::string_view text);

// EUC-JP (with the Microsoft extensions, as old CSA and KIF files on
// Windows-era servers were written) to UTF-16. A byte that starts no valid
// EUC-JP character decodes to U+DC00 + byte, as for CP932.
std::u16string EucJpToUtf16(std::string_view bytes);

// Whether a record's bytes are EUC-JP rather than CP932 or UTF-8: valid
// EUC-JP holding at least one two-byte character, not valid UTF-8, and, read
// as CP932, more half-width katakana than two-byte characters (Japanese text
// in CP932 is mostly two-byte characters; EUC-JP read as CP932 turns into
// runs of half-width katakana). Plain ASCII is not EUC-JP.
bool LooksEucJp(std::string_view bytes);

// Shorthands for the common hops between the record's bytes and UTF-8.
inline std::string SjisToUtf8(std::string_view bytes) { return Utf16ToUtf8(SjisToUtf16(bytes)); }
inline std::string Utf8ToSjis(std::string_view bytes) { return Utf16ToSjis(Utf8ToUtf16(bytes)); }

}  // namespace zelvaro
