#include "net/Uri.h"

#include <gtest/gtest.h>

#include "net/NetErrors.h"

namespace zelvaro {
namespace {

struct UriCase {
  const char* url;
  const char* protocol;
  const char* user;
  const char* password;
  const char* host;
  const char* port;
  const char* path;
  const char* document;
  const char* params;
  const char* bookmark;
};

TEST(Uri, SplitsIntoParts) {
  const UriCase cases[] = {
      {"http://H/dir/page.html", "http", "", "", "H", "", "/dir/", "page.html", "", ""},
      {"http://H:8080", "http", "", "", "H", "8080", "/", "", "", ""},
      {"http://H:8080/", "http", "", "", "H", "8080", "/", "", "", ""},
      {"http://u:p@H/a/b/c.kif?x=1&y=2#top", "http", "u", "p", "H", "", "/a/b/", "c.kif",
       "?x=1&y=2", "top"},
      {"http://u@H/", "http", "u", "", "H", "", "/", "", "", ""},
      {"http://:p@H/", "http", "", "", "H", "", "/", "", "", ""},
      {"http://H/page.html#frag", "http", "", "", "H", "", "/", "page.html", "", "frag"},
      {"http://H/cgi/run=1/x", "http", "", "", "H", "", "/cgi/", "run", "=1/x", ""},
      {"http://H\\dir\\f.html", "http", "", "", "H", "", "/dir/", "f.html", "", ""},
      {"http://[::1]:81/x", "http", "", "", "[::1]", "81", "/", "x", "", ""},
      {"dir/page.html?q", "", "", "", "", "", "dir/", "page.html", "?q", ""},
      {"page.html", "", "", "", "", "", "", "page.html", "", ""},
      {"/abs/x.kif#b", "", "", "", "", "", "/abs/", "x.kif", "", "b"},
      {"//other:81/r/x.kif", "", "", "", "other", "81", "/r/", "x.kif", "", ""},
  };
  for (const UriCase& c : cases) {
    SCOPED_TRACE(c.url);
    TUri uri(c.url);
    EXPECT_EQ(uri.Protocol, c.protocol);
    EXPECT_EQ(uri.Username, c.user);
    EXPECT_EQ(uri.Password, c.password);
    EXPECT_EQ(uri.Host, c.host);
    EXPECT_EQ(uri.Port, c.port);
    EXPECT_EQ(uri.Path, c.path);
    EXPECT_EQ(uri.Document, c.document);
    EXPECT_EQ(uri.Params, c.params);
    EXPECT_EQ(uri.Bookmark, c.bookmark);
  }
}

TEST(Uri, BackslashInsideDoubleByteCharacterStays) {
  // "ソ" in Shift_JIS is 0x83 0x5C: its second byte is a backslash.
  std::string url = "http://H/\x83\x5C/a\\b";
  TUri uri(url);
  EXPECT_EQ(uri.Path, "/\x83\x5C/a/");
  EXPECT_EQ(uri.Document, "b");
}

TEST(Uri, RebuildsAndRefusesMissingParts) {
  for (const char* url :
       {"http://H/dir/page.html", "http://u:p@H:81/a/b.kif?x=1#top", "http://H/"}) {
    EXPECT_EQ(TUri(url).Uri(), url);
  }
  try {
    TUri("page.html").Uri();
    FAIL();
  } catch (const EUriError& e) {
    EXPECT_EQ(e.Message(), "Protocol field is empty");
  }
  TUri noHost;
  noHost.Protocol = "http";
  try {
    noHost.Uri();
    FAIL();
  } catch (const EUriError& e) {
    EXPECT_EQ(e.Message(), "Host field is empty");
  }
}

TEST(Uri, RequestTargetEscapesWhatMayNotStandInARequestLine) {
  EXPECT_EQ(TUri("http://H/dir/page.html?a=1#x").RequestTarget(), "/dir/page.html?a=1");
  EXPECT_EQ(TUri("http://H/a b.kif").RequestTarget(), "/a%20b.kif");
  EXPECT_EQ(TUri("http://H/x\r\nEvil: 1").RequestTarget(), "/x%0D%0AEvil:%201");
  EXPECT_EQ(TUri("http://H/%E6%A3%8B.kif").RequestTarget(), "/%E6%A3%8B.kif");
  EXPECT_EQ(TUri("http://H/\x8A\xFB.kif").RequestTarget(), "/%8A%FB.kif");
}

TEST(Uri, RemoveDotSegments) {
  const std::pair<const char*, const char*> cases[] = {{"/a/b/../c/", "/a/c/"},
                                                       {"/a/./b/", "/a/b/"},
                                                       {"/../../x/", "/x/"},
                                                       {"/", "/"},
                                                       {"//a//", "/a/"}};
  for (auto [in, out] : cases) EXPECT_EQ(RemoveDotSegments(in), out) << in;
}

}  // namespace
}  // namespace zelvaro
