#include "viewer/RecordActions.h"

#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <algorithm>

#include "broadcast/GameSet.h"
#include "game/RecordFormat.h"
#include "game/RecordUsi.h"
#include "game/RecordWriter.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"
#include "toolkit/qt/Platform.h"
#include "viewer/AddressOpen.h"

namespace zelvaro {

namespace {

// A refresh of a record opened from a file: the file read again as it is.
class TRecordFileFetch : public TRecordFetch {
 public:
  explicit TRecordFileFetch(const QString& path) : path_(QFile::encodeName(path).toStdString()) {}
  std::string Fetch() override { return ReadRecordFile(path_); }

 private:
  const std::string path_;
};

const QString kOpenFilters = QStringLiteral(
    "棋譜 (*.kif *.kifu *.ki2 *.ki2u *.csa *.sfen *.usi);;KIF 棋譜 (*.kif *.kifu);;"
    "KI2 棋譜 (*.ki2);;CSA 棋譜 (*.csa);;SFEN・USI (*.sfen *.usi);;すべてのファイル (*)");
const QString kSaveFilters = QStringLiteral("KIF 棋譜 (*.kif *.kifu);;すべてのファイル (*)");
// The file types of Ctrl+Shift+S, each with the format and extension it writes.
struct TSaveAsType {
  const char* filter;
  TRecordFormat format;
  const char* extension;
};
const TSaveAsType kSaveAsTypes[] = {
    {"KIF 棋譜 Shift_JIS (*.kif)", TRecordFormat::kKif, ".kif"},
    {"KIF 棋譜 UTF-8 (*.kifu)", TRecordFormat::kKifu, ".kifu"},
    {"KI2 棋譜 (*.ki2)", TRecordFormat::kKi2, ".ki2"},
    {"CSA 棋譜 V2.2 (*.csa)", TRecordFormat::kCsa, ".csa"},
};

// The first local file among the dropped ones that is a record.
QString DroppedRecord(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile() && IsRecordFileName(url.toLocalFile())) return url.toLocalFile();
  }
  return {};
}

// A file name for the record on show: the local file's, else one from the
// tournament, without the characters file systems refuse.
QString SuggestedName(const QString& record_path, const std::u16string& tournament) {
  if (!record_path.isEmpty()) return record_path;
  QString name = ToQString(tournament).simplified();
  name.replace(QRegularExpression(QStringLiteral(R"([/\\:*?"<>|])")), QStringLiteral("_"));
  return (name.isEmpty() ? QStringLiteral("棋譜") : name) + QStringLiteral(".kif");
}

// What a reading that failed or read no record says.
QString FailureText(const TRecordFollower::TRead& read) {
  return read.error.empty() ? ToQString(read.refusal) : QString::fromStdString(read.error);
}

// Writes the bytes `make` gives to `path`; what fails, the making or the
// writing, is told in a box.
template <class Make>
bool WriteOrTell(const QString& path, const Make& make) {
  try {
    WriteRecordFile(QFile::encodeName(path).toStdString(), make());
  } catch (const Exception& e) {
    ShowMessage(QString::fromStdString(e.Message()), QStringLiteral("Zelvaro"));
    return false;
  }
  return true;
}

}  // namespace

bool IsRecordFileName(const QString& path) {
  static const QStringList kSuffixes = {"kif", "kifu", "ki2", "ki2u", "csa", "sfen", "usi"};
  return kSuffixes.contains(QFileInfo(path).suffix().toLower());
}

