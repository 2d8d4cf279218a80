#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>

#include "tests/viewer/ViewerTestSupport.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"
#include "viewer/CommentPanel.h"

namespace zelvaro {
namespace {

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }
std::string Linkify(const std::string& text) { return U8(LinkifyUrls(Utf8ToUtf16(text))); }
std::string Link(const std::string& a) {
  return "<a href=\"" + a + "\" title=\"リンク先を見る\">" + a + "</a>";
}

TEST(CommentPanel, DocumentForEachFontSize) {
  const char* sizes[] = {"-2", "-1", "+0", "+1", "+2", "+3"};
  for (int i = 0; i < kFontSizeCount; ++i) {
    EXPECT_EQ(U8(DocumentPrefix(i)),
              std::string("<html><body><font size=\"") + sizes[i] + "\"><b>");
  }
  EXPECT_EQ(U8(CommentDocument(3, u"７六歩は定跡<BR>")),
            "<html><body><font size=\"+1\"><b>７六歩は定跡<BR></b></font></body></html>");
  EXPECT_EQ(U8(CommentDocument(0, u"")),
            "<html><body><font size=\"-2\"><b></b></font></body></html>");
  // Comment text is HTML as it stands.
  EXPECT_EQ(U8(CommentDocument(5, u"<i>a&b</i>")),
            "<html><body><font size=\"+3\"><b><i>a&b</i></b></font></body></html>");
  EXPECT_THROW(DocumentPrefix(-1), ERangeError);
  EXPECT_THROW(DocumentPrefix(6), ERangeError);
}

TEST(CommentPanel, LinkifyUrls) {
  const std::string U = "http://example.jp/live/a1", V = "http://shogi.example.org/b/2";
  const std::string S = "https://www.example.com/watch";
  struct Case {
    const char* name;
    std::string text, linked;
  } cases[] = {
      {"empty", "", ""},
      {"no address", "７六歩は定跡<BR>", "７六歩は定跡<BR>"},
      {"stops before <", "see " + U + "<BR>", "see " + Link(U) + "<BR>"},
      {"https with query", S + "?b=c_d~e-f", Link(S + "?b=c_d~e-f")},
      {"stops before &", U + "&b=c", Link(U) + "&b=c"},
      {"stops before %", U + "%20b", Link(U) + "%20b"},
      {"capitals are no address", "HTTP://EXAMPLE.JP/A", "HTTP://EXAMPLE.JP/A"},
      {"http without separator", "http通信", "http通信"},
      {"two addresses", U + " and " + V, Link(U) + " and " + Link(V)},
      {"repeated address", U + " " + U, Link(U) + " " + Link(U)},
      {"Japanese around", "中継は" + U + "で。解説は" + S + "へ<BR>",
       "中継は" + Link(U) + "で。解説は" + Link(S) + "へ<BR>"},
      // The later, shorter address is found first and takes the front of the longer one.
      {"inside a longer one", U + "/more " + U, Link(U) + "/more " + Link(U)},
      // The longer one comes last and is found first; then the shorter one.
      {"longer one last", U + " " + U + "/more", Link(U) + " " + Link(U + "/more")},
      {"marker text stays", "_MATCH_URL_0 _MATCH_URL_", "_MATCH_URL_0 _MATCH_URL_"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Linkify(c.text), c.linked);
  }
}

// A UTF-8 record's characters that CP932 lacks stay, and end an address.
TEST(CommentPanel, LinkifyUrlsKeepsEveryCharacter) {
  const std::string U = "http://example.jp";
  const struct {
    std::string text, linked;
  } cases[] = {
      {"𠮷野家と🙂", "𠮷野家と🙂"},
      {U + "/𠮷/a", Link(U + "/") + "𠮷/a"},
      {"🙂" + U + "/x🙂 ½ \x01", "🙂" + Link(U + "/x") + "🙂 ½ \x01"},
      {"７六歩 " + U + "/y", "７六歩 " + Link(U + "/y")},
  };
  for (const auto& c : cases) EXPECT_EQ(Linkify(c.text), c.linked) << c.text;
}

TEST(CommentPanel, LinkifyUrlsLinksAtMostElevenAddresses) {
  auto address = [](int i) { return "http://example.jp/p" + std::to_string(i) + "/x"; };
  for (int count : {10, 11, 12, 13}) {
    SCOPED_TRACE(count);
    std::string text, expected;
    for (int i = 0; i < count; ++i) {
      text += address(i) + "<BR>";
      // Counted from the end: the first count - 11 stay plain text.
      expected += (i < count - kMaxLinks ? address(i) : Link(address(i))) + "<BR>";
    }
    EXPECT_EQ(Linkify(text), expected);
  }
}

TEST(CommentPanel, ShowDocumentReplacesThePage) {
  testing::TestApp();
  THtmlView view;
  EXPECT_EQ(view.ReadyState(), THtmlView::kUninitialized);
  ShowDocument(&view, u"<html><body>一<BR></body></html>");
  EXPECT_GE(view.ReadyState(), THtmlView::kInteractive);
  EXPECT_EQ(view.Source(), QStringLiteral("<html><body>一<BR></body></html>"));
  EXPECT_TRUE(view.toPlainText().contains(QStringLiteral("一")));
  ShowDocument(&view, u"<html><body>二</body></html>");
  EXPECT_FALSE(view.toPlainText().contains(QStringLiteral("一")));
  EXPECT_TRUE(view.toPlainText().contains(QStringLiteral("二")));

  // The blank page is not there until events have been processed.
  view.Navigate(QStringLiteral("about:blank"));
  EXPECT_EQ(view.ReadyState(), THtmlView::kLoading);
  EXPECT_TRUE(view.toPlainText().isEmpty());
  ProcessPendingEvents();
  EXPECT_EQ(view.ReadyState(), THtmlView::kComplete);
}

// Handlers run while a document waits for the view; one that shows its own
// document was asked for later, and its document stays.
TEST(CommentPanel, ADocumentShownWhileAnotherWaitsWins) {
  testing::TestApp();
  THtmlView view;
  QTimer::singleShot(0, &view, [&] { ShowDocument(&view, u"<html><body>後</body></html>"); });
  ShowDocument(&view, u"<html><body>先</body></html>");
  EXPECT_EQ(view.Source(), QStringLiteral("<html><body>後</body></html>"));
}

TEST(CommentPanel, ClickedLinksGoToTheWebBrowser) {
  testing::TestApp();
  std::vector<QUrl> opened;
  auto previous = THtmlView::SetLinkOpener([&](const QUrl& url) { opened.push_back(url); });
  THtmlView view;
  EXPECT_FALSE(view.openLinks());
  EXPECT_FALSE(view.openExternalLinks());
  for (const char* url :
       {"http://example.jp/a", "HTTPS://example.jp/b?c=d", "ftp://example.jp/",
        "javascript:alert(1)", "file:///etc/passwd", "mailto:a@example.jp", "relative/page.html"}) {
    emit view.anchorClicked(QUrl(QString::fromLatin1(url)));
  }
  THtmlView::SetLinkOpener(previous);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].toString(), QStringLiteral("http://example.jp/a"));
  EXPECT_EQ(opened[1].host(), QStringLiteral("example.jp"));
  EXPECT_TRUE(view.Source().isEmpty());  // the view itself went nowhere
}

