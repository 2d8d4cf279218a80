#include "net/Cookies.h"

#include <gtest/gtest.h>

namespace zelvaro {
namespace {

using std::chrono::seconds;

TDateTime Now() { return *ParseHttpDate("Wed, 01 Jan 2025 00:00:00 GMT"); }

TEST(Cookie, ParsesPropertiesAndWritesFullText) {
  TCookie c;
  c.SetCookieText(
      " sid = abc ; Path=\"/kif/\"; expires=Thu, 02 Jan 2025 00:00:00 GMT; DOMAIN=.example.jp; "
      "secure; Max-Age=60; comment=hi; version=1");
  EXPECT_EQ(c.Name, "sid");
  EXPECT_EQ(c.Value, "abc");
  EXPECT_EQ(c.Path, "/kif/");
  EXPECT_EQ(c.Domain, ".example.jp");
  EXPECT_TRUE(c.Secure);
  EXPECT_EQ(c.MaxAge, 60);
  EXPECT_EQ(c.FullText(),
            "sid=abc; path=/kif/; expires=Thu, 02 Jan 2025 00:00:00 GMT; domain=.example.jp; "
            "secure; comment=hi; version=1");

  TCookie plain;
  plain.SetCookieText("a=b");
  EXPECT_EQ(plain.FullText(), "a=b");
  EXPECT_EQ(plain.MaxAge, -1);
  plain.SetCookieText("a=b; max-age=10");
  EXPECT_EQ(plain.FullText(), "a=b; max-age=10");
  plain.SetCookieText("a=b; max-age=soon");
  EXPECT_EQ(plain.MaxAge, -1);
}

TEST(Cookie, Expiry) {
  TCookie c;
  c.Received = Now();
  c.SetCookieText("a=1; max-age=60");
  EXPECT_FALSE(c.IsExpired(Now() + seconds(59)));
  EXPECT_TRUE(c.IsExpired(Now() + seconds(60)));
  c.SetCookieText("a=1; expires=Tue, 31 Dec 2024 00:00:00 GMT");
  EXPECT_TRUE(c.IsExpired(Now()));
  c.SetCookieText("a=1; expires=Tue, 31 Dec 2024 00:00:00 GMT; max-age=100");
  EXPECT_FALSE(c.IsExpired(Now())) << "Max-Age wins over Expires";
  c.SetCookieText("a=1");
  EXPECT_FALSE(c.IsExpired(Now() + seconds(1'000'000'000)));
}

TEST(Cookie, DomainAndPathFit) {
  struct Case {
    const char* domain;
    const char* host;
    bool fits;
  } domains[] = {
      {"example.jp", "example.jp", true},
      {".example.jp", "www.example.jp", true},
      {"example.jp", "www.example.jp", true},
      {"EXAMPLE.jp", "Www.Example.JP", true},
      {"ample.jp", "www.example.jp", false},
      {"other.jp", "example.jp", false},
      {"jp", "example.jp", false},
      {"127.0.0.1", "127.0.0.1", true},
      {"0.0.1", "127.0.0.1", false},
      {"www.example.jp", "example.jp", false},
  };
  for (const Case& c : domains)
    EXPECT_EQ(DomainFits(c.domain, c.host), c.fits) << c.domain << " " << c.host;

  struct PathCase {
    const char* cookiePath;
    const char* path;
    bool fits;
  } paths[] = {
      {"/", "/anything", true},   {"/kif", "/kif", true},        {"/kif", "/kif/a.kif", true},
      {"/kif", "/kifu/a", false}, {"/kif/", "/kif/a.kif", true}, {"/kif/", "/other", false},
  };
  for (const PathCase& c : paths)
    EXPECT_EQ(PathFits(c.cookiePath, c.path), c.fits) << c.cookiePath << " " << c.path;
}

TEST(CookieManager, StoresByDomainAndPathAndSendsOnlyWhereTheyBelong) {
  TCookieManager store;
  EXPECT_TRUE(store.AddCookie("sid=1; path=/", "live.example.jp", "/index.html", Now()));
  EXPECT_TRUE(
      store.AddCookie("pref=ja; path=/kif; domain=example.jp", "live.example.jp", "/", Now()));
  EXPECT_TRUE(store.AddCookie("tmp=x; max-age=10", "live.example.jp", "/kif/a.kif", Now()));
  EXPECT_TRUE(store.AddCookie("sec=y; secure", "live.example.jp", "/", Now()));
  EXPECT_FALSE(store.AddCookie("evil=1; domain=other.jp", "live.example.jp", "/", Now()));
  EXPECT_FALSE(store.AddCookie("=novalue", "live.example.jp", "/", Now()));

  EXPECT_EQ(store.CookieHeader("live.example.jp", "/index.html", false, Now()), "sid=1");
  EXPECT_EQ(store.CookieHeader("live.example.jp", "/kif/a.kif", false, Now()),
            "sid=1; pref=ja; tmp=x");
  EXPECT_EQ(store.CookieHeader("www.example.jp", "/kif/a.kif", false, Now()), "pref=ja");
  EXPECT_EQ(store.CookieHeader("sponsor.test", "/", false, Now()), "");
  EXPECT_EQ(store.CookieHeader("live.example.jp", "/kif/a.kif", false, Now() + seconds(10)),
            "sid=1; pref=ja");
  EXPECT_EQ(store.CookieHeader("live.example.jp", "/", true, Now()), "sid=1; sec=y");

  // Same name, domain and path: replaced in place; sent expired: removed.
  store.AddCookie("sid=2; path=/", "live.example.jp", "/", Now());
  EXPECT_EQ(store.CookieHeader("live.example.jp", "/index.html", false, Now()), "sid=2");
  store.AddCookie("sid=gone; path=/; expires=Thu, 01 Jan 1970 00:00:00 GMT", "live.example.jp", "/",
                  Now());
  EXPECT_EQ(store.CookieHeader("live.example.jp", "/index.html", false, Now()), "");

  // The new-cookie event may refuse.
  store.OnNewCookie = [](const TCookie& c) { return c.Name != "blocked"; };
  EXPECT_FALSE(store.AddCookie("blocked=1", "live.example.jp", "/", Now()));
}

}  // namespace
}  // namespace zelvaro