TRecordActions::TRecordActions(QWidget* window, TRecordFollower* follower,
                               std::function<int()> shown_row)
    : QObject(window), window_(window), follower_(follower), shown_row_(std::move(shown_row)) {
  const auto make = [this](const QString& text, QKeySequence key, void (TRecordActions::*run)()) {
    auto* action = new QAction(text, this);
    if (!key.isEmpty()) action->setShortcut(key);
    connect(action, &QAction::triggered, this, run);
    return action;
  };
  OpenAction = make(QStringLiteral("棋譜ファイルを開く…"), QKeySequence::Open,
                    &TRecordActions::OpenRecordDialog);
  OpenAddressAction = make(QStringLiteral("URLを開く…"), QKeySequence(Qt::CTRL | Qt::Key_L),
                           &TRecordActions::OpenAddressDialog);
  SaveAction =
      make(QStringLiteral("棋譜を保存…"), QKeySequence::Save, &TRecordActions::SaveRecordDialog);
  SaveAsAction =
      make(QStringLiteral("形式を選んで保存…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
           &TRecordActions::SaveRecordAsDialog);
  CopyAction =
      make(QStringLiteral("棋譜をコピー"), QKeySequence::Copy, &TRecordActions::CopyRecord);
  PasteAction =
      make(QStringLiteral("棋譜を貼り付け"), QKeySequence::Paste, &TRecordActions::PasteRecord);
  CopySfenAction = new QAction(QStringLiteral("局面を SFEN でコピー"), this);
  connect(CopySfenAction, &QAction::triggered, this, &TRecordActions::CopyPositionSfen);
  CopyBodAction = new QAction(QStringLiteral("局面を BOD でコピー"), this);
  connect(CopyBodAction, &QAction::triggered, this, &TRecordActions::CopyPositionBod);
  GridAction = new QAction(QStringLiteral("全局"), this);
  GridAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  connect(GridAction, &QAction::triggered, this, [this] {
    if (grid_opener_) grid_opener_({});
  });
  // Saving needs a record as read.
  for (bool read : {false, true}) {
    connect(follower_, read ? &TRecordFollower::RecordOpened : &TRecordFollower::RecordCleared,
            this, [this, read] {
              SaveAction->setEnabled(read);
              SaveAsAction->setEnabled(read);
            });
  }
  SaveAction->setEnabled(false);
  SaveAsAction->setEnabled(false);
  window_->installEventFilter(this);
}

bool TRecordActions::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!DroppedRecord(drag->mimeData()).isEmpty() || DroppedAddress(drag->mimeData())) {
        drag->acceptProposedAction();
      } else {
        drag->ignore();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QString path = DroppedRecord(drop->mimeData());
      if (path.isEmpty()) {
        // A link dragged from a web browser.
        if (const auto address = DroppedAddress(drop->mimeData())) {
          drop->acceptProposedAction();
          QTimer::singleShot(0, this, [this, url = *address] { OpenAddress(url); });
        }
        return true;
      }
      drop->acceptProposedAction();
      // After the drop has ended: the source waits for it, and the reading
      // may open boxes.
      QTimer::singleShot(
          0, this, [this, path] { follower_->WhenIdle([this, path] { OpenRecordFile(path); }); });
      return true;
    }
    case QEvent::Hide:
      // An address being opened goes with the window.
      address_work_.Abandon();
      if (std::exchange(opening_, false)) follower_->SetOpeningNote({});
      return false;
    default:
      return false;
  }
}

bool TRecordActions::OpenRecordFile(const QString& path, std::function<void(bool shown)> done) {
  const std::string file = QFile::encodeName(path).toStdString();
  return follower_->ReadAside(
      [file] { return ReadRecordFile(file); }, TRecordEncoding::kDetect, path.toStdString(),
      [this, path, done = std::move(done)](TRecordFollower::TRead& read) {
        const bool shown = read.error.empty() && read.refusal.empty();
        if (!shown) {
          ShowMessage(FailureText(read), QStringLiteral("Zelvaro"));
        } else {
          // Followed like a broadcast: another program may be writing a
          // live game into it.
          follower_->Follow([path] { return std::make_shared<TRecordFileFetch>(path); }, path);
          follower_->Clear();
          follower_->Take(read, TRecordEncoding::kDetect, path.toStdString(), path);
        }
        if (done) done(shown);
      });
}

