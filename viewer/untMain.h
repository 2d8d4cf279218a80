// TForm1: the viewer window. It replays the record in "棋譜中継.txt": the
// board picture of the chosen position, the move list with thinking times,
// and the header or the chosen move's comment in the HTML view.
//
// The window is thin: the record reader (game/KifReader.h) reads the record
// into a TKifRecord that the window then shows (rows, positions, names), the
// refresh plan (game/RecordRefresh.h) says what a refresh keeps on show, the
// board renderer draws the picture, and the comment panel builds and shows
// the documents.
// Message boxes go through ShowMessage, so tests answer them with its hook.
//
// The move list shows every row the user selects, by mouse or key; ← and →
// step through the moves wherever the focus is in the window, F turns the
// board, Ctrl+O opens a record file of the user's in any format (a dropped
// file too), Ctrl+S saves the record on show as read, Ctrl+Shift+S in the
// format chosen; the position on show is copied as SFEN or as a board
// diagram from the board's context menu. The window may grow: the
// move list and the HTML view take the room, the board keeps its size.
// File dialogs go through AskFileName, so tests answer them with its hook.
//
// A game opened from the search window can be refreshed: F5, or a timer at
// the interval chosen in the options dialog, downloads it again through the
// download the search window gives (FollowRecord). The download runs off the
// window thread and the record is read aside there; the window keeps
// answering meanwhile, and only a complete, good record is shown, keeping
// the user's place. Opening another game, reading the file or closing the
// window abandons a refresh under way (its late answer is dropped). A
// refresh neither starts nor shows its record inside a user action
// (reading, a click, "<", ">"): showing a document processes events, so
// that waits until the action has ended.
//
// A record with a clock (a time limit and times, game/TimeLimit.h) opens a
// column to the right of that layout, SidePanel: the players' clocks at the
// row on show at its top and the time chart in ChartTabs at its bottom; the
// window grows by its width. Without one the window is as it was. While a
// followed game is refreshed and the window is not the active one (or is
// minimised), each refresh that brings moves tells them through Notify
// (toolkit/qt/Platform.h), as the options dialog says.
#pragma once

#include <QAction>
#include <QPushButton>
#include <QRect>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "engine/RecordPositions.h"
#include "game/Record.h"
#include "game/RecordFormat.h"
#include "game/RecordRefresh.h"
#include "toolkit/qt/Background.h"
#include "toolkit/qt/ImageControl.h"
#include "toolkit/qt/ListView.h"
#include "viewer/AnalysisPanel.h"
#include "viewer/BoardRenderer.h"
#include "viewer/ClockPanel.h"
#include "viewer/CommentPanel.h"
#include "viewer/EngineProcess.h"
#include "viewer/EvalGraph.h"
#include "broadcast/RecordFetch.h"
#include "viewer/Settings.h"
#include "viewer/TimeChart.h"
#include "viewer/untOptionForm.h"

class QFileSystemWatcher;

namespace zelvaro {

// The file every reading reads, in the current directory unless the
// program sets another place (SetRecordFile).
inline constexpr char kRecordFileName[] = "棋譜中継.txt";

// Where the record file goes: kRecordFileName in the current folder for a
// start from a shell; in the user's cache folder (QStandardPaths'
// CacheLocation, made when missing) for a start from the desktop entry,
// whose current folder is the home folder.
std::string RecordFilePlace(bool desktop_start);

// Reports of a reading shown in boxes of their own; the rest are counted in one more.
inline constexpr size_t kMaxReportBoxes = 3;

// Where the viewer's controls lie in a client area of `client` (at least
// kViewerSize). At kViewerSize: the board 0,0 329x417, the HTML view
// 336,0 417x465, the move list 0,416 329x97 and the buttons at top 472.
// Extra width goes to the HTML view, extra height to the HTML view and the
// move list; the board keeps its place and size, and the buttons stay under
// the HTML view, "<" and ">" at its left, the other three at its right.
struct TViewerLayout {
  QRect image, browser, list;
  std::array<QRect, 5> buttons;  // Button1 .. Button5
};
TViewerLayout ViewerLayout(QSize client);

// The width of the column SidePanel adds to the right of the layout.
inline constexpr int kSidePanelWidth = 340;

// Whether a file of this name is taken when dropped on the viewer (.kif,
// .kifu, .ki2, .ki2u, .csa, .sfen, .usi).
bool IsRecordFileName(const QString& path);

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  // OnCreate: the dialog, the cell images, the positions, the starting
  // position drawn, row 0 of the move list. The window starts hidden and
  // stays a window of its own even with a parent.
  explicit TForm1(QWidget* parent = nullptr);
  // OnDestroy: everything the window created goes with it.
  ~TForm1() override;

