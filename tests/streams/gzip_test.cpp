#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "streams/untGZIP.h"
#include "tests/streams/GzipBuilder.h"

namespace zelvaro {
namespace {

using testing::Gzip;
using testing::GzipOptions;

const std::string kText =
    "\x8a\xfb\x90\xed\x81\x46\x96\xbc\x90\x6c\x90\xed\r\n"  // 棋戦：名人戦
    "\x90\xe6\x8e\xe8\x81\x46\x8e\x52\x93\x63\r\n"          // 先手：山田
    "1 \x82\x56\x98\x5a\x95\xe0(77)   ( 0:01/00:00:01)\r\n"
    "no line end at the very end";

class GzipDecoder : public ::testing::Test {
 protected:
  TMemoryStream target_;
  TGzipDecompressStream gzip_{&target_};

  // Feeds `data` in blocks of the given sizes (the last size repeats) and
  // returns what each Write returned.
  std::vector<int64_t> Feed(const std::string& data, std::vector<size_t> sizes) {
    std::vector<int64_t> returns;
    size_t pos = 0, i = 0;
    while (pos < data.size()) {
      size_t n = std::min(sizes[std::min(i++, sizes.size() - 1)], data.size() - pos);
      returns.push_back(gzip_.Write(data.data() + pos, static_cast<int64_t>(n)));
      pos += n;
    }
    return returns;
  }
  std::string Output() const { return std::string(target_.View()); }
};

TEST_F(GzipDecoder, OneBlockDecodesTheWholeFile) {
  GzipOptions options;
  options.mtime = 86400 * 2;
  options.xfl = 2;
  options.os = 11;
  options.text = true;
  const std::string gz = Gzip(kText, options);
  EXPECT_EQ(gzip_.Write(gz.data(), static_cast<int64_t>(gz.size())),
            static_cast<int64_t>(gz.size()));
  EXPECT_EQ(Output(), kText);
  EXPECT_EQ(gzip_.GzipState(), 0);
  EXPECT_TRUE(gzip_.Pending().empty());
  EXPECT_EQ(gzip_.Consumed(), static_cast<int64_t>(gz.size()));
  EXPECT_EQ(gzip_.OutSize(), kText.size());
  EXPECT_EQ(gzip_.Crc(), crc32(0, reinterpret_cast<const Bytef*>(kText.data()),
                               static_cast<uInt>(kText.size())));
  const TGzipHeader& h = gzip_.Header();
  EXPECT_TRUE(h.HeaderSeen);
  EXPECT_TRUE(h.TextFlag);
  EXPECT_EQ(h.ExtraFlags, 2u);
  EXPECT_EQ(h.OperatingSystem, 11u);
  EXPECT_DOUBLE_EQ(h.ModificationTime, 2.0);
  EXPECT_EQ(h.Target, &target_);
}

TEST_F(GzipDecoder, OneByteAtATimeWaitsForElevenBytes) {
  const std::string gz = Gzip(kText);
  std::vector<int64_t> returns = Feed(gz, {1});
  for (int i = 0; i < 10; ++i) EXPECT_EQ(returns[i], 0) << "call " << i + 1;
  EXPECT_EQ(returns[10], 11);  // the kept header bytes count in the call that uses them
  int64_t total = 0;
  for (int64_t r : returns) total += r;
  EXPECT_EQ(total, static_cast<int64_t>(gz.size()));
  EXPECT_EQ(Output(), kText);
  EXPECT_EQ(gzip_.GzipState(), 0);
}

TEST_F(GzipDecoder, HeaderFieldsSplitAtEveryPosition) {
  GzipOptions extra, name, comment, hcrc, all;
  extra.extra = std::string("AB\x04\x00wxyz", 8);
  name.name = "kifu.txt";
  comment.comment = "a comment with \x8a\xfb";
  hcrc.header_crc = true;
  all.extra = std::string(300, 'e');  // XLEN above 255: both length bytes matter
  all.name = "n";
  all.comment = "";
  all.header_crc = true;
  const struct {
    const char* label;
    GzipOptions options;
  } cases[] = {
      {"FEXTRA", extra}, {"FNAME", name}, {"FCOMMENT", comment}, {"FHCRC", hcrc}, {"all", all}};
  for (const auto& c : cases) {
    const std::string gz = Gzip(kText, c.options);
    const size_t header_size = testing::GzipHeader(c.options).size();
    for (size_t split = 1; split <= header_size + 2; ++split) {
      SCOPED_TRACE(std::string(c.label) + " split at " + std::to_string(split));
      TMemoryStream target;
      TGzipDecompressStream gzip(&target);
      int64_t total = gzip.Write(gz.data(), static_cast<int64_t>(split));
      total += gzip.Write(gz.data() + split, static_cast<int64_t>(gz.size() - split));
      EXPECT_EQ(total, static_cast<int64_t>(gz.size()));
      EXPECT_EQ(target.View(), kText);
      EXPECT_EQ(gzip.Header().ExtraField, c.options.extra.value_or(""));
      EXPECT_EQ(gzip.Header().FileName, c.options.name.value_or(""));
      EXPECT_EQ(gzip.Header().Comment, c.options.comment.value_or(""));
      EXPECT_EQ(gzip.GzipState(), 0);
    }
  }
}

TEST_F(GzipDecoder, PlainTextIsNeverDecoded) {
  std::string plain;
  for (int i = 0; i < 30; ++i) plain += "<a href=\"game" + std::to_string(i) + ".html\">x</a>\n";
  for (int64_t r : Feed(plain, {100})) EXPECT_EQ(r, 0);
  EXPECT_EQ(target_.Size(), 0);
  EXPECT_EQ(gzip_.Consumed(), 0);
  EXPECT_FALSE(gzip_.Header().HeaderSeen);

  // Short blocks that never reach the 11 bytes of a header; a method other
  // than deflate; a magic whose second byte is wrong.
  for (const std::string& data : {std::string("abc"),
                                  std::string("\x1F\x8B\x07"
                                              "0123456789abc"),
                                  std::string("\x1F\x8C\x08"
                                              "0123456789abc")}) {
    TGzipDecompressStream gzip(&target_);
    for (size_t i = 0; i < data.size(); i += 2)
      EXPECT_EQ(gzip.Write(data.data() + i, std::min<int64_t>(2, data.size() - i)), 0);
    EXPECT_EQ(gzip.GzipState(), 0);
  }
  EXPECT_EQ(target_.Size(), 0);
}

TEST_F(GzipDecoder, PendingBytesWithoutMagicAreDroppedWithTheNextBlock) {
  EXPECT_EQ(gzip_.Write("plain text here", 15), 0);
  EXPECT_EQ(gzip_.Pending(), "plain text here");  // stopped in state 0, kept
  EXPECT_EQ(gzip_.Write("more", 4), 0);
  EXPECT_TRUE(gzip_.Pending().empty());
  // A gzip file after that is not decoded: the stream is not gzip. After a
  // Reset it is decoded normally.
  const std::string gz = Gzip(kText);
  EXPECT_EQ(gzip_.Write(gz.data(), static_cast<int64_t>(gz.size())), 0);
  EXPECT_TRUE(gzip_.Pending().empty());
  gzip_.Finish();
  EXPECT_EQ(Output(), "");
  gzip_.Reset();
  EXPECT_EQ(gzip_.Write(gz.data(), static_cast<int64_t>(gz.size())),
            static_cast<int64_t>(gz.size()));
  EXPECT_EQ(Output(), kText);
}

TEST_F(GzipDecoder, JoinedMembersGiveTheirTextsInOrderWhateverTheBlocks) {
  // Two members; three as gzip -c a b c writes them; BGZF-style blocks (an
  // FEXTRA "BC" subfield, the last member empty).
  GzipOptions bgzf;
  bgzf.extra = std::string("BC\x02\x00\x00\x00", 6);
  std::string blocks_text, blocks;
  for (int i = 0; i < 40; ++i) {
    const std::string part = "block " + std::to_string(i) + " " + std::string(i * 37, 'k') + "\n";
    blocks_text += part;
    blocks += Gzip(part, bgzf);
  }
  blocks += Gzip("", bgzf);
  const struct {
    const char* label;
    std::string gz, text;
  } cases[] = {
      {"two", Gzip("first member text\n") + Gzip("second\n"), "first member text\nsecond\n"},
      {"three", Gzip(kText) + Gzip("b\n") + Gzip(kText), kText + "b\n" + kText},
      {"bgzf", blocks, blocks_text},
  };
  for (const auto& c : cases) {
    for (size_t block : {size_t{1}, size_t{7}, size_t{1460}, size_t{32768}}) {
      SCOPED_TRACE(std::string(c.label) + ", blocks of " + std::to_string(block));
      TMemoryStream target;
      TGzipDecompressStream gzip(&target);
      int64_t total = 0;
      for (size_t pos = 0; pos < c.gz.size(); pos += block)
        total += gzip.Write(c.gz.data() + pos, std::min<int64_t>(block, c.gz.size() - pos));
      gzip.Finish();
      EXPECT_EQ(target.View(), c.text);
      EXPECT_EQ(total, static_cast<int64_t>(c.gz.size()));
      EXPECT_EQ(gzip.GzipState(), 0);
    }
  }
}

TEST_F(GzipDecoder, TrailerSplitAcrossBlocksIsWaitedFor) {
  const std::string first = Gzip(kText), second = Gzip("next member\n");
  const std::string both = first + second;
  for (size_t cut = first.size() - 7; cut < first.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    TMemoryStream target;
    TGzipDecompressStream gzip(&target);
    int64_t total = gzip.Write(both.data(), static_cast<int64_t>(cut));
    EXPECT_EQ(gzip.GzipState(), TGzipDecompressStream::kStateTrailer);
    total += gzip.Write(both.data() + cut, static_cast<int64_t>(first.size() - cut));
    EXPECT_EQ(gzip.GzipState(), 0);
    EXPECT_EQ(target.View(), kText);
    total += gzip.Write(second.data(), static_cast<int64_t>(second.size()));
    EXPECT_EQ(target.View(), kText + "next member\n");
    EXPECT_EQ(total, static_cast<int64_t>(both.size()));
  }
}

TEST_F(GzipDecoder, DamagedTrailersAndTrailingBytes) {
  const std::string gz = Gzip(kText);
  auto flipped = [&gz](size_t from_end) {
    std::string damaged = gz;
    damaged[damaged.size() - from_end] ^= 1;
    return damaged;
  };
  const std::string zeros(100, '\0');
  const struct {
    const char* label;
    std::string data;
    const char* error;  // null: decodes to kText
  } cases[] = {
      {"stored CRC-32", flipped(8), "gzip: CRC-32 mismatch"},
      {"stored size", flipped(4), "gzip: size mismatch"},
      {"zero padding", gz + zeros, nullptr},
      {"garbage", gz + "junk", "gzip: trailing garbage after the compressed data"},
      {"garbage after padding", gz + zeros + "x",
       "gzip: trailing garbage after the compressed data"},
      {"magic, not deflate", gz + "\x1F\x8B\x07" + zeros,
       "gzip: trailing garbage after the compressed data"},
      {"a member after padding", gz + zeros + gz,
       "gzip: trailing garbage after the compressed data"},
      {"cut second header", gz + gz.substr(0, 9), "gzip: the compressed data is incomplete"},
  };
  for (const auto& c : cases) {
    for (size_t block : {size_t{1}, size_t{1460}}) {
      SCOPED_TRACE(std::string(c.label) + ", blocks of " + std::to_string(block));
      TMemoryStream target;
      TGzipDecompressStream gzip(&target);
      std::string error;
      try {
        for (size_t pos = 0; pos < c.data.size(); pos += block)
          gzip.Write(c.data.data() + pos, std::min<int64_t>(block, c.data.size() - pos));
        gzip.Finish();
      } catch (const EDecompressionError& e) {
        error = e.Message();
      }
      EXPECT_EQ(error, c.error ? c.error : "");
      EXPECT_EQ(target.View(), kText) << "nothing after the member reaches the text";
    }
  }
}

TEST_F(GzipDecoder, DamagedHeaderUnderItsCrcIsAnError) {
  GzipOptions o;
  o.name = "kifu.txt";
  o.header_crc = true;
  std::string gz = Gzip(kText, o);
  gz[12] ^= 0x20;  // a letter of the name
  try {
    gzip_.Write(gz.data(), static_cast<int64_t>(gz.size()));
    FAIL() << "no error";
  } catch (const EDecompressionError& e) {
    EXPECT_EQ(e.Message(), "gzip: header CRC mismatch");
  }
  EXPECT_EQ(Output(), "");
}

TEST_F(GzipDecoder, NoSingleBitFlipPassesAsADifferentText) {
  const std::string gz = Gzip(kText);
  const size_t header = testing::GzipHeader({}).size();
  int errors = 0;
  for (size_t bit = header * 8; bit < gz.size() * 8; ++bit) {
    std::string damaged = gz;
    damaged[bit / 8] ^= static_cast<char>(1 << (bit % 8));
    TMemoryStream target;
    TGzipDecompressStream gzip(&target);
    try {
      gzip.Write(damaged.data(), static_cast<int64_t>(damaged.size()));
      gzip.Finish();
    } catch (const EDecompressionError&) {
      ++errors;
      continue;
    }
    // Only the unused bits after the last deflate block may change freely.
    ASSERT_EQ(target.View(), kText) << "bit " << bit;
  }
  EXPECT_GT(errors, static_cast<int>(gz.size() - header) * 8 - 8);
}

TEST_F(GzipDecoder, CorruptDeflateDataRaisesAndResetRecovers) {
  std::string gz = Gzip(kText);
  gz[10] = '\xFF';  // first deflate byte: block type 3 is invalid
  try {
    gzip_.Write(gz.data(), static_cast<int64_t>(gz.size()));
    FAIL() << "no error";
  } catch (const EDecompressionError& e) {
    EXPECT_EQ(e.Message(), "error-3 invalid block type");
  }
  EXPECT_EQ(gzip_.GzipState(), TGzipDecompressStream::kStateData);
  EXPECT_EQ(gzip_.Consumed(), static_cast<int64_t>(gz.size()));
  EXPECT_TRUE(gzip_.Pending().empty());
  EXPECT_THROW(gzip_.Write("more", 4), EDecompressionError);  // stays broken
  gzip_.Reset();
  EXPECT_EQ(gzip_.GzipState(), 0);
  EXPECT_EQ(gzip_.Consumed(), 0);
  EXPECT_FALSE(gzip_.Header().HeaderSeen);
  const std::string good = Gzip("after the reset\n");
  gzip_.Write(good.data(), static_cast<int64_t>(good.size()));
  EXPECT_EQ(Output(), "after the reset\n");
}

TEST_F(GzipDecoder, SeekOnlyReportsThePosition) {
  const std::string gz = Gzip(kText);
  gzip_.Write(gz.data(), 20);
  const int64_t consumed = gzip_.Consumed();
  ASSERT_GT(consumed, 0);
  EXPECT_EQ(gzip_.Seek(0, SeekOrigin::kCurrent), consumed);
  EXPECT_EQ(gzip_.Seek(0, SeekOrigin::kEnd), consumed);
  EXPECT_EQ(gzip_.Seek(consumed, SeekOrigin::kBeginning), consumed);
  EXPECT_EQ(gzip_.Position(), consumed);
  const struct {
    int64_t offset;
    SeekOrigin origin;
  } moves[] = {{0, SeekOrigin::kBeginning},
               {consumed + 1, SeekOrigin::kBeginning},
               {1, SeekOrigin::kCurrent},
               {-1, SeekOrigin::kEnd}};
  for (const auto& m : moves) {
    try {
      gzip_.Seek(m.offset, m.origin);
      ADD_FAILURE() << "moved to " << m.offset;
    } catch (const EStreamError& e) {
      EXPECT_EQ(e.Message(), "TGzipDecompressStream can't change seek position");
    }
  }
  char byte;
  EXPECT_EQ(gzip_.Read(&byte, 1), 0);
}

TEST_F(GzipDecoder, WorksWithoutTarget) {
  TGzipDecompressStream gzip(nullptr);
  const std::string gz = Gzip(kText);
  EXPECT_EQ(gzip.Write(gz.data(), static_cast<int64_t>(gz.size())),
            static_cast<int64_t>(gz.size()));
  EXPECT_EQ(gzip.OutSize(), kText.size());
}

TEST_F(GzipDecoder, EveryTruncatedPrefixIsSafeAndResumable) {
  GzipOptions named;
  named.name = "x";
  const std::string gz = Gzip(kText, named);
  for (size_t cut = 0; cut <= gz.size(); ++cut) {
    TMemoryStream target;
    TGzipDecompressStream gzip(&target);
    int64_t total = gzip.Write(gz.data(), static_cast<int64_t>(cut));
    if (cut > 0 && cut < gz.size()) {
      EXPECT_THROW(gzip.Finish(), EDecompressionError) << cut;
    }
    total += gzip.Write(gz.data() + cut, static_cast<int64_t>(gz.size() - cut));
    gzip.Finish();
    ASSERT_EQ(target.View(), kText) << "cut " << cut;
    ASSERT_EQ(total, static_cast<int64_t>(gz.size())) << "cut " << cut;
  }
}

}  // namespace
}  // namespace zelvaro
