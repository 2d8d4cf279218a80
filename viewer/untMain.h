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
#pragma once

#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "game/KifReader.h"
#include "game/RecordRefresh.h"
#include "toolkit/qt/Background.h"
#include "toolkit/qt/ImageControl.h"
#include "toolkit/qt/ListView.h"
#include "viewer/BoardRenderer.h"
#include "viewer/CommentPanel.h"
#include "viewer/RecordFetch.h"
#include "viewer/untOptionForm.h"

namespace zelvaro {

// The file every reading reads, in the current directory.
inline constexpr char kRecordFileName[] = "棋譜中継.txt";

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
  // changes.
  void Button1Click();
  // Shows the selected row's position and comment; nothing without a selection.
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
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  class ActionScope;
  void AddFirstRow();
  void ShowCaption();
  void RestartRefreshTimer();
  // The names of the game on show, for a reading to keep when the record lacks them.
  TKifRecord RecordToRead() const;
  // Makes `record` the record on show: names, caption, rows and positions.
  void TakeRecord(TKifRecord record);
  // What a refresh's download came to, read aside.
  struct Refreshed {
    std::shared_ptr<TRecordFetch> fetch;
    std::string error;  // UTF-8; empty when the lines came whole
    std::vector<std::string> lines;
    TKifRecord record;
  };
  // Runs, after the events now pending, what a user action held up: a
  // refresh asked for, or a refreshed record to show.
  void RunPendingRefresh();
  // Abandons the refresh under way and any record it left to show.
  void AbandonRefresh();
  // The window thread's side of a refresh: keeps and shows a good record,
  // notes a failure.
  void FinishRefresh(std::unique_ptr<Refreshed> refreshed);
  // Puts a refreshed record into the window, keeping the place.
  void ApplyRefreshedRecord(TKifRecord record);
  void ShowRow(int row, bool document, bool picture);

  std::unique_ptr<TBoardRenderer> renderer_;

  QString base_caption_;  // what the record made of the caption
  QString refresh_note_;
  int shown_row_ = 0;  // whose position the picture shows

  TRecordDownload download_;
  QTimer* refresh_timer_;
  int refresh_interval_ms_;
  int action_depth_ = 0;  // user actions under way, nested ones counted
  bool refresh_pending_ = false;
  std::unique_ptr<Refreshed> held_refresh_;  // arrived during a user action
  // Last: it is destroyed first, ending the download before what it reports to goes.
  TLatestWork refresh_work_;
};

}  // namespace zelvaro
