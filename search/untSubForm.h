// TForm2: the search window, the program's main window. It lists the games
// a search finds (search/Discovery.h does the finding), sorts the list by
// any column, and hands a double-clicked game to the viewer window it owns
// through the record file.
//
// Message boxes go through ShowMessage, so tests answer them with its hook.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "search/Discovery.h"
#include "toolkit/qt/ListView.h"
#include "viewer/Settings.h"
#include "viewer/untMain.h"

namespace zelvaro {

class TForm2 : public QWidget {
  Q_OBJECT
 public:
  // OnCreate. `fetcher` does every download of the window (pages, records,
  // the opened game); the window owns it. The viewer is created hidden.
  // An empty `hosts.Server` means that no broadcast server is known yet: the
  // search asks for one first (AskForServer).
  TForm2(TBroadcastHosts hosts, std::unique_ptr<ILineFetcher> fetcher, QWidget* parent = nullptr);
  // OnDestroy: the fetcher first, the viewer last.
  ~TForm2() override;

  TListView* ListView1;
  QPushButton* Button1;   // "中継棋譜を探す"
  QPushButton* Button2;   // "終了"
  QLabel* ProgressLabel;  // which page is searched, how many games were found

  TForm1* FViewer;
  // 0 no sort; +k ascending on column k-1; -k descending on column k-1.
  int32_t FSortColumn;

  // The search. The button stays disabled until it has ended; a page that
  // cannot be fetched shows a box captioned "error" and the search goes on.
  void Button1Click();
  // Closes the window, which ends the program.
  void Button2Click();
  // Opens the selected game: download, record file, viewer. A failed
  // download or a failed write shows a box and changes nothing else. The
  // viewer can then refresh the game through RefreshDownload.
  void ListViewDoubleClick();
  // Flips the sort direction on every click and sorts by column `column`.
  void ListViewColumnClick(int column);
  // The comparison of two rows under FSortColumn.
  int ListViewCompare(int row_a, int row_b) const;

  bool Searching() const { return searching_; }
  // A search or a hand-over is using the page fetch.
  bool FetchBusy() const { return searching_ || handing_over_; }

  // The viewer's refresh of the game at `url`: the record file replaced
  // through the page fetch, or kBusy while a search or a hand-over uses it
  // (the viewer is told when it is free again), or kFailed with the
  // message and the file as it was.
  TRefreshResult RefreshDownload(const std::string& url);
  const TBroadcastHosts& Hosts() const { return hosts_; }

  // Keeps the broadcast server's address in `file`, which must outlive the
  // window. Without a server given at creation, the one kept there is used
  // if NormaliseBaseUrl accepts it; a server given at creation is used and
  // not written. An address entered in AskForServer is written at once (a
  // failed write is told in a box; the address is used all the same).
  void KeepSettings(TSettingsFile* file);
  // Neither given at creation nor kept: a search has no server to ask.
  bool ServerUnknown() const { return hosts_.Server.empty(); }
  // Says, in one dialog, that no broadcast server is set and asks for its
  // address, again after an address NormaliseBaseUrl refuses (with its
  // message), until a usable one is entered or the user cancels. The
  // address becomes the search's server and is kept. Returns whether the
  // search has a server now. Button1Click runs it while none is known.
  bool AskForServer();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class Listener;

  TBroadcastHosts hosts_;
  std::unique_ptr<ILineFetcher> FFetcher;
  bool searching_ = false;
  bool handing_over_ = false;
  bool closing_ = false;
  TSettingsFile* settings_ = nullptr;
};

}  // namespace zelvaro
