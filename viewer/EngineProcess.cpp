#include "viewer/EngineProcess.h"

#include <QFileInfo>
#include <algorithm>

namespace zelvaro {
namespace {

TUsiClock::time_point Now() { return TUsiClock::now(); }

}  // namespace

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
  partial_.clear();
  dropping_ = false;
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
  for (const char c : bytes) {
    if (c == '\n') {
      client_->OnLine(partial_, now);
      partial_.clear();
      dropping_ = false;
    } else if (!dropping_) {
      partial_ += c;
      if (partial_.size() >= kMaxUsiLineLength) dropping_ = true;
    }
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
  const bool results_change = settings.path != settings_.path ||
                              settings.multipv != settings_.multipv ||
                              settings.time_ms != settings_.time_ms;
  settings_ = settings;
  plan_.SetTimePerPosition(std::chrono::milliseconds(std::max(settings_.time_ms, 1)));
  if (results_change) plan_.Clear();
  if (enabled_) {
    StopEngine();
    StartEngine();
  }
}

void TAnalysisSession::SetShown(const std::string& position) {
  if (position == plan_.Shown()) return;
  plan_.SetShown(position);
  // A kept result shows at once; the search replaces it as it goes deeper.
  const TUsiAnalysis* kept = plan_.Result(position);
  shown_ = kept ? *kept : TUsiAnalysis{};
  shown_.position = position;
  EmitShown(true);
  Schedule();
}

void TAnalysisSession::SetMainLine(std::vector<std::string> positions) {
  plan_.SetMainLine(std::move(positions));
  Schedule();
}

void TAnalysisSession::Restart() {
  if (!enabled_) return;
  StopEngine();
  StartEngine();
}

void TAnalysisSession::StartEngine() {
  fault_.clear();
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
  job_.reset();
  live_ = {};
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
  const std::optional<TAnalysisPlan::Job> next = plan_.Next();
  if (job_ && next && job_->position == next->position && job_->duration == next->duration) return;
  // A timed search that was cut short is not kept.
  job_ = next;
  job_timer_->stop();
  if (!next) {
    process_->Client().ClearPosition(Now());
  } else {
    process_->Client().SetPosition(next->position, Now());
  }
  live_ = {};
  // The client may merge quick changes: the time runs from "go" (see HandleEvent).
  process_->Flush();
}

void TAnalysisSession::HandleEvent(const TUsiEvent& event) {
  TUsiClient& client = process_->Client();
  switch (event.kind) {
    case TUsiEvent::Kind::kReady:
      emit StatusChanged();
      Schedule();
      return;
    case TUsiEvent::Kind::kInfo: {
      if (event.info.serial != client.Serial()) return;  // a search that was stopped
      if (live_.position != event.info.position || live_.serial != event.info.serial) {
        live_ = {};
        // The search has begun: a timed job counts from its first line at the latest.
        if (job_ && job_->duration && !job_timer_->isActive()) {
          const qint64 since_go =
              process_->SearchClock().isValid() ? process_->SearchClock().elapsed() : 0;
          job_timer_->start(
              static_cast<int>(std::max<qint64>(job_->duration->count() - since_go, 0)));
        }
      }
      live_.Add(event.info);
      if (event.info.position == plan_.Shown() && live_.HasScore()) {
        // Never shows less than the kept result did.
        const TUsiAnalysis* kept = plan_.Result(plan_.Shown());
        if (kept == nullptr || live_.depth.value_or(0) >= kept->depth.value_or(0)) {
          shown_ = live_;
          EmitShown(false);
        }
      }
      return;
    }
    case TUsiEvent::Kind::kBestMove:
      if (event.info.serial != client.Serial() || !job_ || job_->position != event.info.position) {
        return;
      }
      // The engine ended the search itself (a mate, no move left).
      job_timer_->stop();
      plan_.Done(live_, process_->SearchClock().isValid()
                            ? std::chrono::milliseconds(process_->SearchClock().elapsed())
                            : std::chrono::milliseconds(0));
      plan_.Finished(event.info.position);
      emit ResultKept(QString::fromStdString(event.info.position));
      job_.reset();
      Schedule();
      return;
    case TUsiEvent::Kind::kFault:
      fault_ = QString::fromStdString(UsiFaultMessage(*event.fault));
      job_timer_->stop();
      job_.reset();
      emit StatusChanged();
      return;
  }
}

void TAnalysisSession::JobTimeUp() {
  if (!job_ || process_ == nullptr) return;
  const auto searched = std::chrono::milliseconds(
      process_->SearchClock().isValid() ? process_->SearchClock().elapsed() : 0);
  if (live_.position == job_->position) {
    plan_.Done(live_, searched);
    emit ResultKept(QString::fromStdString(job_->position));
  }
  job_.reset();
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
