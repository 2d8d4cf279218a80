// What `cmake --install` gives a user: the programs, a desktop entry and
// metainfo that their validators accept, and the icon in every size.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/common/CliRun.h"

namespace zelvaro {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;

constexpr char kId[] = ZELVARO_APP_ID;

bool HaveTool(const std::string& name) {
  return RunCommand("command -v " + name + " >/dev/null").status == 0;
}

// Width and height from a PNG's header, and whether it has an alpha channel.
struct PngHeader {
  uint32_t width = 0, height = 0;
  bool alpha = false;
};
PngHeader ReadPngHeader(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char b[26] = {};
  in.read(reinterpret_cast<char*>(b), sizeof b);
  auto be32 = [&](int at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
  };
  if (!in || std::string(reinterpret_cast<char*>(b + 1), 3) != "PNG") return {};
  return {be32(16), be32(20), b[25] == 6};
}

class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix_ =
        new fs::path(fs::temp_directory_path() / ("zelvaro-install-" + std::to_string(::getpid())));
    fs::remove_all(*prefix_);
    install_ =
        RunCommand(std::string(CMAKE_COMMAND) + " --install '" ZELVARO_BINARY_DIR "' --prefix '" +
                   prefix_->string() + "' 2>&1");
  }
  static void TearDownTestSuite() {
    fs::remove_all(*prefix_);
    delete prefix_;
  }
  static fs::path Share(const std::string& rest) { return *prefix_ / "share" / rest; }

  static inline fs::path* prefix_ = nullptr;
  static inline testing::CliResult install_;
};

TEST_F(Installed, ProgramsEntryMetainfoAndIcons) {
  ASSERT_EQ(install_.status, 0) << install_.out;
  for (const char* program : {"zelvaro", "zelvaro-cli"}) {
    const fs::path path = *prefix_ / "bin" / program;
    ASSERT_TRUE(fs::exists(path)) << path;
    EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_exec, fs::perms::none) << path;
  }
  EXPECT_TRUE(fs::exists(Share("applications/" + std::string(kId) + ".desktop")));
  EXPECT_TRUE(fs::exists(Share("metainfo/" + std::string(kId) + ".metainfo.xml")));
  for (uint32_t size : {16u, 24u, 32u, 48u, 64u, 128u, 256u}) {
    const std::string dim = std::to_string(size) + "x" + std::to_string(size);
    const PngHeader png = ReadPngHeader(Share("icons/hicolor/" + dim + "/apps/" + kId + ".png"));
    EXPECT_EQ(png.width, size) << dim;
    EXPECT_EQ(png.height, size) << dim;
    EXPECT_TRUE(png.alpha) << dim;
  }
  // The installed command line runs from its new place.
  const auto cli = RunCommand("'" + (*prefix_ / "bin/zelvaro-cli").string() + "' position");
  EXPECT_EQ(cli.status, 0);
  EXPECT_EQ(cli.out.rfind("{\"board\":[", 0), 0u) << cli.out;
}

TEST_F(Installed, ValidatorsAcceptEntryAndMetainfo) {
  ASSERT_EQ(install_.status, 0) << install_.out;
  const struct {
    const char* tool;
    std::string command;
    bool quiet;  // not even a hint
  } checks[] = {
      {"desktop-file-validate",
       "desktop-file-validate '" + Share("applications/" + std::string(kId) + ".desktop").string() +
           "' 2>&1",
       true},
      {"appstreamcli",
       "appstreamcli validate --no-net '" +
           Share("metainfo/" + std::string(kId) + ".metainfo.xml").string() + "' 2>&1",
       false},
  };
  std::string missing;
  for (const auto& check : checks) {
    if (!HaveTool(check.tool)) {
      missing += std::string(" ") + check.tool;
      continue;
    }
    const auto result = RunCommand(check.command);
    EXPECT_EQ(result.status, 0) << check.command << "\n" << result.out;
    if (check.quiet) EXPECT_EQ(result.out, "") << check.command;
  }
  if (!missing.empty()) GTEST_SKIP() << "not installed (scripts/setup):" << missing;
}

}  // namespace
}  // namespace zelvaro
