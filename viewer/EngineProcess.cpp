#include "viewer/EngineProcess.h"

#include <QFileInfo>
#include <algorithm>

namespace zelvaro {
namespace {

TUsiClock::time_point Now() { return TUsiClock::now(); }

}  // namespace

QString EngineFileProblem(const QString& program) {
  if (program.isEmpty())
    return QStringLiteral("エンジンを起動できません: エンジンが設定されていません。");
  const QFileInfo file(program);
  if (!file.exists())
    return QStringLiteral("エンジンを起動できません: ファイルがありません (%1)。").arg(program);
  if (file.isDir() || !file.isExecutable()) {
    return QStringLiteral("エンジンを起動できません: 実行できるファイルではありません (%1)。")
        .arg(program);
  }
  return {};
}

QString EngineProgram(const TEngineSettings& settings) {
  if (!settings.path.empty()) return QString::fromStdString(settings.path);
  const QString fallback = QString::fromLatin1(kDefaultEnginePath);
  return QFileInfo(fallback).isExecutable() ? fallback : QString();
}

TEngineProcess::TEngineProcess(QObject* parent)
    : QObject(parent),
      process_(new QProcess(this)),
      tick_(new QTimer(this)),
      kill_timer_(new QTimer(this)),
      client_(std::make_unique<TUsiClient>()) {
  process_->setProcessChannelMode(QProcess::MergedChannels);
  tick_->setSingleShot(true);
  kill_timer_->setSingleShot(true);
  connect(process_, &QProcess::readyReadStandardOutput, this, &TEngineProcess::ReadOutput);
  connect(process_, &QProcess::finished, this, [this] {
    ReadOutput();
    kill_timer_->stop();
    client_->OnExit(Now());
    Pump();
  });
  connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    client_->OnExit(Now(), false);
    Pump();
  });
  connect(tick_, &QTimer::timeout, this, [this] {
    client_->OnTick(Now());
    Pump();
  });
  connect(kill_timer_, &QTimer::timeout, process_, &QProcess::kill);
}

TEngineProcess::~TEngineProcess() {
  OnEvent = nullptr;
  if (process_->state() == QProcess::NotRunning) return;
  process_->disconnect(this);
  if (client_->State() != TUsiState::kQuitting) process_->write("quit\n");
  if (!process_->waitForFinished(static_cast<int>(kQuitLimit.count()))) {
    process_->kill();
    process_->waitForFinished(static_cast<int>(kQuitLimit.count()));
  }
}

void TEngineProcess::Start(const QString& program, const TUsiSettings& settings) {
  client_ = std::make_unique<TUsiClient>(settings);
  splitter_.Reset();
  if (program.isEmpty()) {
    // Told after the caller has returned, as a failed start of QProcess is.
    QTimer::singleShot(0, this, [this] {
      client_->OnExit(Now(), false);
      Pump();
    });
    return;
  }
  process_->start(program, {});
  client_->Start(Now());
  Pump();
}

void TEngineProcess::Stop() {
  if (process_->state() == QProcess::NotRunning) return;
  client_->Quit(Now());
  Pump();
  process_->closeWriteChannel();
  kill_timer_->start(static_cast<int>(kQuitLimit.count()));
}

void TEngineProcess::ReadOutput() {
  const QByteArray bytes = process_->readAllStandardOutput();
  const auto now = Now();
  for (const std::string& line :
       splitter_.Feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))) {
    client_->OnLine(line, now);
  }
  Pump();
}