void TRecordActions::OpenRecordDialog() {
  if (follower_->Reading()) return;
  const QString& record_path = follower_->RecordPath();
  const QString start = record_path.isEmpty() ? QString() : QFileInfo(record_path).path();
  const QString path = AskFileName(TFileDialog::kOpen, window_,
                                   QStringLiteral("棋譜ファイルを開く"), start, kOpenFilters);
  if (!path.isEmpty()) OpenRecordFile(path);
}

bool TRecordActions::SaveRecordFile(const QString& path) {
  return WriteOrTell(path, [this]() -> const std::string& { return follower_->Bytes(); });
}

void TRecordActions::SaveRecordDialog() {
  if (!SaveAction->isEnabled()) return;
  const QString path = AskFileName(
      TFileDialog::kSave, window_, QStringLiteral("棋譜を保存"),
      SuggestedName(follower_->RecordPath(), follower_->Record().tournament_name), kSaveFilters);
  if (!path.isEmpty()) SaveRecordFile(path);
}

bool TRecordActions::SaveRecordAs(const QString& path, TRecordFormat format) {
  return WriteOrTell(path, [&] { return WriteRecord(follower_->Record(), format); });
}

void TRecordActions::SaveRecordAsDialog() {
  if (!SaveAsAction->isEnabled()) return;
  QStringList filters;
  for (const TSaveAsType& type : kSaveAsTypes) filters << QString::fromUtf8(type.filter);
  QString selected = filters.front();
  const QString suggested =
      SuggestedName(follower_->RecordPath(), follower_->Record().tournament_name);
  QString path = AskFileName(TFileDialog::kSave, window_, QStringLiteral("形式を選んで保存"),
                             QFileInfo(suggested).completeBaseName() + QStringLiteral(".kif"),
                             filters.join(QStringLiteral(";;")), &selected);
  if (path.isEmpty()) return;
  TRecordFormat format;
  if (!FormatOfFileName(QFile::encodeName(path).toStdString(), format)) {
    const TSaveAsType& type = kSaveAsTypes[std::max<qsizetype>(filters.indexOf(selected), 0)];
    format = type.format;
    path += QString::fromUtf8(type.extension);
  }
  SaveRecordAs(path, format);
}

QString TRecordActions::CopyPositionSfen() {
  const QString text = QString::fromStdString(SfenOfRow(follower_->Record(), shown_row_()));
  QGuiApplication::clipboard()->setText(text);
  return text;
}

QString TRecordActions::CopyPositionBod() {
  const TKifRecord& record = follower_->Record();
  const int row = shown_row_();
  const std::u16string lines = JoinLines(
      BodLines(record.row_positions[static_cast<size_t>(row)], SideToMove(record, row)), u"\n");
  const QString text = ToQString(lines);
  QGuiApplication::clipboard()->setText(text);
  return text;
}

void TRecordActions::CopyRecord() {
  if (follower_->Bytes().empty()) return;
  QString text;
  for (const std::u16string& line :
       DecodeRecordLines(follower_->Bytes(), follower_->Encoding(), follower_->Name())) {
    text += ToQString(line) + QLatin1Char('\n');
  }
  QGuiApplication::clipboard()->setText(text);
}

void TRecordActions::PasteRecord() {
  const QString text = QGuiApplication::clipboard()->text();
  if (text.trimmed().isEmpty()) return;
  if (const auto url = AddressInText(text)) {
    OpenAddress(*url);
    return;
  }
  follower_->WhenIdle([this, text] {
    // Text from the clipboard: read as UTF-8 (the mark says so to every
    // later reading, Ctrl+S's file too), not followed.
    const std::string bytes = "\xEF\xBB\xBF" + text.toStdString();
    follower_->ReadAside([bytes] { return bytes; }, TRecordEncoding::kDetect, "",
                         [this](TRecordFollower::TRead& read) {
                           if (!read.error.empty() || !read.refusal.empty()) {
                             ShowMessage(FailureText(read), QStringLiteral("Zelvaro"));
                             return;
                           }
                           follower_->Follow({});
                           follower_->Clear();
                           follower_->Take(read, TRecordEncoding::kDetect, "", {});
                         });
  });
}