  TImage* Image1;
  THtmlView* WebBrowser1;
  TListView* ListView1;
  QPushButton* Button1;  // "棋譜を開く"
  QPushButton* Button2;  // "<"
  QPushButton* Button3;  // ">"
  QPushButton* Button4;  // "閉じる"
  QPushButton* Button5;  // "設定"
  TForm3* OptionsDialog;
  // Window-wide keys, also in the board's context menu.
  QAction* OpenAction;  // "棋譜ファイルを開く…", Ctrl+O: OpenRecordDialog
  QAction* SaveAction;  // "棋譜を保存…", Ctrl+S: SaveRecordDialog; off until a record is read
  // "形式を選んで保存…", Ctrl+Shift+S: SaveRecordAsDialog; off until a record is read
  QAction* SaveAsAction;
  QAction* CopySfenAction;  // "局面を SFEN でコピー": the position on show
  QAction* CopyBodAction;   // "局面を BOD でコピー": the position on show as a board diagram
  QAction* LastMoveAction;  // "最終手を表示", in step with the dialog's CheckBox1
  QAction* FlipAction;      // "盤面反転", F, in step with the dialog's CheckBox2
  QAction* OpenAddressAction;  // "URLを開く…", Ctrl+L: OpenAddressDialog
  QAction* PasteAction;        // Ctrl+V: PasteRecord
  QAction* CopyAction;         // Ctrl+C: CopyRecord
  // The column right of the layout, hidden while none of its parts is shown.
  QWidget* SidePanel;     // "sidePanel"
  TClockPanel* Clocks;    // at its top, shown for a record with a clock
  QTabWidget* ChartTabs;  // "chartTabs", at its bottom, shown while a tab is
  TTimeChart* TimeChart;  // the tab "消費時間", shown for a record with a clock
  // "検討", F2 (also in the board's menu): analysis on and off. On, the
  // engine analyses the row on show (AnalysisPanel) and the main line
  // (EvalGraph, the chart tab 「評価値」); off, no engine process runs.
  QAction* AnalysisAction;
  TAnalysisPanel* AnalysisPanel;  // in SidePanel, shown while analysis is on
  TEvalGraph* EvalGraph;          // the tab "評価値" of ChartTabs
  TAnalysisSession* Analysis;

 private:
  TKifRecord shown_;  // the record on show; declared before Positions, which refers into it

 public:
  // What a click on each row of the move list shows; row 0 is the start.
  const std::vector<TKyokumen>& Positions = shown_.row_positions;
  std::u16string SenteName, GoteName, TournamentName;

  // Reads "棋譜中継.txt" (CP932, as the download writes it): rows, positions,
  // names, caption; shows the header document and the start, then tells each
  // move that could not be applied in a message box. When the file cannot be
  // opened the list holds only row 0, a message box says so and nothing else
  // changes. A file that is no record (RecordRefusal) is refused in a box
  // and the game on show stays. The names, tournament and caption are the
  // record's own ("Zelvaro" and blanks when it has none). The file is read
  // aside: the window answers until the record is shown.
  void Button1Click();
  // Where Button1Click reads (kRecordFileName, relative to the current folder, by default).
  void SetRecordFile(std::string path) { record_file_ = std::move(path); }
  const std::string& RecordFile() const { return record_file_; }
  // Opens a record file of the user's: read as TRecordEncoding::kDetect,
  // shown as Button1Click shows "棋譜中継.txt", and not followed (no
  // refresh). When the file cannot be read or is no record a message box
  // says so, the game on show stays as it was and the result is false.
  // Nothing while another reading is under way.
  bool OpenRecordFile(const QString& path);
  // The file OpenRecordFile read the game on show from; empty for
  // "棋譜中継.txt" (a download).
  const QString& RecordPath() const { return record_path_; }
  // Ctrl+O: asks for a file (KIF, KI2, CSA, SFEN/USI, all files) and opens it.
  void OpenRecordDialog();
  // Writes the record on show to `path` with its bytes exactly as read.
  // A failure is told in a message box and gives false; no file is left half written.
  bool SaveRecordFile(const QString& path);
  // Ctrl+S: asks for a name and saves the record on show there.
  void SaveRecordDialog();
  // Writes the record on show to `path` in `format` (KIF in CP932, KIFU in
  // UTF-8, KI2, CSA 2.2): what is written reads back as the same game. A
  // failure is told in a message box and gives false.
  bool SaveRecordAs(const QString& path, TRecordFormat format);
  // Ctrl+Shift+S: asks for a name and a file type and saves the record
  // on show so; the name's extension (.kif .kifu .ki2 .csa) decides, else
  // the file type chosen, whose extension is then added.
  void SaveRecordAsDialog();
  // The position the picture shows, to the clipboard as SFEN (one line) or
  // as a board diagram; also returned.
  QString CopyPositionSfen();
  QString CopyPositionBod();

