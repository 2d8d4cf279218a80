#include "viewer/CommentPanel.h"

#include <QDesktopServices>
#include <QProcess>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "regex/untRegex.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"
#include "toolkit/qt/Platform.h"

namespace zelvaro {
namespace {

constexpr std::string_view kMarker = "_MATCH_URL_";

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  std::string out;
  size_t start = 0;
  for (size_t at; (at = text.find(from, start)) != std::string::npos; start = at + from.size()) {
    out.append(text, start, at - start);
    out.append(to);
  }
  if (start == 0) return;
  out.append(text, start, std::string::npos);
  text = std::move(out);
}

std::string LinkText(const std::string& address) {
  return "<a href=\"" + address + "\" title=\"" + Utf8ToSjis("リンク先を見る") + "\">" + address +
         "</a>";
}

// The desktop's opener (xdg-open) for a link. It starts, then finds out
// whether any program takes the address: its failure (no web browser, say)
// comes later, and a box then says so. False when it cannot even start.
bool OpenOnDesktop(const QUrl& url) {
  // No parent: a web browser it runs in the foreground outlives the program.
  auto* process = new QProcess();
  QObject::connect(process, &QProcess::finished, process,
                   [process, url](int code, QProcess::ExitStatus status) {
                     process->deleteLater();
                     if (status != QProcess::NormalExit || code != 0) {
                       ShowMessage(LinkFailureText(url), QStringLiteral("Zelvaro"));
                     }
                   });
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  process->start(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
  if (process->waitForStarted(5000)) return true;
  process->deleteLater();
  // Without xdg-open, whatever else Qt knows of.
  return QDesktopServices::openUrl(url);
}

THtmlView::DesktopOpener& DesktopLinkOpener() {
  static THtmlView::DesktopOpener opener = OpenOnDesktop;
  return opener;
}

THtmlView::Opener& LinkOpener() {
  static THtmlView::Opener opener = [](const QUrl& url) {
    if (!DesktopLinkOpener() || !DesktopLinkOpener()(url)) {
      ShowMessage(LinkFailureText(url), QStringLiteral("Zelvaro"));
    }
  };
  return opener;
}

// The Shift_JIS form of a text holds only what CP932 has a code for. Every
// other character (and the two control characters used here) stands in it
// as "\x01<n>\x02", which no address continues into, and comes back after.
constexpr char16_t kShieldOpen = 0x01, kShieldClose = 0x02;

struct Shielded {
  std::u16string text;
  std::vector<std::u16string> kept;
};

Shielded Shield(std::u16string_view text) {
  Shielded out;
  const std::string sjis = Utf16ToSjis(text);
  const auto marks = std::count(text.begin(), text.end(), u'?');
  if (std::count(sjis.begin(), sjis.end(), '?') == marks &&
      text.find_first_of(u"\x01\x02") == std::u16string_view::npos) {
    out.text = text;  // all of it has a code: a CP932 record's text always
    return out;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    size_t length = 1;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size()) length = 2;
    const std::u16string_view unit = text.substr(i, length);
    const bool kept = unit[0] == kShieldOpen || unit[0] == kShieldClose ||
                      (unit[0] >= 0x80 && Utf16ToSjis(unit).find('?') != std::string::npos);
    if (kept) {
      out.text += kShieldOpen;
      out.text += Utf8ToUtf16(std::to_string(out.kept.size()));
      out.text += kShieldClose;
      out.kept.emplace_back(unit);
    } else {
      out.text += unit;
    }
    i += length - 1;
  }
  return out;
}

std::u16string Unshield(const std::u16string& text, const std::vector<std::u16string>& kept) {
  if (kept.empty()) return text;
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == kShieldOpen) {
      const size_t close = text.find(kShieldClose, i);
      if (close != std::u16string::npos) {
        const size_t n = std::stoul(Utf16ToUtf8(text.substr(i + 1, close - i - 1)));
        if (n < kept.size()) out += kept[n];
        i = close;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

std::u16string DocumentPrefix(int font_size_index) {
  static constexpr std::array<std::u16string_view, kFontSizeCount> kSizes = {u"-2", u"-1", u"+0",
                                                                             u"+1", u"+2", u"+3"};
  if (font_size_index < 0 || font_size_index >= kFontSizeCount) {
    throw ERangeError("font size index " + std::to_string(font_size_index) + " out of range");
  }
  return u"<html><body><font size=\"" + std::u16string(kSizes[font_size_index]) + u"\"><b>";
}

QString LinkFailureText(const QUrl& url) {
  return QStringLiteral(
             "リンク先を開けません（ウェブブラウザーが見つかりません）。\n"
             "アドレス: ") +
         url.toString();
}

THtmlView::DesktopOpener THtmlView::SetDesktopOpener(DesktopOpener opener) {
  DesktopOpener previous = std::move(DesktopLinkOpener());
  DesktopLinkOpener() = std::move(opener);
  return previous;
}

std::u16string LinkifyUrls(std::u16string_view text) {
  if (text.empty()) return {};
  const Shielded shielded = Shield(text);
  return Unshield(LinkifyCp932(shielded.text), shielded.kept);
}

std::u16string LinkifyCp932(std::u16string_view text) {
  if (text.empty()) return {};
  std::u16string w(text);
  std::array<std::optional<std::string>, kMaxLinks> found;
  TRegex regex;
  regex.SetExpression(kUrlPattern);
  for (int i = 0; i < kMaxLinks; ++i) {
    std::string bytes = Utf16ToSjis(w);
    if (!regex.Exec(bytes)) break;
    std::string address = regex.GroupText(1);
    if (address.empty()) break;  // cannot happen with this pattern; guards the replacement
    ReplaceAll(bytes, address, std::string(kMarker) + std::to_string(i));
    w = SjisToUtf16(bytes);
    found[i] = std::move(address);
  }

  // One pass over the markers: "_MATCH_URL_1" must not take the front of
  // "_MATCH_URL_10", and a link already written is never searched again.
  const std::string bytes = Utf16ToSjis(w);
  std::string out;
  size_t start = 0;
  for (size_t at; (at = bytes.find(kMarker, start)) != std::string::npos;) {
    out.append(bytes, start, at - start);
    size_t digits = at + kMarker.size();
    int number = -1;
    size_t length = 0;
    if (bytes.compare(digits, 2, "10") == 0 && found[10]) {
      number = 10, length = 2;
    } else if (digits < bytes.size() && bytes[digits] >= '0' && bytes[digits] <= '9' &&
               found[bytes[digits] - '0']) {
      number = bytes[digits] - '0', length = 1;
    }
    if (number < 0) {
      out.append(kMarker);
      start = digits;
      continue;
    }
    out.append(LinkText(*found[number]));
    start = digits + length;
  }
  out.append(bytes, start, std::string::npos);
  return SjisToUtf16(out);
}

std::u16string CommentDocument(int font_size_index, std::u16string_view comment) {
  return DocumentPrefix(font_size_index) + LinkifyUrls(comment) + std::u16string(kDocumentSuffix);
}

THtmlView::THtmlView(QWidget* parent) : QTextBrowser(parent) {
  setOpenLinks(false);
  setOpenExternalLinks(false);
  connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl& url) { FollowLink(url); });
}

void THtmlView::Navigate(const QString& url) {
  // Only the blank page is ever loaded; it completes on the next turn of the
  // event loop, as a real page load would.
  Q_UNUSED(url);
  clear();
  source_.clear();
  ready_state_ = kLoading;
  const unsigned navigation = ++navigation_;
  QMetaObject::invokeMethod(
      this,
      [this, navigation] {
        if (navigation == navigation_) ready_state_ = kComplete;
      },
      Qt::QueuedConnection);
}

void THtmlView::Write(const QString& html) {
  source_ = html;
  setHtml(html);
  verticalScrollBar()->setValue(0);
}

void THtmlView::Refresh() { viewport()->update(); }

THtmlView::Opener THtmlView::SetLinkOpener(Opener opener) {
  Opener previous = std::move(LinkOpener());
  LinkOpener() = std::move(opener);
  return previous;
}

bool THtmlView::FollowLink(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return false;
  if (LinkOpener()) LinkOpener()(url);
  return true;
}

void ShowDocument(THtmlView* view, std::u16string_view html) {
  view->Navigate(QStringLiteral("about:blank"));
  const unsigned navigation = view->Navigation();
  while (view->ReadyState() < THtmlView::kInteractive) ProcessPendingEvents();
  if (view->Navigation() != navigation) return;
  view->Write(QString::fromStdU16String(std::u16string(html)));
  view->Refresh();
}

}  // namespace zelvaro
