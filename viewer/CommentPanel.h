// The comment panel: the frame of the documents shown in the viewer's HTML
// view, the turning of web addresses into links, and the HTML view itself.
//
// A document is prefix + body + suffix. The body goes in as it stands: its
// "<", ">" and "&" act as HTML, which the record's commentary relies on.
#pragma once

#include <QTextBrowser>
#include <QUrl>
#include <functional>
#include <string>
#include <string_view>

namespace zelvaro {

constexpr int kFontSizeCount = 6;
constexpr int kDefaultFontSize = 3;
inline constexpr std::u16string_view kDocumentSuffix = u"</b></font></body></html>";

// "<html><body><font size="-2"><b>" (index 0) to "... size="+3"><b>" (index 5).
// Throws ERangeError for an index outside 0..5.
std::u16string DocumentPrefix(int font_size_index);

// The address pattern: group 1 is the last web address of the text.
inline constexpr std::string_view kUrlPattern = ".*(http[s:]+[0-9a-zA-Z./?_=~-]+).*";
constexpr int kMaxLinks = 11;

// Turns the last 11 distinct web addresses of `text` (counted from its end)
// into <a href="A" title="リンク先を見る">A</a>, every occurrence of each.
// The searches and replacements work on the Shift_JIS form of the text;
// characters CP932 has no code for (a UTF-8 record's 𠮷 or 🙂) are kept as
// they are, and an address ends before them.
std::u16string LinkifyUrls(std::u16string_view text);
// The same for a text of characters CP932 has codes for.
std::u16string LinkifyCp932(std::u16string_view text);

// What the box says when a link cannot be opened: the address, to copy.
QString LinkFailureText(const QUrl& url);

// Prefix + LinkifyUrls(comment) + suffix: what a click on a move shows.
std::u16string CommentDocument(int font_size_index, std::u16string_view comment);

// The HTML view of the viewer window. It runs no scripts and follows no link
// itself: a clicked http or https link goes to the user's web browser
// (through LinkOpener), any other scheme is ignored. When the desktop has
// no web browser for it, a message box says so and shows the address.
class THtmlView : public QTextBrowser {
  Q_OBJECT
 public:
  // 0 uninitialised, 1 loading, 2 loaded, 3 interactive, 4 complete.
  enum ReadyState {
    kUninitialized = 0,
    kLoading = 1,
    kLoaded = 2,
    kInteractive = 3,
    kComplete = 4
  };

  explicit THtmlView(QWidget* parent = nullptr);

  // Empties the view and starts loading the blank page; the state reaches
  // kComplete once pending events have been processed.
  void Navigate(const QString& url);
  int ReadyState() const { return ready_state_; }
  // Counts the navigations; a later one makes an earlier one stale.
  unsigned Navigation() const { return navigation_; }
  // Puts `html` into the current document in one write.
  void Write(const QString& html);
  void Refresh();
  // The HTML text last written, as written (toHtml() gives Qt's rewrite of it).
  const QString& Source() const { return source_; }

  // What opens a followed link; the desktop's web browser unless a test
  // replaces it. Returns the previous opener.
  using Opener = std::function<void(const QUrl&)>;
  static Opener SetLinkOpener(Opener opener);
  // What the default opener asks to open a link (xdg-open, which shows a
  // box itself when it fails later); false when nothing could be started.
  // Returns the previous one.
  using DesktopOpener = std::function<bool(const QUrl&)>;
  static DesktopOpener SetDesktopOpener(DesktopOpener opener);

  // Opens `url` when its scheme is http or https; false when ignored.
  static bool FollowLink(const QUrl& url);

 private:
  QString source_;
  int ready_state_ = kUninitialized;
  unsigned navigation_ = 0;  // a later Navigate makes an earlier completion stale
};

// Shows `html` in `view`: blank page, wait (processing events) until the view
// is interactive, one write, refresh. Every document replaces the last whole.
// When a handler run by those events shows another document meanwhile, that
// one stays: the later request wins and this call writes nothing.
void ShowDocument(THtmlView* view, std::u16string_view html);

}  // namespace zelvaro
