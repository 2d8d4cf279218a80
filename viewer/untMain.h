// TForm1: the viewer window. It replays the record in "棋譜中継.txt": the
// board picture of the chosen position, the move list with thinking times,
// and the header or the chosen move's comment in the HTML view.
//
// The window is thin: the record follower (viewer/RecordFollower.h) holds
// the record on show, reads it aside and refreshes it, and the window shows
// what it signals (rows, positions, names); the record actions
// (viewer/RecordActions.h) open, save and copy records; the settings sync
// keeps the choices; the refresh plan (game/RecordRefresh.h) says what a
// refresh keeps on show, the board renderer draws the picture, and the
// comment panel builds and shows the documents.
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
#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "game/Record.h"
#include "toolkit/qt/ImageControl.h"
#include "toolkit/qt/ListView.h"
#include "viewer/BoardRenderer.h"
#include "viewer/RecordActions.h"
#include "viewer/RecordFollower.h"
#include "viewer/SettingsSync.h"
#include "viewer/SidePanel.h"
#include "viewer/untOptionForm.h"

namespace zelvaro {

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
  // The column right of the layout ("sidePanel"): clocks, analysis, charts.
  TSidePanel* SidePanel;
  // The board's options, in step with the dialog's CheckBox1 and CheckBox2:
  // "最終手を表示", and "盤面反転" (F).
  QAction* LastMoveAction;
  QAction* FlipAction;
  // "検討", F2 (also in the board's menu): analysis on and off.
  QAction* AnalysisAction;
  // The record on show, its source and its refreshes; the window shows what it signals.
  TRecordFollower* const Follower;
  // Open, save, copy and paste; their actions are the window's keys and the board's menu.
  TRecordActions* Actions;
  // The options and this window's size and place kept in a settings file.
  TSettingsSync* Settings;

  // What a click on each row of the move list shows; row 0 is the start.
  const std::vector<TKyokumen>& Positions;
  std::u16string SenteName, GoteName, TournamentName;

  // Reads the record file (RecordFile, "棋譜中継.txt" by default; CP932, as
  // the download writes it) aside and returns; the window answers until the
  // record is shown: rows, positions, names, caption, the header document
  // and the start, then each move that could not be applied in a message
  // box. When the file cannot be opened the list holds only row 0 and a
  // message box says so. A file that is no record (RecordRefusal) is
  // refused in a box and the game on show stays. The names, tournament and
  // caption are the record's own ("Zelvaro" and blanks when it has none).
  // Nothing while another reading is under way.
  void Button1Click();
  // Shows the selected row's position and comment; nothing without a
  // selection. A click, or a key or drag that moves the selection, runs it.
  void OnListViewClick();
  void Button2Click();  // one row back; nothing at row 0 or without a selection
  void Button3Click();  // one row on (row 0 without a selection); nothing at the last row
  void Button4Click();  // hides the window
  void Button5Click();  // the options dialog, modally

  // The game on show can be refreshed with `download` (the hand-over sets
  // it before it calls Button1Click); an empty one means no refresh. A
  // refresh under way is abandoned.
  void FollowRecord(TRecordDownload download);
  // F5: see TRecordFollower::RefreshRecord. A failure changes nothing but
  // the caption, which says so until the next refresh succeeds.
  void RefreshRecord();

  TBoardRenderer& Renderer() { return *renderer_; }

 protected:
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Shows the record the follower read: header, start, rows, names.
  void ShowRecord();
  // Puts a refreshed record into the window, keeping the place.
  void ShowRefreshedRecord(const TKifRecord& before);
  // Shows row `row`: its position when `picture`, its comment when `document`.
  void ShowRow(int row, bool document, bool picture);

  std::unique_ptr<TBoardRenderer> renderer_;
  int shown_row_ = 0;  // whose position the picture shows
};

// Selects and shows the main line's last row of the record on show in
// `viewer` (a game opened from the grid), as a click on it would.
void ShowNewestMove(TForm1& viewer);

}  // namespace zelvaro
