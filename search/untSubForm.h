// TForm2: the search window, the program's main window. It lists the games
// a search finds (search/ParallelSearch.h does the finding), sorts the list
// by any column, and hands a double-clicked game to the viewer window it
// owns through the record file.
//
// Every download runs off the window thread with a fetcher of its own, so
// the window keeps answering while the search, the hand-over or the
// viewer's refresh waits for the network.
//
// Message boxes go through ShowMessage, so tests answer them with its hook.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "broadcast/Discovery.h"
#include "search/ParallelSearch.h"
#include "toolkit/qt/Background.h"
#include "toolkit/qt/ListView.h"
#include "viewer/GridWindow.h"
#include "viewer/Settings.h"
#include "viewer/untMain.h"

namespace zelvaro {

class TForm2 : public QWidget {
  Q_OBJECT
 public:
  // OnCreate. `make_fetcher` makes the fetcher of every download of the
  // window (pages, records, the opened game), one per download. The viewer
  // is created hidden. An empty `hosts.Server` means that no broadcast
  // server is known yet: the search asks for one first (AskForServer).
  TForm2(TBroadcastHosts hosts, TFetcherFactory make_fetcher, QWidget* parent = nullptr);
  // OnDestroy: the downloads are abandoned, the viewer goes last.
  ~TForm2() override;

  TListView* ListView1;
  QPushButton* Button1;   // "中継棋譜を探す"
  QPushButton* Button2;   // "終了"
  QPushButton* Button3;   // "全局を見る": enabled while games are listed
  QLabel* ProgressLabel;  // which page is searched, how many games were found

  TForm1* FViewer;
  // 0 no sort; +k ascending on column k-1; -k descending on column k-1.
  int32_t FSortColumn;

  // Starts the search and returns; rows are added as they are found. The
  // button stays disabled until it has ended; a page that cannot be fetched
  // shows a box captioned "error" in its place and the search goes on.
  void Button1Click();
  // Closes the window, which ends the program.
  void Button2Click();
  // Starts downloading the selected game and returns; once it is in: the
  // record file, the viewer. A second double click meanwhile replaces the
  // first (only the game asked for last is opened). A failed download or a
  // failed write shows a box and changes nothing else. The viewer can then
  // refresh the game through RecordDownload.
  void ListViewDoubleClick();
  // Opens the game at `url` in the viewer as a double click opens a row;
  // `newest`: at its newest move.
  void OpenGame(const std::string& url, bool newest = false);
  // The grid window 「全局」 on the games listed, or on the selected ones
  // when two or more are selected.
  void Button3Click();
  // The grid window on `addresses` (records, or pages linking records);
  // empty: on the games listed. A click on a board opens its game (OpenGame).
  void OpenGrid(const std::vector<std::string>& addresses);
  TGridWindow* Grid() const { return grid_; }

  // Flips the sort direction on every click and sorts by column `column`.
  void ListViewColumnClick(int column);
  // The comparison of two rows under FSortColumn.
  int ListViewCompare(int row_a, int row_b) const;

  bool Searching() const { return search_ != nullptr; }
  // A double-clicked game is being downloaded.
  bool HandingOver() const { return hand_over_.Busy(); }

  // One download of the game at `url` into the record file.
  std::shared_ptr<TRecordFetch> RecordDownload(const std::string& url) const;
  // One refresh of the game at `url` being followed: as RecordDownload, on
  // a kept connection and with the validators the address gave.
  std::shared_ptr<TRecordFetch> FollowDownload(const std::string& url) const;
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
  // address becomes the search's server and is kept; so does the sponsor
  // host's, the server's too unless --sponsor or the settings gave one. Returns whether the
  // search has a server now. Button1Click runs it while none is known.
  bool AskForServer();
  // The first start: asks for the server (AskForServer) and searches at once
  // with a usable address.
  void FirstStart();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  class Listener;

  void EndSearch();
  // Shares the width the window has grown by between the tournament column
  // (until its longest name shows whole) and the address column.
  void FitColumns();
  // Feeds the viewer the game just downloaded.
  void HandOver(const std::string& url, const std::shared_ptr<TRecordFetch>& fetch,
                const std::string& bytes, bool newest);

  TBroadcastHosts hosts_;
  TFetcherFactory make_fetcher_;
  // What the addresses followed from here remember between downloads.
  std::shared_ptr<TFollowStates> follow_states_ = std::make_shared<TFollowStates>();
  std::unique_ptr<Listener> listener_;
  std::unique_ptr<TParallelSearch> search_;
  TLatestWork hand_over_;
  unsigned hand_overs_asked_ = 0;
  bool closing_ = false;
  TSettingsFile* settings_ = nullptr;
  TGridWindow* grid_ = nullptr;
};

}  // namespace zelvaro
