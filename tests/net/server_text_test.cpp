// Server text shown in messages: control characters and broken bytes escaped.
#include <gtest/gtest.h>

#include "net/ServerText.h"
#include "net/untHttp.h"
#include "tests/net/ScriptedServer.h"

namespace zelvaro {
namespace {

using testing::ReadRequest;
using testing::ScriptedServer;
using testing::Send;

TEST(ServerText, ControlCharactersAndBrokenBytesAreEscaped) {
  const struct {
    std::string in, shown;
  } cases[] = {
      {"HTTP/1.1 404 Not Found", "HTTP/1.1 404 Not Found"},
      {"a\x1b[31mred\x07", "a\\x1b[31mred\\x07"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      {"\xff\xfe tab\tdel\x7f", "\\xff\\xfe tab\\x09del\\x7f"},
      {"見つかりません", "見つかりません"},                     // well-formed UTF-8 stays
      {"\xe8\xa6", "\\xe8\\xa6"},                               // a cut character
      {"\xc0\xaf \xed\xa0\x80", "\\xc0\\xaf \\xed\\xa0\\x80"},  // overlong, surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(ShownServerText(c.in), c.shown) << c.in;
  EXPECT_EQ(ShownServerText(std::string(600, 'a'), 512), std::string(512, 'a') + "…");
}

TEST(ServerText, AStatusLineWithControlCharactersReachesTheMessageEscaped) {
  ScriptedServer server({{ReadRequest(), Send("HTTP/1.1 500 \x1b]0;owned\x07\xff\r\n"
                                              "Content-Length: 0\r\nConnection: close\r\n\r\n")}});
  THttpClient client;
  try {
    client.Get(server.Url("/"));
    ADD_FAILURE() << "no error";
  } catch (const EHttpProtocolError& e) {
    EXPECT_EQ(e.Message(), "HTTP/1.1 500 \\x1b]0;owned\\x07\\xff");
  }
}

}  // namespace
}  // namespace zelvaro
