#include "viewer/Settings.h"

#include <QSettings>
#include <algorithm>

#include "toolkit/Exception.h"

namespace zelvaro {
namespace {

constexpr char kFontSizeKey[] = "options/font_size";
constexpr char kRefreshKey[] = "options/refresh";
constexpr char kLastMoveKey[] = "options/last_move";
constexpr char kFlipKey[] = "options/flip";
constexpr char kNotifyKey[] = "options/notify";
constexpr char kNotifySoundKey[] = "options/notify_sound";
constexpr char kLeftKey[] = "viewer/left";
constexpr char kTopKey[] = "viewer/top";
constexpr char kWidthKey[] = "viewer/width";
constexpr char kHeightKey[] = "viewer/height";
constexpr char kServerKey[] = "search/server";
constexpr char kAddressesKey[] = "addresses/recent";
constexpr int kMaxAddresses = 10;
constexpr char kSponsorKey[] = "search/sponsor";
constexpr char kGridPlayingOnlyKey[] = "grid/playing_only";
constexpr char kGridHideResultsKey[] = "grid/hide_results";
constexpr char kGridEvalKey[] = "grid/eval";
constexpr char kEnginePathKey[] = "engine/path";
constexpr char kEngineHashKey[] = "engine/hash";
constexpr char kEngineThreadsKey[] = "engine/threads";
constexpr char kEngineMultiPvKey[] = "engine/multipv";
constexpr char kEngineTimeKey[] = "engine/time_ms";
constexpr char kWinRateScaleKey[] = "analysis/scale";
constexpr char kGraphKey[] = "analysis/graph";
constexpr int kMaxEngineHashMb = 1 << 20;
constexpr int kMaxEngineThreads = 1024;
constexpr int kMaxEngineTimeMs = 600'000;

// The whole-number text of `key` when it lies in [low, high].
std::optional<int> ReadInt(const QSettings& file, const char* key, int low, int high) {
  bool ok = false;
  const int value = file.value(QString::fromLatin1(key)).toString().trimmed().toInt(&ok);
  if (!ok || value < low || value > high) return std::nullopt;
  return value;
}

// Only the words QSettings writes for a bool; anything else is no value.
std::optional<bool> ReadBool(const QSettings& file, const char* key) {
  const QString text = file.value(QString::fromLatin1(key)).toString().trimmed();
  if (text == QStringLiteral("true")) return true;
  if (text == QStringLiteral("false")) return false;
  return std::nullopt;
}

TSettings ReadSettings(const QString& path) {
  TSettings settings;
  const QSettings file(path, QSettings::IniFormat);
  if (file.status() != QSettings::NoError) return settings;

  settings.font_size =
      ReadInt(file, kFontSizeKey, 0, kFontSizeCount - 1).value_or(kDefaultFontSize);
  settings.refresh_choice =
      ReadInt(file, kRefreshKey, 0, kRefreshChoiceCount - 1).value_or(kDefaultRefreshChoice);
  settings.board.last_move = ReadBool(file, kLastMoveKey).value_or(false);
  settings.board.flip = ReadBool(file, kFlipKey).value_or(false);
  settings.notify.popup = ReadBool(file, kNotifyKey).value_or(TNotifyOptions{}.popup);
  settings.notify.sound = ReadBool(file, kNotifySoundKey).value_or(TNotifyOptions{}.sound);

  // A window is kept whole or not at all. Whether its place lies on a screen
  // is for the window to decide when it is placed.
  const auto left = ReadInt(file, kLeftKey, -kMaxWindowExtent, kMaxWindowExtent);
  const auto top = ReadInt(file, kTopKey, -kMaxWindowExtent, kMaxWindowExtent);
  const auto width = ReadInt(file, kWidthKey, kViewerSize.width(), kMaxWindowExtent);
  const auto height = ReadInt(file, kHeightKey, kViewerSize.height(), kMaxWindowExtent);
  if (left && top && width && height) {
    settings.viewer = TSettings::Window{{*left, *top}, {*width, *height}};
  }
  // Not text (a list, say) reads as empty: none kept.
  settings.server = file.value(QString::fromLatin1(kServerKey)).toString().trimmed().toStdString();
  for (const QString& address : file.value(QString::fromLatin1(kAddressesKey)).toStringList()) {
    if (!address.trimmed().isEmpty() && settings.addresses.size() < kMaxAddresses)
      settings.addresses.append(address.trimmed());
  }
  settings.sponsor =
      file.value(QString::fromLatin1(kSponsorKey)).toString().trimmed().toStdString();
  settings.grid.playing_only = ReadBool(file, kGridPlayingOnlyKey).value_or(false);
  settings.grid.hide_results = ReadBool(file, kGridHideResultsKey).value_or(false);
  settings.grid.eval = ReadBool(file, kGridEvalKey).value_or(false);
  TEngineSettings& engine = settings.engine;
  engine.path = file.value(QString::fromLatin1(kEnginePathKey)).toString().trimmed().toStdString();
  engine.hash_mb = ReadInt(file, kEngineHashKey, 1, kMaxEngineHashMb).value_or(engine.hash_mb);
  engine.threads = ReadInt(file, kEngineThreadsKey, 1, kMaxEngineThreads).value_or(engine.threads);
  engine.multipv = ReadInt(file, kEngineMultiPvKey, 1, kMaxMultiPv).value_or(engine.multipv);
  engine.time_ms = ReadInt(file, kEngineTimeKey, 100, kMaxEngineTimeMs).value_or(engine.time_ms);
  settings.win_rate_scale = ReadInt(file, kWinRateScaleKey, kMinWinRateScale, kMaxWinRateScale)
                                .value_or(settings.win_rate_scale);
  settings.graph_win_rate = file.value(QString::fromLatin1(kGraphKey)).toString() == "winrate";
  return settings;
}

}  // namespace

TSettingsFile::TSettingsFile(QString path) : path_(std::move(path)), values_(ReadSettings(path_)) {}

QString TSettingsFile::DefaultPath() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Zelvaro"),
                   QStringLiteral("Zelvaro"))
      .fileName();
}