  // How a record's web address is downloaded (the search window gives it);
  // without one no address can be opened.
  void SetAddressDownload(TAddressDownload download) { address_download_ = std::move(download); }
  // Downloads the record at `url` (http or https) in the background, then
  // reads and shows it as a file is shown and follows it like a broadcast
  // game (F5, 自動更新), and offers the address again later. The caption
  // says that it is being opened meanwhile; another address asked for
  // replaces it. A failure is told in one message box and the game on show
  // stays as it was.
  void OpenAddress(const QString& url);
  bool OpeningAddress() const { return address_work_.Busy(); }
  // Ctrl+L: asks for an address, offering the last ones opened.
  void OpenAddressDialog();
  // The addresses opened last, newest first.
  const QStringList& RecentAddresses() const { return recent_addresses_; }
  // Ctrl+V: an address on the clipboard is opened; other text is read and
  // shown as a record (not followed).
  void PasteRecord();
  // Ctrl+C: the record on show, as read, as text on the clipboard.
  void CopyRecord();

  // Keeps the options dialog's choices and this window's size and place in
  // `file`, which must outlive the window: what it holds is applied now and
  // every later change is written to it (the window's when it is hidden).
  // A write that fails is told once in a message box.
  void KeepSettings(TSettingsFile* file);

  // Shows the selected row's position and comment; nothing without a
  // selection. A click, or a key or drag that moves the selection, runs it.
  void OnListViewClick();
  void Button2Click();  // one row back; nothing at row 0 or without a selection
  void Button3Click();  // one row on (row 0 without a selection); nothing at the last row
  void Button4Click();  // hides the window
  void Button5Click();  // the options dialog, modally

  // The document prefix for the text size chosen in the options dialog.
  std::u16string FontSizePrefix() const;

  TBoardRenderer& Renderer() { return *renderer_; }

  // The game on show can be refreshed with `download` (the hand-over sets
  // it before it calls Button1Click); an empty one means no refresh. A
  // refresh under way is abandoned.
  void FollowRecord(TRecordDownload download);
  bool Following() const { return static_cast<bool>(download_); }

  // F5: starts downloading the game again and returns; the record is shown
  // when it has arrived and been read. Nothing without a download or while
  // the window is hidden, and nothing more while a refresh is under way
  // (it answers this one too). Inside a user action the start waits until
  // the action has ended. A failure changes nothing but the caption, which
  // says so until the next refresh succeeds; no message box opens.
  void RefreshRecord();
  bool RefreshPending() const { return refresh_pending_; }
  // Runs `work` (a reading, say) now when no user action is under way, and
  // otherwise once they have ended, in the order asked: showing a row
  // processes events, and what arrives then must not read a record inside it.
  void WhenIdle(std::function<void()> work);
  // A refresh is downloading, or its record waits to be shown.
  bool Refreshing() const { return refresh_work_.Busy() || held_refresh_ != nullptr; }

  // Milliseconds between automatic refreshes, 0 for none. Set from the
  // options dialog's "自動更新" when its selection changes; tests set short
  // intervals directly. The timer runs only while the window is shown and
  // a download is set, and counts from the end of the last refresh.
  void SetRefreshInterval(int milliseconds);
  int RefreshInterval() const { return refresh_interval_ms_; }
  bool RefreshTimerActive() const { return refresh_timer_->isActive(); }

