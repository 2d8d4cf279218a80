#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

TEST(TextCodec, DecodesAsciiHalfWidthKanaAndKanji) {
  // "a", half-width katakana ｺ (0xBA), 棋 (0x8AFB), 譜 (0x9588).
  EXPECT_EQ(SjisToUtf16("a\xBA\x8A\xFB\x95\x88"), u"aｺ棋譜");
  EXPECT_EQ(Utf16ToSjis(u"aｺ棋譜"), "a\xBA\x8A\xFB\x95\x88");
  // The NEC and IBM extensions are part of CP932.
  EXPECT_EQ(SjisToUtf16("\x87\x40"), u"①");
  EXPECT_EQ(SjisToUtf16("\xFA\x40"), u"ⅰ");
}

TEST(TextCodec, EveryCp932CharacterSurvivesTheRoundTrip) {
  int characters = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      std::u16string text = SjisToUtf16(bytes);
      if (text.size() != 1 || (text[0] >= 0xDC80 && text[0] <= 0xDCFF)) continue;
      ++characters;
      // Duplicates (NEC/IBM) encode to one canonical form; the character stays.
      ASSERT_EQ(SjisToUtf16(Utf16ToSjis(text)), text) << std::hex << lead << trail;
    }
  }
  // JIS X 0208 alone has 6879 characters; CP932 adds the extensions.
  EXPECT_GT(characters, 7000);
  for (int b = 0x20; b < 0x7F; ++b) {
    std::string s(1, static_cast<char>(b));
    EXPECT_EQ(Utf16ToSjis(SjisToUtf16(s)), s);
  }
}

TEST(TextCodec, InvalidBytesAreKeptAndComeBackUnchanged) {
  // 0x81 0x20: a lead byte with a trail that cannot follow it; 0xFF alone;
  // a lead byte at the very end.
  const std::string bytes = "x\x81 y\xFFz\x8A";
  std::u16string text = SjisToUtf16(bytes);
  EXPECT_EQ(text, std::u16string(u"x\xDC81 y\xDCFFz\xDC8A"));
  EXPECT_EQ(Utf16ToSjis(text), bytes);
  // The conversion goes on after the bad byte.
  EXPECT_EQ(SjisToUtf16("\xFF\x8A\xFB"), std::u16string(u"\xDCFF棋"));
}

TEST(TextCodec, CharactersWithoutCp932FormBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToSjis(u"a€b"), "a?b");                     // the euro sign has no CP932 form
  EXPECT_EQ(Utf16ToSjis(u"a😀b"), "a?b");                     // one mark for a surrogate pair
  EXPECT_EQ(Utf16ToSjis(std::u16string(u"a\xD800")), "a?");  // a lone high surrogate
}

TEST(TextCodec, Utf8RoundTripAndInvalidInput) {
  const std::string utf8 = "棋譜 abc 😀";
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");  // overlong
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"\xDC81")), "\xEF\xBF\xBD");
  EXPECT_EQ(SjisToUtf8("\x8A\xFB"), "棋");
  EXPECT_EQ(Utf8ToSjis("棋"), "\x8A\xFB");
}

// A record still read off the window thread when the program ends: the
// tables must outlive the static objects torn down by exit().
TEST(TextCodecDeathTest, DecodingGoesOnWhileTheProgramEnds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::atomic<bool> started{false};
        std::thread([&started] {
          const std::string bytes(1 << 16, '\x8A');  // lead bytes: the pair table is read
          for (;;) {
            std::u16string text = SjisToUtf16(bytes);
            text += Utf16ToSjis(text).empty() ? u"" : u"x";
            started = true;
          }
        }).detach();
        while (!started) std::this_thread::yield();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zelvaro
