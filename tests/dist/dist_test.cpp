// What `cmake --install` gives a user: the programs, a desktop entry and
// metainfo that their validators accept, the record files' MIME type that
// the desktop entry names, and the icon in every size.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "tests/common/CliRun.h"

namespace zelvaro {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;

TEST(Install, ProgramsEntryMetainfoAndIcons) {
  const fs::path prefix =
      fs::temp_directory_path() / ("zelvaro-install-" + std::to_string(::getpid()));
  fs::remove_all(prefix);
  const auto install =
      RunCommand(std::string(CMAKE_COMMAND) + " --install '" ZELVARO_BINARY_DIR "' --prefix '" +
                 prefix.string() + "' 2>&1");
  ASSERT_EQ(install.status, 0) << install.out;
  const std::string id = ZELVARO_APP_ID;
  const fs::path share = prefix / "share";

  for (uint32_t size : {16, 24, 32, 48, 64, 128, 256}) {
    const std::string dim = std::to_string(size) + "x" + std::to_string(size);
    const QImage icon(
        QString::fromStdString((share / "icons/hicolor" / dim / "apps" / (id + ".png")).string()));
    EXPECT_EQ(icon.size(), QSize(size, size)) << dim;
    EXPECT_TRUE(icon.hasAlphaChannel()) << dim;
  }
  // The installed command line runs from its new place.
  const auto cli = RunCommand("'" + (prefix / "bin/zelvaro-cli").string() + "' position");
  EXPECT_EQ(cli.status, 0);
  EXPECT_EQ(cli.out.rfind("{\"board\":[", 0), 0u) << cli.out;
  EXPECT_TRUE(fs::exists(prefix / "bin/zelvaro"));

  // The desktop entry draws not even a hint; the metainfo passes; the MIME
  // type's file builds a database without a complaint (its search-path note
  // silenced by naming the folder).
  const fs::path mime = share / "mime";
  const struct {
    const char* tool;
    std::string command;
    bool quiet;
    std::string env = "";
  } checks[] = {
      {"desktop-file-validate", "'" + (share / "applications" / (id + ".desktop")).string() + "'",
       true},
      {"appstreamcli",
       "validate --no-net '" + (share / "metainfo" / (id + ".metainfo.xml")).string() + "'", false},
      {"update-mime-database", "'" + mime.string() + "'", true,
       "XDG_DATA_DIRS='" + share.string() + "' "},
  };
  std::string missing;
  for (const auto& check : checks) {
    if (RunCommand(std::string("command -v ") + check.tool + " >/dev/null").status != 0) {
      missing += std::string(" ") + check.tool;
      continue;
    }
    const auto result = RunCommand(check.env + check.tool + " " + check.command + " 2>&1");
    EXPECT_EQ(result.status, 0) << check.tool << "\n" << result.out;
    if (check.quiet) {
      EXPECT_EQ(result.out, "") << check.tool;
    }
  }
  const auto read = [](const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_TRUE(fs::exists(mime / "packages" / (id + ".xml")));
  if (fs::exists(mime / "globs2")) {
    // Every ending the viewer opens, in any letter case (a case-sensitive
    // glob ends in ":cs").
    const std::string globs = read(mime / "globs2");
    const struct {
      const char* type;
      const char* glob;
    } endings[] = {{"application/x-kif", "*.kif"}, {"application/x-kif", "*.kifu"},
                   {"application/x-ki2", "*.ki2"}, {"application/x-ki2", "*.ki2u"},
                   {"application/x-csa", "*.csa"}, {"application/x-sfen", "*.sfen"},
                   {"application/x-sfen", "*.usi"}};
    for (const auto& e : endings) {
      EXPECT_NE(globs.find(std::string(":") + e.type + ":" + e.glob + "\n"), std::string::npos)
          << e.glob << "\n"
          << globs;
    }
    EXPECT_EQ(globs.find(":cs\n"), std::string::npos) << globs;
    // The desktop entry offers the program for every type the file defines,
    // and hands it the file.
    const std::string entry = read(share / "applications" / (id + ".desktop"));
    const size_t line = entry.find("\nMimeType=");
    ASSERT_NE(line, std::string::npos) << entry;
    // ";type1;type2;…;" from "MimeType=type1;type2;…;".
    const size_t start = line + std::string("\nMimeType").size();
    std::string listed = entry.substr(start, entry.find('\n', start) - start);
    listed[0] = ';';
    std::istringstream types(read(mime / "types"));
    int count = 0;
    for (std::string type; std::getline(types, type); ++count) {
      EXPECT_NE(listed.find(";" + type + ";"), std::string::npos) << type << "\n" << entry;
    }
    EXPECT_EQ(count, 4);
    EXPECT_NE(entry.find("\nExec=zelvaro --desktop-entry %f\n"), std::string::npos) << entry;
  }
  fs::remove_all(prefix);
  if (!missing.empty()) GTEST_SKIP() << "not installed (scripts/setup):" << missing;
}

}  // namespace
}  // namespace zelvaro