  // The quiet note in the caption after the last refresh (a failure, or a
  // move the refreshed record could not apply); empty when there is none.
  const QString& RefreshNote() const { return refresh_note_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  class ActionScope;
  void AddFirstRow();
  void CreateActions();
  // The start of every reading: no refresh waiting, no note, only row 0.
  void BeginReading();
  // Shows what an address gave and follows the address from then on.
  void ShowAddressRecord(const QString& url, std::string bytes, const std::string& content_type);
  // What a reading aside came to.
  struct ReadAside {
    std::string bytes;
    std::string error;       // UTF-8: the file could not be read
    std::u16string refusal;  // it is no record
    TKifRecord record;
  };
  // Reads `read()`'s bytes off the window thread and waits, processing
  // events, for the record; null when the window is going.
  std::shared_ptr<ReadAside> ReadRecordAside(std::function<std::string()> read,
                                             TRecordEncoding encoding, const std::string& name);
  // Shows a record read aside: header, start, rows, names.
  void ShowRecord(ReadAside& read, TRecordEncoding encoding, const std::string& name);
  void SaveSettings();
  void ShowCaption();
  void RestartRefreshTimer();
  // The names of the game on show, for a reading to keep when the record lacks them.
  TKifRecord RecordToRead() const;
  // Makes `record` the record on show: names, caption, rows and positions.
  void TakeRecord(TKifRecord record);
  // What a refresh's download came to, read aside.
  struct Refreshed {
    std::shared_ptr<TRecordFetch> fetch;
    std::string error;  // UTF-8; empty when the record came whole
    std::string bytes;
    TKifRecord record;
  };
  // Runs, after the events now pending, what a user action held up: a
  // refresh asked for, or a refreshed record to show.
  void RunPendingRefresh();
  // Abandons the refresh under way and any record it left to show.
  void AbandonRefresh();
  // Refreshes the record whenever the file at `path` changes (empty: none).
  void WatchFile(const QString& path);
  void WatchedFileChanged();
  void RefreshWatchedFile();
  // The window thread's side of a refresh: keeps and shows a good record,
  // notes a failure.
  void FinishRefresh(std::unique_ptr<Refreshed> refreshed);
  // Puts a refreshed record into the window, keeping the place.
  void ApplyRefreshedRecord(TKifRecord record);
  void ShowRow(int row, bool document, bool picture);
  // The record on show's clocks and chart, and whether SidePanel is shown.
  void TakeTimes();
  // The clocks and the chart's mark at the row on show.
  void ShowTime();
  // Shows SidePanel while any of its parts is shown; the window grows or
  // shrinks by its width as it comes and goes.
  void UpdateSidePanel();
  // ChartTabs shown while one of its tabs is.
  void UpdateChartTabs();
  // The client area of the layout without SidePanel.
  QSize BaseSize() const;
  void LayOutControls();
  // Tells the main-line moves from `first_new` on, when the window is not
  // the active one.
  void AnnounceMoves(size_t first_new);
  // Analysis: the record's positions handed to the session; the row on
  // show followed.
  void AnalyseRecord();
  void AnalyseShownRow();
  void UpdateEvalGraph();
  void ShowAnalysisStatus();
  void EvalGraphClicked(int index);
  // A chart's click: the row selected and shown as a click on it shows it.
  void ShowClickedRow(int row);

  std::unique_ptr<TBoardRenderer> renderer_;
  std::vector<TRecordPosition> record_positions_;  // while analysis is on

  QString base_caption_;  // what the record made of the caption
  QString refresh_note_;
  int shown_row_ = 0;         // whose position the picture shows
  std::string record_bytes_;  // the record on show as read, for Ctrl+S
  QString record_path_;
  // How the record on show was decoded; a refresh decodes its bytes alike.
  TRecordEncoding record_encoding_ = TRecordEncoding::kCp932;
  std::string record_file_ = kRecordFileName;
  bool reading_ = false;  // a reading aside is under way
  std::string record_name_;
  TAddressDownload address_download_;
  QStringList recent_addresses_;
  QString opening_address_;  // told in the caption while it downloads
  TSettingsFile* settings_ = nullptr;
  bool settings_failed_ = false;  // a failed write was told

  TRecordDownload download_;
  QTimer* refresh_timer_;
  int refresh_interval_ms_;
  int action_depth_ = 0;  // user actions under way, nested ones counted
  bool refresh_pending_ = false;
  std::unique_ptr<Refreshed> held_refresh_;       // arrived during a user action
  std::vector<std::function<void()>> idle_work_;  // asked for during a user action
  QFileSystemWatcher* file_watcher_;
  QTimer* file_settle_timer_;
  QString watched_path_;             // the followed file of the record on show
  bool file_changed_again_ = false;  // while it was being read
  // Last: they are destroyed first, ending the downloads before what they report to goes.
  TLatestWork address_work_;
  TLatestWork refresh_work_;
};

}  // namespace zelvaro