void TRecordActions::OpenAddress(const QString& url) {
  if (!address_download_) {
    ShowMessage(QStringLiteral("URLから棋譜を開くことはできません。"), QStringLiteral("error"));
    return;
  }
  std::shared_ptr<TRecordFetch> fetch = address_download_(url.toStdString());
  struct Fetched {
    std::string bytes;
    std::string content_type;
    std::string error;  // UTF-8; empty when the record came whole
  };
  opening_ = true;
  follower_->SetOpeningNote(QStringLiteral("開いています: ") + url);
  address_work_.Start([fetch] { fetch->Abort(); },
                      [fetch] {
                        auto fetched = std::make_shared<Fetched>();
                        try {
                          fetched->bytes = fetch->Fetch();
                          fetched->content_type = fetch->ContentType();
                        } catch (const std::exception& e) {
                          fetched->error = MessageOf(e);
                          if (fetched->error.empty()) fetched->error = "Unknown error.";
                        }
                        return fetched;
                      },
                      [this, url](std::shared_ptr<Fetched> fetched) {
                        opening_ = false;
                        follower_->SetOpeningNote({});
                        if (!fetched->error.empty()) {
                          ShowMessage(
                              url + QStringLiteral("\n") + QString::fromStdString(fetched->error),
                              QStringLiteral("error"));
                          return;
                        }
                        // Not inside the showing of a row: that processes events.
                        follower_->WhenIdle([this, url, fetched] {
                          ShowAddressRecord(url, std::move(fetched->bytes), fetched->content_type);
                        });
                      });
}

void TRecordActions::ShowAddressRecord(const QString& url, std::string bytes,
                                       const std::string& content_type) {
  const std::string address = url.toStdString();
  // A page that links records is every game of its round: the grid.
  if (grid_opener_ && !FormatByContent(bytes) &&
      !RecordLinksOfPage(SplitLines(bytes), address).empty()) {
    grid_opener_({address});
    return;
  }
  const TRecordEncoding encoding = AddressEncoding(bytes, content_type);
  const std::string name = AddressFileName(address);
  auto fetched = std::make_shared<std::string>(std::move(bytes));
  follower_->ReadAside(
      [fetched] { return std::move(*fetched); }, encoding, name,
      [this, url, address, encoding, name](TRecordFollower::TRead& read) {
        if (!read.error.empty() || !read.refusal.empty()) {
          // What is no record leaves the game on show as it was.
          ShowMessage(url + QStringLiteral("\n") + FailureText(read), QStringLiteral("error"));
          return;
        }
        follower_->Follow([make = address_download_, address] { return make(address); });
        follower_->Clear();
        recent_addresses_ = RememberAddress(recent_addresses_, url);
        emit RecentAddressesChanged();
        if (!window_->isVisible()) {
          window_->show();
          window_->raise();
          window_->activateWindow();
        }
        follower_->Take(read, encoding, name, {});
      });
}

void TRecordActions::OpenAddressDialog() {
  const auto pasted = AddressInText(QGuiApplication::clipboard()->text());
  const QString start = pasted                        ? *pasted
                        : recent_addresses_.isEmpty() ? QStringLiteral("https://")
                                                      : recent_addresses_.front();
  const std::optional<QString> answer =
      AskText(window_, QStringLiteral("URLを開く"),
              QStringLiteral("棋譜のURL (http:// または https://):"), start, recent_addresses_);
  if (!answer || answer->trimmed().isEmpty()) return;
  const auto url = AddressInText(*answer);
  if (!url) {
    ShowMessage(QStringLiteral("http:// か https:// で始まるURLを入力してください: ") + *answer,
                QStringLiteral("error"));
    return;
  }
  OpenAddress(*url);
}

}  // namespace zelvaro
