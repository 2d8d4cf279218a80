#include "viewer/untOptionForm.h"

#include <algorithm>
#include <string>

#include "toolkit/Exception.h"
#include "toolkit/qt/Forms.h"
#include "toolkit/qt/Platform.h"

namespace zelvaro {

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)), columns_(std::max(columns, 1)) {
  for (int i = 0; i < items.size(); ++i) {
    auto* item = new QRadioButton(items[i], this);
    item->setObjectName(QStringLiteral("RadioItem%1").arg(i));
    group_->addButton(item, i);
    items_.push_back(item);
  }
  connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) emit ItemIndexChanged(id);
  });
  LayOutItems();
}

int TRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < Count()) {
    items_[index]->setChecked(true);
    return;
  }
  // A QButtonGroup keeps one item checked while it is exclusive.
  group_->setExclusive(false);
  for (auto* item : items_) item->setChecked(false);
  group_->setExclusive(true);
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  LayOutItems();
}

void TRadioGroup::LayOutItems() {
  // Items share the frame's inside evenly, below the caption.
  const int rows = (Count() + columns_ - 1) / columns_;
  if (rows == 0) return;
  const int left = 8, top = 16, right = 8, bottom = 4;
  const int column_width = (width() - left - right) / columns_;
  const int row_height = (height() - top - bottom) / rows;
  for (int i = 0; i < Count(); ++i) {
    const int column = i / rows, row = i % rows;
    items_[i]->setGeometry(left + column * column_width, top + row * row_height, column_width,
                           row_height);
  }
}

int RefreshIntervalMs(int refresh_choice) {
  static constexpr int kIntervals[kRefreshChoiceCount] = {0, 30'000, 60'000, 180'000};
  if (refresh_choice < 0 || refresh_choice >= kRefreshChoiceCount) {
    throw ERangeError("refresh choice " + std::to_string(refresh_choice) + " out of range");
  }
  return kIntervals[refresh_choice];
}

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
  // The refresh and board groups are added below the original layout, which
  // keeps every rectangle it had; only the client area grows downward.
  SetUpFixedWindow(this, "Form3", QStringLiteral("設定オプション"), TBorder::kDialog, {411, 450},
                   {238, 141});

  Button1 = MakeButton(this, "Button1", QStringLiteral("設定する"), {144, 216, 105, 25});

  RadioGroup1 = new TRadioGroup(
      QStringLiteral("コメント文字の大きさ"),
      {QStringLiteral("極小 (-2)"), QStringLiteral("小さめ (-1)"), QStringLiteral("普通 (0)"),
       QStringLiteral("大きめ (1)"), QStringLiteral("特大 (2)"), QStringLiteral("極大 (3)")},
      2, this);
  RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
  RadioGroup1->setGeometry(40, 32, 345, 129);
  RadioGroup1->SetItemIndex(3);

  RadioGroup2 = new TRadioGroup(QStringLiteral("自動更新"),
                                {QStringLiteral("しない"), QStringLiteral("30秒"),
                                 QStringLiteral("1分"), QStringLiteral("3分")},
                                kRefreshChoiceCount, this);
  RadioGroup2->setObjectName(QStringLiteral("RadioGroup2"));
  RadioGroup2->setGeometry(40, 256, 345, 49);
  RadioGroup2->SetItemIndex(kDefaultRefreshChoice);

  BoardGroup = new QGroupBox(QStringLiteral("盤面"), this);
  BoardGroup->setObjectName(QStringLiteral("BoardGroup"));
  BoardGroup->setGeometry(40, 316, 345, 49);
  CheckBox1 = new QCheckBox(QStringLiteral("最終手を表示"), BoardGroup);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setGeometry(8, 20, 160, 21);
  CheckBox2 = new QCheckBox(QStringLiteral("盤面反転"), BoardGroup);
  CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
  CheckBox2->setGeometry(176, 20, 160, 21);

  NotifyGroup = new QGroupBox(QStringLiteral("着手の通知 (ウィンドウが前面にないとき)"), this);
  NotifyGroup->setObjectName(QStringLiteral("NotifyGroup"));
  NotifyGroup->setGeometry(40, 376, 345, 49);
  CheckBox3 = new QCheckBox(QStringLiteral("デスクトップに通知"), NotifyGroup);
  CheckBox3->setObjectName(QStringLiteral("CheckBox3"));
  CheckBox3->setGeometry(8, 20, 160, 21);
  CheckBox3->setChecked(TNotifyOptions{}.popup);
  CheckBox4 = new QCheckBox(QStringLiteral("音を鳴らす"), NotifyGroup);
  CheckBox4->setObjectName(QStringLiteral("CheckBox4"));
  CheckBox4->setGeometry(176, 20, 160, 21);
  CheckBox4->setChecked(TNotifyOptions{}.sound);
  EngineButton = MakeButton(this, "EngineButton", QStringLiteral("エンジン…"), {280, 216, 105, 25});
  EngineDialog = new TEngineOptionsDialog(this);
  connect(EngineButton, &QPushButton::clicked, EngineDialog, &QDialog::exec);

  // Button1 first, then the radio groups, then the check boxes.
  setTabOrder(Button1, RadioGroup1->Item(0));
  setTabOrder(RadioGroup1->Item(0), RadioGroup2->Item(0));
  setTabOrder(RadioGroup2->Item(0), CheckBox1);
  setTabOrder(CheckBox1, CheckBox2);
  setTabOrder(CheckBox2, CheckBox3);
  setTabOrder(CheckBox3, CheckBox4);
  setTabOrder(CheckBox4, EngineButton);
  Button1->setFocus();

  connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
  for (QCheckBox* box : {CheckBox1, CheckBox2}) {
    connect(box, &QCheckBox::toggled, this, [this] { emit BoardOptionsChanged(BoardOptions()); });
  }
  for (QCheckBox* box : {CheckBox3, CheckBox4}) {
    connect(box, &QCheckBox::toggled, this, [this] { emit NotifyOptionsChanged(NotifyOptions()); });
  }
}

void TForm3::Button1Click() { close(); }

TBoardOptions TForm3::BoardOptions() const {
  return {.last_move = CheckBox1->isChecked(), .flip = CheckBox2->isChecked()};
}

void TForm3::SetBoardOptions(const TBoardOptions& options) {
  CheckBox1->setChecked(options.last_move);
  CheckBox2->setChecked(options.flip);
}

TNotifyOptions TForm3::NotifyOptions() const {
  return {.popup = CheckBox3->isChecked(), .sound = CheckBox4->isChecked()};
}

void TForm3::SetNotifyOptions(const TNotifyOptions& options) {
  CheckBox3->setChecked(options.popup);
  CheckBox4->setChecked(options.sound);
}

}  // namespace zelvaro
