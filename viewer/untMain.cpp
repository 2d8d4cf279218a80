#include "viewer/untMain.h"

#include <QKeyEvent>

#include "resources/Resources.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"
#include "toolkit/qt/Platform.h"

namespace zelvaro {

// The window's side of a reading.
class TForm1::Sink : public TKifSink {
 public:
  explicit Sink(TForm1& form) : form_(form) {}

  void ClearRows() override { form_.ListView1->Clear(); }
  void AppendRow(std::u16string_view caption, std::u16string_view move, std::u16string_view time,
                 std::u16string_view other) override {
    form_.ListView1->Append(ToQString(caption),
                            {ToQString(move), ToQString(time), ToQString(other)});
  }
  int RowCount() const override { return form_.ListView1->RowCount(); }
  void SetOther(int row, std::u16string_view text) override {
    form_.ListView1->SetSubItem(row, 2, ToQString(text));
  }
  TPositions& Positions() override { return form_.Positions; }
  void SetSenteName(std::u16string_view name) override { form_.SenteName = name; }
  void SetGoteName(std::u16string_view name) override { form_.GoteName = name; }
  void SetTournamentName(std::u16string_view name) override {
    form_.TournamentName = name;
    form_.setWindowTitle(ToQString(CaptionFor(name)));
  }
  void Report(std::u16string_view message, std::u16string_view caption) override {
    ShowMessage(ToQString(message), ToQString(caption));
  }

 private:
  TForm1& form_;
};

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& rect) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(rect);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Zelvaro"));
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(WindowFont());
  setFixedSize(760, 516);
  move(18, 29);

  Image1 = new TImage(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, 329, 417);

  WebBrowser1 = new THtmlView(this);
  WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
  WebBrowser1->setGeometry(336, 0, 417, 465);

  ListView1 = new TListView(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setGeometry(0, 416, 329, 97);
  ListView1->SetColumns({
      {QStringLiteral("手数"), 38, 38, Qt::AlignLeft},
      {QStringLiteral("指し手"), 110, 0, Qt::AlignLeft},
      {QStringLiteral("考慮時間"), 90, 0, Qt::AlignRight},
      {QStringLiteral("その他"), 60, 0, Qt::AlignRight},
  });
  ListView1->installEventFilter(this);

  Button1 = MakeButton(this, "Button1", QStringLiteral("棋譜を開く"), {528, 472, 73, 25});
  Button2 = MakeButton(this, "Button2", QStringLiteral("<"), {344, 472, 57, 25});
  Button3 = MakeButton(this, "Button3", QStringLiteral(">"), {432, 472, 57, 25});
  Button4 = MakeButton(this, "Button4", QStringLiteral("閉じる"), {688, 472, 57, 25});
  Button5 = MakeButton(this, "Button5", QStringLiteral("設定"), {616, 472, 57, 25});

  Image1->setFocusPolicy(Qt::NoFocus);
  setTabOrder(WebBrowser1, ListView1);
  setTabOrder(ListView1, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);
  setTabOrder(Button3, Button4);
  setTabOrder(Button4, Button5);

  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
  connect(ListView1, &TListView::Clicked, this, &TForm1::OnListViewClick);

  // OnCreate.
  OptionsDialog = new TForm3(this);
  OptionsDialog->setObjectName(QStringLiteral("OptionsDialog"));
  InitResources();
  renderer_ = std::make_unique<TBoardRenderer>(&Image1->Picture());
  renderer_->SetChangedHook([this] { Image1->Changed(); });
  sink_ = std::make_unique<Sink>(*this);
  renderer_->InitBoard(Positions[0], SenteName, GoteName);
  AddFirstRow();
}

TForm1::~TForm1() {
  // OnDestroy: the dialog goes with its parent; the renderer releases the cell images.
  ListView1->removeEventFilter(this);
}

void TForm1::AddFirstRow() {
  ListView1->BeginUpdate();
  TKifReader(*sink_).Begin(u"");
  ListView1->EndUpdate();
}

std::u16string TForm1::FontSizePrefix() const {
  int index = OptionsDialog->RadioGroup1->ItemIndex();
  if (index < 0 || index >= kFontSizeCount) index = kDefaultFontSize;
  return DocumentPrefix(index);
}

void TForm1::Button1Click() {
  TKifReader reader(*sink_);
  ListView1->BeginUpdate();
  reader.Begin(FontSizePrefix());
  ListView1->EndUpdate();

  std::vector<std::string> lines;
  try {
    lines = LoadRecordLines(kRecordFileName);
  } catch (const Exception& e) {
    ShowMessage(QString::fromStdString(e.Message()), QStringLiteral("Zelvaro"));
    return;
  }
  ListView1->BeginUpdate();
  reader.ReadLines(lines);
  ListView1->EndUpdate();

  ShowDocument(WebBrowser1, reader.HeaderText() + std::u16string(kDocumentSuffix));
  renderer_->DrawPosition(Positions[0], SenteName, GoteName);
}

void TForm1::OnListViewClick() {
  const int row = ListView1->SelectedIndex();
  // Variation rows can number more than the position table holds.
  if (row < 0 || row >= kPositionCount) return;
  const TKyokumen& position = Positions[row];
  ShowDocument(WebBrowser1,
               FontSizePrefix() + LinkifyUrls(position.Comment) + std::u16string(kDocumentSuffix));
  renderer_->DrawPosition(position, SenteName, GoteName);
}

void TForm1::Button2Click() {
  const int row = ListView1->SelectedIndex();
  if (row <= 0) return;
  ListView1->Select(row - 1);
  ListView1->ScrollIntoView(row - 1);
  OnListViewClick();
}

void TForm1::Button3Click() {
  const int row = ListView1->SelectedIndex();
  if (row >= 0 && row == ListView1->RowCount() - 1) return;
  const int next = row < 0 ? 0 : row + 1;
  ListView1->Select(next);
  ListView1->ScrollIntoView(next);
  OnListViewClick();
}

void TForm1::Button4Click() { close(); }

void TForm1::Button5Click() { OptionsDialog->exec(); }

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListView1 && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      if (key->key() == Qt::Key_Left) {
        Button2Click();
        return true;
      }
      if (key->key() == Qt::Key_Right) {
        Button3Click();
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace zelvaro