// Without a web browser the link's address is shown in a box.
TEST(CommentPanel, ALinkThatCannotBeOpenedIsTold) {
  testing::TestApp();
  testing::MessageCatcher catcher;
  std::vector<QUrl> asked;
  auto previous = THtmlView::SetDesktopOpener([&](const QUrl& url) {
    asked.push_back(url);
    return false;
  });
  EXPECT_TRUE(THtmlView::FollowLink(QUrl(QStringLiteral("http://example.jp/a?b=c"))));
  THtmlView::SetDesktopOpener(previous);
  ASSERT_EQ(asked.size(), 1u);
  ASSERT_EQ(catcher.messages.size(), 1u);
  EXPECT_TRUE(catcher.messages[0].text.contains(QStringLiteral("リンク先を開けません")));
  EXPECT_TRUE(catcher.messages[0].text.contains(QStringLiteral("http://example.jp/a?b=c")));

  // The desktop's opener starts but finds no web browser (xdg-open exits 3).
  testing::ScratchFolder folder;
  testing::WriteFile("xdg-open", "#!/bin/sh\necho \"$1\" > asked\nexit 3\n");
  QFile::setPermissions(QStringLiteral("xdg-open"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QDir::currentPath().toUtf8() + ":" + path);
  catcher.messages.clear();
  EXPECT_TRUE(THtmlView::FollowLink(QUrl(QStringLiteral("http://example.jp/b"))));
  qputenv("PATH", path);
  ASSERT_TRUE(testing::WaitFor([&] { return !catcher.messages.empty(); }));
  EXPECT_TRUE(catcher.messages[0].text.contains(QStringLiteral("http://example.jp/b")));
  EXPECT_EQ(testing::ReadFile("asked"), "http://example.jp/b\n");
}

}  // namespace
}  // namespace zelvaro
