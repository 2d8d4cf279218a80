// TRecordActions: what the viewer does with records as files and text:
// open (Ctrl+O, a dropped file or link, an address with Ctrl+L, the
// clipboard with Ctrl+V), save as read (Ctrl+S), save converted
// (Ctrl+Shift+S), copy the record (Ctrl+C) and the position on show (SFEN
// or a board diagram). What is opened becomes the record on show through
// the follower; message boxes and file dialogs go through ShowMessage and
// AskFileName, so tests answer them with their hooks.
#pragma once

#include <QAction>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "broadcast/RecordFetch.h"
#include "game/RecordFormat.h"
#include "toolkit/qt/Background.h"
#include "viewer/RecordFollower.h"

class QWidget;

namespace zelvaro {

// Whether a file of this name is taken when dropped on the viewer (.kif,
// .kifu, .ki2, .ki2u, .csa, .sfen, .usi).
bool IsRecordFileName(const QString& path);

class TRecordActions : public QObject {
  Q_OBJECT
 public:
  // Actions of `window`, which takes dropped files and links, and whose
  // record on show `follower` holds; shown_row() is the row whose position
  // the window shows.
  TRecordActions(QWidget* window, TRecordFollower* follower, std::function<int()> shown_row);

  QAction* OpenAction;         // "棋譜ファイルを開く…", Ctrl+O: OpenRecordDialog
  QAction* OpenAddressAction;  // "URLを開く…", Ctrl+L: OpenAddressDialog
  QAction* SaveAction;         // "棋譜を保存…", Ctrl+S; off until a record is read
  QAction* SaveAsAction;  // "形式を選んで保存…", Ctrl+Shift+S; off until a record is read
  QAction* CopyAction;    // Ctrl+C: CopyRecord
  QAction* PasteAction;   // Ctrl+V: PasteRecord
  QAction* CopySfenAction;  // "局面を SFEN でコピー": the position on show
  QAction* CopyBodAction;   // "局面を BOD でコピー": the position on show as a board diagram
  QAction* GridAction;      // "全局", Ctrl+G: the grid of the listed games (SetGridOpener)

  // Opens a record file of the user's: read aside as TRecordEncoding::kDetect,
  // shown as the record file is shown, and followed (read again as it
  // changes). When the file cannot be read or is no record a message box
  // says so and the game on show stays. done(shown) is told the outcome
  // later. False, and nothing done, while another reading is under way.
  bool OpenRecordFile(const QString& path, std::function<void(bool shown)> done = {});
  // Ctrl+O: asks for a file (KIF, KI2, CSA, SFEN/USI, all files) and opens it.
  void OpenRecordDialog();
  // Writes the record on show to `path` with its bytes exactly as read.
  // A failure is told in a message box and gives false; no file is left half written.
  bool SaveRecordFile(const QString& path);
  void SaveRecordDialog();
  // Writes the record on show to `path` in `format` (KIF in CP932, KIFU in
  // UTF-8, KI2, CSA 2.2): what is written reads back as the same game. A
  // failure is told in a message box and gives false.
  bool SaveRecordAs(const QString& path, TRecordFormat format);
  // Asks for a name and a file type; the name's extension (.kif .kifu .ki2
  // .csa) decides, else the file type chosen, whose extension is then added.
  void SaveRecordAsDialog();
  // The position on show, to the clipboard as SFEN (one line) or as a
  // board diagram; also returned.
  QString CopyPositionSfen();
  QString CopyPositionBod();
  // Ctrl+C: the record on show, as read, as text on the clipboard.
  void CopyRecord();
  // Ctrl+V: an address on the clipboard is opened; other text is read and
  // shown as a record (not followed).
  void PasteRecord();

  // How a record's web address is downloaded (the search window gives it);
  // without one no address can be opened.
  void SetAddressDownload(TAddressDownload download) { address_download_ = std::move(download); }
  // Opens the grid window 「全局」 on `addresses` (empty: the games the
  // search window lists): Ctrl+G, and an opened address that is a page
  // linking records. Without one neither opens anything.
  using TGridOpener = std::function<void(const std::vector<std::string>&)>;
  void SetGridOpener(TGridOpener open) { grid_opener_ = std::move(open); }
  // Downloads the record at `url` (http or https) in the background, then
  // reads and shows it as a file is shown and follows it like a broadcast
  // game, and offers the address again later. The caption says that it is
  // being opened meanwhile; another address asked for replaces it; hiding
  // the window abandons it. A failure is told in one message box and the
  // game on show stays as it was.
  void OpenAddress(const QString& url);
  bool OpeningAddress() const { return address_work_.Busy(); }
  // Ctrl+L: asks for an address, offering the last ones opened.
  void OpenAddressDialog();
  // The addresses opened last, newest first.
  const QStringList& RecentAddresses() const { return recent_addresses_; }
  void SetRecentAddresses(QStringList addresses) { recent_addresses_ = std::move(addresses); }

 signals:
  void RecentAddressesChanged();

 protected:
  // The window's drops, and its hiding.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Shows what an address gave and follows the address from then on.
  void ShowAddressRecord(const QString& url, std::string bytes, const std::string& content_type);

  QWidget* window_;
  TRecordFollower* follower_;
  std::function<int()> shown_row_;
  TAddressDownload address_download_;
  TGridOpener grid_opener_;
  QStringList recent_addresses_;
  bool opening_ = false;  // an address's download is told in the caption
  // Last: destroyed first, ending the download before what it reports to goes.
  TLatestWork address_work_;
};

}  // namespace zelvaro
