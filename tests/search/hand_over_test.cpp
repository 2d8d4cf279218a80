#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "search/HandOver.h"
#include "tests/search/SearchTestSupport.h"
#include "toolkit/Exception.h"

namespace zelvaro {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SaveRecordLinesTest, LinesEndInCrLfWithTheirBytesUnchanged) {
  testing::ScratchFolder folder;
  const std::vector<std::string> lines = {"\x8a\x4a\x8e\x6e", std::string("a\0b", 3), "\xff\x80",
                                          "x"};
  SaveRecordLines("r.txt", lines);
  EXPECT_EQ(ReadFile("r.txt"), std::string("\x8a\x4a\x8e\x6e\r\na\0b\r\n\xff\x80\r\nx\r\n", 18));
  SaveRecordLines("r.txt", {});
  EXPECT_EQ(ReadFile("r.txt"), "");
}

TEST(SaveRecordLinesTest, AFailedWriteKeepsTheOldFile) {
  testing::ScratchFolder folder;
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

}  // namespace
}  // namespace zelvaro
