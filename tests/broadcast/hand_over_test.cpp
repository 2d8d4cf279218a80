#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "broadcast/HandOver.h"
#include "tests/broadcast/FakeFetcher.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SaveRecordLinesTest, LinesEndInCrLfWithTheirBytesUnchanged) {
  testing::TempCurrentFolder folder;
  const std::vector<std::string> lines = {"\x8a\x4a\x8e\x6e", std::string("a\0b", 3), "\xff\x80",
                                          "x"};
  SaveRecordLines("r.txt", lines);
  EXPECT_EQ(ReadFile("r.txt"), std::string("\x8a\x4a\x8e\x6e\r\na\0b\r\n\xff\x80\r\nx\r\n", 18));
  SaveRecordLines("r.txt", {});
  EXPECT_EQ(ReadFile("r.txt"), "");
}

TEST(SaveRecordLinesTest, AFailedWriteKeepsTheOldFile) {
  testing::TempCurrentFolder folder;
  SaveRecordLines("r.txt", {"old"});
  ASSERT_EQ(::mkdir("r.txt.part", 0755), 0);  // the file beside it cannot be made
  try {
    SaveRecordLines("r.txt", {"new"});
    FAIL() << "no error";
  } catch (const EFileError& e) {
    EXPECT_NE(e.Message().find("r.txt"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(ReadFile("r.txt"), "old\r\n");
  EXPECT_THROW(SaveRecordLines("no-such-folder/r.txt", {"x"}), EFileError);
}

// A fetch that gives fixed bytes, or fails with a message.
class FixedFetch : public TRecordFetch {
 public:
  FixedFetch(std::string bytes, std::string error)
      : bytes_(std::move(bytes)), error_(std::move(error)) {}
  std::string Fetch() override {
    if (!error_.empty()) throw Exception(error_);
    return bytes_;
  }

 private:
  std::string bytes_, error_;
};

TEST(FetchHandOverTest, ARecordPassesAndAnythingElseGivesOnlyAMessage) {
  const std::string record = Utf8ToSjis("先手：甲\r\n後手：乙\r\n   1 ７六歩(77)\r\n");
  struct Case {
    const char* name;
    std::string bytes, error;
    bool passes;
  } cases[] = {
      {"record", record, "", true},
      {"empty", "", "", false},
      {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0", 11), "", false},
      {"failed download", record, "HTTP/1.1 404 Not Found", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FixedFetch fetch(c.bytes, c.error);
    const THandOverResult result = FetchHandOver(fetch, "r.txt");
    if (c.passes) {
      EXPECT_EQ(result.bytes, record);
      EXPECT_EQ(result.error, "");
    } else {
      EXPECT_EQ(result.bytes, "");
      EXPECT_NE(result.error, "");
      if (!c.error.empty()) {
        EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
      }
    }
  }
}

}  // namespace
}  // namespace zelvaro