void TEngineProcess::Pump() {
  if (pumping_) return;  // an event handler that asks for more is answered by this loop
  pumping_ = true;
  for (;;) {
    const std::vector<std::string> commands = client_->TakeCommands();
    for (const std::string& command : commands) {
      if (process_->state() != QProcess::NotRunning) process_->write((command + "\n").c_str());
      if (command.rfind("go", 0) == 0) go_clock_.start();
    }
    std::vector<TUsiEvent> events = client_->TakeEvents();
    if (commands.empty() && events.empty()) break;
    for (const TUsiEvent& event : events) {
      if (event.kind == TUsiEvent::Kind::kFault && process_->state() != QProcess::NotRunning) {
        process_->kill();
      }
      if (OnEvent) OnEvent(event);
    }
  }
  pumping_ = false;
  if (const auto next = client_->NextDeadline()) {
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*next - Now());
    tick_->start(static_cast<int>(std::clamp<long long>(wait.count() + 1, 0, 60'000)));
  } else {
    tick_->stop();
  }
}

TAnalysisSession::TAnalysisSession(QObject* parent)
    : QObject(parent), job_timer_(new QTimer(this)), panel_timer_(new QTimer(this)) {
  job_timer_->setSingleShot(true);
  connect(job_timer_, &QTimer::timeout, this, &TAnalysisSession::JobTimeUp);
  panel_timer_->setSingleShot(true);
  connect(panel_timer_, &QTimer::timeout, this, [this] {
    if (std::exchange(panel_dirty_, false)) EmitShown(true);
  });
}

void TAnalysisSession::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (on) {
    StartEngine();
  } else {
    StopEngine();
    fault_.clear();
    emit StatusChanged();
  }
}

void TAnalysisSession::SetSettings(const TEngineSettings& settings) {
  if (settings == settings_) return;
  // Hash, threads, multi-PV and the time change how the engine searches,
  // not what the positions are: only another engine starts the graph over.
  const bool engine_changes = settings.path != settings_.path;
  settings_ = settings;
  core_.Plan().SetTimePerPosition(std::chrono::milliseconds(std::max(settings_.time_ms, 1)));
  if (engine_changes) {
    core_.Clear();
    emit ShownChanged();
  }
  if (enabled_) {
    StopEngine();
    StartEngine();
  }
}

void TAnalysisSession::SetShown(const std::string& position) {
  if (!core_.SetShown(position)) return;
  EmitShown(true);
  Schedule();
}

void TAnalysisSession::SetMainLine(std::vector<std::string> positions) {
  core_.Plan().SetMainLine(std::move(positions));
  Schedule();
}

void TAnalysisSession::Restart() {
  if (!enabled_) return;
  StopEngine();
  StartEngine();
}

void TAnalysisSession::StartEngine() {
  fault_.clear();
  // Why a program cannot start, said before trying.
  const QString program = EngineProgram(settings_);
  if (const QString problem = EngineFileProblem(program); !problem.isEmpty()) {
    fault_ = problem;
    core_.Clear();
    emit ShownChanged();
    emit StatusChanged();
    return;
  }
  process_ = new TEngineProcess(this);
  process_->OnEvent = [this](const TUsiEvent& event) { HandleEvent(event); };
  process_->Start(EngineProgram(settings_),
                  TUsiSettings{settings_.hash_mb, settings_.threads, settings_.multipv});
  emit StatusChanged();
}

void TAnalysisSession::StopEngine() {
  job_timer_->stop();
  panel_timer_->stop();
  panel_dirty_ = false;
  core_.Stopped();
  if (process_ == nullptr) return;
  process_->OnEvent = nullptr;
  process_->Stop();
  // Gone once it has quit or been killed; the destructor waits for at most that.
  TEngineProcess* old = process_;
  QTimer::singleShot(static_cast<int>(kQuitLimit.count()) + 100, old, &QObject::deleteLater);
  process_ = nullptr;
}

void TAnalysisSession::Schedule() {
  if (!enabled_ || process_ == nullptr || !process_->Client().Ready()) return;
  const std::optional<TAnalysisSessionCore::Switch> change = core_.Schedule();
  if (!change) return;
  job_timer_->stop();
  if (!change->job) {
    process_->Client().ClearPosition(Now());
  } else {
    process_->Client().SetPosition(change->job->position, Now());
  }
  // The client may merge quick changes: the time runs from "go" (see HandleEvent).
  process_->Flush();
  emit StatusChanged();
}

std::chrono::milliseconds TAnalysisSession::Searched() const {
  return std::chrono::milliseconds(process_ != nullptr && process_->SearchClock().isValid()
                                       ? process_->SearchClock().elapsed()
                                       : 0);
}

void TAnalysisSession::HandleEvent(const TUsiEvent& event) {
  TUsiClient& client = process_->Client();
  switch (event.kind) {
    case TUsiEvent::Kind::kReady:
      emit StatusChanged();
      Schedule();
      return;
    case TUsiEvent::Kind::kInfo: {
      const TAnalysisSessionCore::InfoOutcome outcome = core_.OnInfo(event.info, client.Serial());
      const auto& job = core_.Job();
      // The search has begun: a timed job counts from its first line at the latest.
      if (outcome.first && job && job->duration && !job_timer_->isActive()) {
        job_timer_->start(
            static_cast<int>(std::max<long long>(job->duration->count() - Searched().count(), 0)));
      }
      if (outcome.shown) EmitShown(false);
      return;
    }
    case TUsiEvent::Kind::kBestMove:
      if (const auto kept = core_.OnBestMove(event.info, client.Serial(), Searched())) {
        job_timer_->stop();
        emit ResultKept(QString::fromStdString(*kept));
        Schedule();
      }
      return;
    case TUsiEvent::Kind::kFault:
      fault_ = QString::fromStdString(UsiFaultMessage(*event.fault));
      job_timer_->stop();
      core_.Stopped();
      emit StatusChanged();
      return;
  }
}

void TAnalysisSession::JobTimeUp() {
  if (process_ == nullptr) return;
  if (const auto kept = core_.OnTimeUp(Searched())) {
    emit ResultKept(QString::fromStdString(*kept));
  }
  Schedule();
}

void TAnalysisSession::EmitShown(bool now) {
  if (!now && panel_timer_->isActive()) {
    panel_dirty_ = true;
    return;
  }
  panel_timer_->start(kPanelRefreshMs);
  emit ShownChanged();
}

}  // namespace zelvaro