void TSettingsFile::Save() const {
  QSettings file(path_, QSettings::IniFormat);
  // Whatever a damaged file held goes; what is written is read back whole.
  file.clear();
  file.setValue(QString::fromLatin1(kFontSizeKey), values_.font_size);
  file.setValue(QString::fromLatin1(kRefreshKey), values_.refresh_choice);
  file.setValue(QString::fromLatin1(kLastMoveKey), values_.board.last_move);
  file.setValue(QString::fromLatin1(kFlipKey), values_.board.flip);
  file.setValue(QString::fromLatin1(kNotifyKey), values_.notify.popup);
  file.setValue(QString::fromLatin1(kNotifySoundKey), values_.notify.sound);
  if (values_.viewer) {
    file.setValue(QString::fromLatin1(kLeftKey), values_.viewer->place.x());
    file.setValue(QString::fromLatin1(kTopKey), values_.viewer->place.y());
    file.setValue(QString::fromLatin1(kWidthKey), values_.viewer->size.width());
    file.setValue(QString::fromLatin1(kHeightKey), values_.viewer->size.height());
  }
  if (!values_.addresses.isEmpty()) {
    file.setValue(QString::fromLatin1(kAddressesKey), values_.addresses);
  }
  if (!values_.sponsor.empty()) {
    file.setValue(QString::fromLatin1(kSponsorKey), QString::fromStdString(values_.sponsor));
  }
  if (!values_.server.empty()) {
    file.setValue(QString::fromLatin1(kServerKey), QString::fromStdString(values_.server));
  }
  file.setValue(QString::fromLatin1(kGridPlayingOnlyKey), values_.grid.playing_only);
  file.setValue(QString::fromLatin1(kGridHideResultsKey), values_.grid.hide_results);
  file.setValue(QString::fromLatin1(kGridEvalKey), values_.grid.eval);
  // The engine's values only when they differ from the defaults, so that a
  // file written on one machine does not fix another's thread count.
  const TEngineSettings defaults;
  const TEngineSettings& engine = values_.engine;
  auto put = [&file](const char* key, int value, int default_value) {
    if (value != default_value) file.setValue(QString::fromLatin1(key), value);
  };
  if (!engine.path.empty()) {
    file.setValue(QString::fromLatin1(kEnginePathKey), QString::fromStdString(engine.path));
  }
  put(kEngineHashKey, engine.hash_mb, defaults.hash_mb);
  put(kEngineThreadsKey, engine.threads, defaults.threads);
  put(kEngineMultiPvKey, engine.multipv, defaults.multipv);
  put(kEngineTimeKey, engine.time_ms, defaults.time_ms);
  put(kWinRateScaleKey, values_.win_rate_scale, kDefaultWinRateScale);
  if (values_.graph_win_rate)
    file.setValue(QString::fromLatin1(kGraphKey), QStringLiteral("winrate"));
  file.sync();
  // A format error found when the old file was read stays in status().
  if (file.status() == QSettings::AccessError) {
    throw EFileError("設定ファイル " + path_.toStdString() + " を保存できません");
  }
}

}  // namespace zelvaro

namespace zelvaro {

QRect FitToScreen(const QRect& frame, const QRect& available, QSize decoration) {
  const int width = std::max(std::min(frame.width(), available.width() - decoration.width()),
                             kViewerSize.width());
  const int height = std::max(std::min(frame.height(), available.height() - decoration.height()),
                              kViewerSize.height());
  const auto place = [](int at, int low, int room, int extent) {
    return std::max(std::min(at, low + room - extent), low);
  };
  return {place(frame.x(), available.x(), available.width(), width + decoration.width()),
          place(frame.y(), available.y(), available.height(), height + decoration.height()), width,
          height};
}

}  // namespace zelvaro
