#include "viewer/AddressOpen.h"

#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

#include "game/RecordFormat.h"

namespace zelvaro {
namespace {

bool IsWebAddress(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return url.isValid() && !url.host().isEmpty() &&
         (scheme == QStringLiteral("http") || scheme == QStringLiteral("https"));
}

}  // namespace

std::optional<QString> AddressInText(const QString& text) {
  const QString trimmed = text.trimmed();
  static const QRegularExpression blank(QStringLiteral("\\s"));
  if (trimmed.isEmpty() || trimmed.contains(blank)) return std::nullopt;
  const QUrl url(trimmed, QUrl::StrictMode);
  if (!IsWebAddress(url)) return std::nullopt;
  return trimmed;
}

std::optional<QString> DroppedAddress(const QMimeData* data) {
  if (data == nullptr) return std::nullopt;
  if (data->hasUrls()) {
    for (const QUrl& url : data->urls()) {
      if (IsWebAddress(url)) return url.toString(QUrl::FullyEncoded);
    }
  }
  if (data->hasText()) return AddressInText(data->text());
  return std::nullopt;
}

TRecordEncoding AddressEncoding(std::string_view bytes, std::string_view content_type) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) return TRecordEncoding::kDetect;
  const QString type =
      QString::fromLatin1(content_type.data(), static_cast<int>(content_type.size()));
  static const QRegularExpression charset(QStringLiteral(R"(charset\s*=\s*"?([^";\s]+))"),
                                          QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = charset.match(type);
  if (match.hasMatch()) {
    const QString name =
        match.captured(1).toLower().remove(QLatin1Char('-')).remove(QLatin1Char('_'));
    static const QStringList sjis = {QStringLiteral("shiftjis"),   QStringLiteral("sjis"),
                                     QStringLiteral("xsjis"),      QStringLiteral("cp932"),
                                     QStringLiteral("windows31j"), QStringLiteral("ms932"),
                                     QStringLiteral("mskanji"),    QStringLiteral("csshiftjis")};
    if (sjis.contains(name)) return TRecordEncoding::kCp932;
  }
  // UTF-8, or nothing said: the bytes and the file name decide.
  return TRecordEncoding::kDetect;
}

std::string AddressFileName(std::string_view url) {
  const QUrl parsed(QString::fromUtf8(url.data(), static_cast<int>(url.size())));
  return parsed.fileName(QUrl::FullyDecoded).toStdString();
}

QStringList RememberAddress(QStringList recent, const QString& url) {
  recent.removeAll(url);
  recent.prepend(url);
  while (recent.size() > kRecentAddressCount) recent.removeLast();
  return recent;
}

}  // namespace zelvaro
