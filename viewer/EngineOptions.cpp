#include "viewer/EngineOptions.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <cmath>

#include "toolkit/qt/Platform.h"

namespace zelvaro {

TEngineOptionsDialog::TEngineOptionsDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("EngineOptionsDialog"));
  setWindowTitle(QStringLiteral("エンジンの設定"));
  PathEdit = new QLineEdit(this);
  PathEdit->setObjectName(QStringLiteral("enginePath"));
  PathEdit->setPlaceholderText(QString::fromLatin1(kDefaultEnginePath));
  PathEdit->setMinimumWidth(280);
  BrowseButton = new QPushButton(QStringLiteral("参照…"), this);
  BrowseButton->setObjectName(QStringLiteral("engineBrowse"));
  auto spin = [this](const char* name, int low, int high, const QString& suffix) {
    auto* box = new QSpinBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setSuffix(suffix);
    return box;
  };
  HashSpin = spin("engineHash", 1, 1 << 20, QStringLiteral(" MB"));
  ThreadsSpin = spin("engineThreads", 1, 1024, QString());
  MultiPvSpin = spin("engineMultiPv", 1, kMaxMultiPv, QString());
  TimeSpin = new QDoubleSpinBox(this);
  TimeSpin->setObjectName(QStringLiteral("engineTime"));
  TimeSpin->setRange(0.1, 600);
  TimeSpin->setDecimals(1);
  TimeSpin->setSuffix(QStringLiteral(" 秒"));
  ScaleSpin = spin("winRateScale", kMinWinRateScale, kMaxWinRateScale, QString());
  ScaleSpin->setValue(kDefaultWinRateScale);
  PathWarning = new QLabel(this);
  PathWarning->setObjectName(QStringLiteral("enginePathWarning"));
  PathWarning->setStyleSheet(QStringLiteral("color: #c00000;"));
  PathWarning->setWordWrap(true);
  PathWarning->setVisible(false);

  auto* path = new QHBoxLayout;
  path->addWidget(PathEdit, 1);
  path->addWidget(BrowseButton);
  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("エンジン"), path);
  form->addRow(QString(), PathWarning);
  form->addRow(QStringLiteral("ハッシュ"), HashSpin);
  form->addRow(QStringLiteral("スレッド数"), ThreadsSpin);
  form->addRow(QStringLiteral("候補手の数"), MultiPvSpin);
  form->addRow(QStringLiteral("グラフの1局面の時間"), TimeSpin);
  form->addRow(QStringLiteral("勝率換算の係数"), ScaleSpin);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  OkButton = buttons->button(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    emit EngineSettingsChanged(Values());
    emit ScaleChanged(ScaleSpin->value());
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(BrowseButton, &QPushButton::clicked, this, &TEngineOptionsDialog::Browse);
  // A path that names no program is told at once (empty: the default program).
  connect(PathEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
    const QString path = text.trimmed();
    const QString problem = path.isEmpty() ? QString() : EngineFileProblem(path);
    PathWarning->setText(problem);
    PathWarning->setVisible(!problem.isEmpty());
  });
  SetValues({});
}

TEngineSettings TEngineOptionsDialog::Values() const {
  TEngineSettings settings;
  settings.path = PathEdit->text().trimmed().toStdString();
  settings.hash_mb = HashSpin->value();
  settings.threads = ThreadsSpin->value();
  settings.multipv = MultiPvSpin->value();
  settings.time_ms = static_cast<int>(std::lround(TimeSpin->value() * 1000));
  return settings;
}

void TEngineOptionsDialog::SetValues(const TEngineSettings& settings) {
  PathEdit->setText(QString::fromStdString(settings.path));
  HashSpin->setValue(settings.hash_mb);
  ThreadsSpin->setValue(settings.threads);
  MultiPvSpin->setValue(settings.multipv);
  TimeSpin->setValue(settings.time_ms / 1000.0);
}

void TEngineOptionsDialog::Browse() {
  const QString start =
      PathEdit->text().isEmpty() ? QStringLiteral("/usr/games") : PathEdit->text();
  const QString path = AskFileName(TFileDialog::kOpen, this, QStringLiteral("エンジンを選ぶ"),
                                   start, QStringLiteral("すべてのファイル (*)"));
  if (!path.isEmpty()) PathEdit->setText(path);
}

}  // namespace zelvaro
