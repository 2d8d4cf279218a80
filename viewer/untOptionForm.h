// TForm3: the options dialog. Its settings are the text size of the comment
// panel, the selected item of RadioGroup1 (0..5, 3 at creation), how often
// the viewer refreshes the game on show, the selected item of RadioGroup2
// (0..3, 2 at creation), and the board picture's two options, CheckBox1
// 「最終手を表示」 and CheckBox2 「盤面反転」 (both off at creation), and how a
// move that arrives while the viewer is not the active window is told,
// CheckBox3 「デスクトップに通知」 (on at creation) and CheckBox4 「音を鳴らす」
// (off at creation). It keeps
// nothing else and stores nothing; the viewer keeps its choices between
// starts (viewer/Settings.h).
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFont>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <vector>

#include "viewer/BoardRenderer.h"
#include "viewer/EngineOptions.h"

namespace zelvaro {

// A framed group of radio items laid out in columns, filled column by column.
class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& caption, const QStringList& items, int columns,
              QWidget* parent = nullptr);
  int ItemIndex() const;         // -1 when none is selected
  void SetItemIndex(int index);  // -1 clears the selection
  QRadioButton* Item(int index) const { return items_.at(index); }
  int Count() const { return static_cast<int>(items_.size()); }

 signals:
  // An item became selected, by the user or by SetItemIndex.
  void ItemIndexChanged(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOutItems();
  QButtonGroup* group_;
  std::vector<QRadioButton*> items_;
  int columns_;
};

// How a followed game's new move is told while the viewer is not the
// active window (or is minimised).
struct TNotifyOptions {
  bool popup = true;   // a desktop notification
  bool sound = false;  // a short sound
  bool operator==(const TNotifyOptions&) const = default;
};

// The items of "自動更新" and the time between two automatic refreshes
// each stands for; 0 means none.
inline constexpr int kRefreshChoiceCount = 4;
inline constexpr int kDefaultRefreshChoice = 2;  // "1分"
// Throws ERangeError for an index outside 0..3.
int RefreshIntervalMs(int refresh_choice);

class TForm3 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm3(QWidget* parent = nullptr);

  QPushButton* Button1;
  TRadioGroup* RadioGroup1;
  TRadioGroup* RadioGroup2;  // "自動更新", below "設定する"
  QGroupBox* BoardGroup;     // "盤面", below "自動更新"
  QCheckBox* CheckBox1;      // "最終手を表示"
  QCheckBox* CheckBox2;      // "盤面反転"
  QGroupBox* NotifyGroup;    // "着手の通知", below "盤面"
  QCheckBox* CheckBox3;      // "デスクトップに通知"
  QCheckBox* CheckBox4;      // "音を鳴らす"
  // "エンジン…", beside "設定する": the engine page, EngineDialog.
  QPushButton* EngineButton;
  TEngineOptionsDialog* EngineDialog;

  // "設定する": closes the dialog; the selection stays in force.
  void Button1Click();

  // The two check boxes. Setting them emits BoardOptionsChanged when they change.
  TBoardOptions BoardOptions() const;
  void SetBoardOptions(const TBoardOptions& options);
  // CheckBox3 and CheckBox4. Setting them emits NotifyOptionsChanged when they change.
  TNotifyOptions NotifyOptions() const;
  void SetNotifyOptions(const TNotifyOptions& options);

 signals:
  // A check box changed, by the user or by SetBoardOptions.
  void BoardOptionsChanged(const TBoardOptions& options);
  void NotifyOptionsChanged(const TNotifyOptions& options);
};

}  // namespace zelvaro
