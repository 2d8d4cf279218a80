// TForm1: the viewer window. It replays the record in "棋譜中継.txt": the
// board picture of the chosen position, the move list with thinking times,
// and the header or the chosen move's comment in the HTML view.
//
// The window is thin: the record reader (game/KifReader.h) fills the rows,
// positions and names through a sink the window provides, the board renderer
// draws the picture, and the comment panel builds and shows the documents.
// Message boxes go through ShowMessage, so tests answer them with its hook.
#pragma once

#include <QPushButton>
#include <QWidget>
#include <memory>
#include <string>

#include "game/KifReader.h"
#include "toolkit/qt/ImageControl.h"
#include "toolkit/qt/ListView.h"
#include "viewer/BoardRenderer.h"
#include "viewer/CommentPanel.h"
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

  TPositions Positions;  // index = move number; 0 is the starting position
  std::u16string SenteName, GoteName, TournamentName;

  // Reads "棋譜中継.txt": rows, positions, names, caption; shows the header
  // document and position 0. When the file cannot be opened the list holds
  // only row 0, a message box says so and nothing else changes.
  void Button1Click();
  // Shows the selected row's position and comment; nothing without a
  // selection or for a row past the position table.
  void OnListViewClick();
  void Button2Click();  // one row back; nothing at row 0 or without a selection
  void Button3Click();  // one row on (row 0 without a selection); nothing at the last row
  void Button4Click();  // hides the window
  void Button5Click();  // the options dialog, modally

  // The document prefix for the text size chosen in the options dialog.
  std::u16string FontSizePrefix() const;

  TBoardRenderer& Renderer() { return *renderer_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Sink;
  void AddFirstRow();

  std::unique_ptr<TBoardRenderer> renderer_;
  std::unique_ptr<Sink> sink_;
};

}  // namespace zelvaro
