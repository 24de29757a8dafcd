#include "ui/music/TMusique.h"
#include "ui/common/Strings.h"

#include "model/io/SafeFile.h"
#include "model/io/Wave.h"
#include "model/music/TapLag.h"
#include "model/program/TimeText.h"
#include "ui/common/Messages.h"
#include "ui/music/EventTime.h"
#include "ui/music/MusicProgram.h"

#include <QWidget>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>
#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace salvo;
using namespace salvo::ui;

const char* const MsgSoundNotReadable = "Le fichier son « %1 » ne peut pas être lu : %2.";
const char* const MsgLabelsBadLines =
    "%1 repères ont été lus. Ces lignes ne sont pas des repères et ont été laissées de côté :"
    "\n\n%2";
const char* const MsgNoOutput = "Aucune sortie son n'est disponible sur cet ordinateur : la "
                                "musique ne peut pas être écoutée (%1).";
const char* const MsgLargestResidual = "Écart maximal avec les repères : %1 s";
const char* const MsgLargestResidualLift =
    "Écart maximal avec les repères : %1 s (temps de levée compris)";
const char* const MsgNoSound = "le fichier ne contient aucun son";
const char* const MsgNotDecoded = "ce fichier n'a pas pu être décodé (format inconnu ou fichier "
                                  "abîmé)";

namespace {

QString Why(WaveRead result) {
    switch (result) {
    case WaveRead::NotAccessible:
        return U("le fichier n'est pas accessible");
    case WaveRead::NotWave:
        return U("ce n'est pas un fichier WAV");
    case WaveRead::Unsupported:
        return U("seuls les fichiers WAV en PCM (8 à 32 bits) sont lus");
    case WaveRead::Failed:
        return U("la lecture du fichier a échoué");
    case WaveRead::NoSound:
        return U(MsgNoSound);
    case WaveRead::TooManyChannels:
        return U("il a plus de %1 canaux").arg(MaxWaveChannels);
    case WaveRead::UnsupportedRate:
        return U("sa fréquence d'échantillonnage n'est pas entre %1 et %2 Hz")
            .arg(MinWaveRate)
            .arg(MaxWaveRate);
    case WaveRead::Read:
    case WaveRead::Cancelled:
        break;
    }
    return QString();
}

bool IsWave(const QString& path) {
    return path.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive) ||
           path.endsWith(QStringLiteral(".wave"), Qt::CaseInsensitive);
}

// A sound is opened only when it is a regular file (or a link to one).
bool IsSoundFile(const QString& path) {
    return IsFile(path.toStdString());
}

} // namespace

QString TMusique::WhyNotRead(WaveRead result, const QString& path) {
    // What the codec library makes nothing of is no WAV question.
    if (!IsWave(path) && (result == WaveRead::NotWave || result == WaveRead::Unsupported))
        return U(MsgNotDecoded);
    return Why(result);
}

TMusique* TMusique::Of(MusicProgram* program, bool create) {
    if (!program)
        return nullptr;
    auto* music =
        program->ProgramWindow()->findChild<TMusique*>(QString(), Qt::FindDirectChildrenOnly);
    if (!music && create)
        music = new TMusique(program);
    return music;
}

TMusique::TMusique(MusicProgram* program)
    : QObject(program->ProgramWindow()), Owner(program), Window(program->ProgramWindow()) {
    setObjectName(QStringLiteral("Musique"));
    ProgressTimer = new QTimer(this);
    ProgressTimer->setInterval(100);
    connect(ProgressTimer, &QTimer::timeout, this, &TMusique::Changed);
    HeadTimer = new QTimer(this);
    HeadTimer->setInterval(30);
    connect(HeadTimer, &QTimer::timeout, this, [this] {
        if (!Playing()) {
            // The end has been heard: the head stays there.
            HeadSeconds = Out ? Out->Position() : HeadSeconds;
            HeadTimer->stop();
        }
        emit Changed();
    });
    program->ShowMusic(this);
    WatchEventTimes();
}

TMusique::~TMusique() {
    StopWave();
}

char TMusique::Separator() const {
    return Program() ? Program()->Document().DecimalSeparator() : ',';
}

void TMusique::MarkersEdited() {
    LastFit.clear();
    Touch();
}

void TMusique::Touch() {
    if (Program())
        Program()->Document().SetModified(true);
    emit Changed();
}

std::optional<double> TMusique::WaveProgress() const {
    if (!Computing)
        return std::nullopt;
    return Progress.load();
}

double TMusique::SoundDuration() const {
    return WaveEnvelope.Frames > 0 ? WaveEnvelope.Duration() : 0;
}

// ---------------------------------------------------------------------------------------
// Envelope

void TMusique::StartWave() {
    StopWave();
    StopPlaying();
    WaveEnvelope = Envelope();
    Sound.reset();
    Note.clear();
    if (!HasSound())
        return;
    const QString path = Q(Data.SoundPath);
    // A pipe, a device or a folder of that name is never opened: it could block for good.
    if (!IsSoundFile(path)) {
        Previous.reset();
        Note = U("Fichier son introuvable : %1").arg(QDir::toNativeSeparators(path));
        return;
    }
    Computing = true;
    Progress = 0;
    Cancel = false;
    ProgressTimer->start();
    // Even the header is read behind the window: the file may be slow to answer.
    WorkerResult = std::make_unique<Envelope>();
    WorkerSound = std::make_shared<sound::Samples>();
    Envelope* into = WorkerResult.get();
    sound::Samples* samples = WorkerSound.get();
    const std::string file = Data.SoundPath;
    const int generation = ++Generation;
    Worker = std::thread([this, into, samples, file, path, generation] {
#ifdef __linux__
        // Behind the window's own thread: an edit made meanwhile must not wait for it.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 10);
#endif
        const WaveRead r = sound::Decode(file, *samples, &Progress, &Cancel);
        if (r == WaveRead::Read)
            *into = sound::EnvelopeOf(*samples);
        if (r != WaveRead::Cancelled)
            QMetaObject::invokeMethod(
                this,
                [this, r, path, generation] {
                    // One that ended as it was being replaced is not this sound's.
                    if (generation == Generation)
                        WaveDone(static_cast<int>(r), path);
                },
                Qt::QueuedConnection);
    });
}

void TMusique::WaveFailed(const QString& path, const QString& why) {
    StopWave();
    ShowError(Window, U(MsgSoundNotReadable).arg(QFileInfo(path).fileName(), why));
    if (Previous) {
        // A sound refused on attaching leaves the one attached before.
        Data.SoundPath = Previous->Path;
        WaveEnvelope = std::move(Previous->Wave);
        Sound = std::move(Previous->Sound);
        // Nothing changed after all.
        if (!Previous->WasModified && Program())
            Program()->Document().SetModified(false);
        Previous.reset();
        emit Changed();
        return;
    }
    Note = U("Onde sonore indisponible : %1").arg(why);
    emit Changed();
}

void TMusique::WaveDone(int result, const QString& path) {
    if (Worker.joinable())
        Worker.join();
    ProgressTimer->stop();
    Computing = false;
    if (path != Q(Data.SoundPath))
        return; // a sound since replaced
    const auto r = static_cast<WaveRead>(result);
    if (r == WaveRead::Read && WorkerResult && WorkerResult->Frames > 0) {
        WaveEnvelope = std::move(*WorkerResult);
        Sound = std::move(WorkerSound);
        WorkerResult.reset();
        Previous.reset();
        emit Changed();
        return;
    }
    WaveFailed(path, r == WaveRead::Read ? U(MsgNoSound) : WhyNotRead(r, path));
}

void TMusique::StopWave() {
    Cancel = true;
    if (Worker.joinable())
        Worker.join();
    WorkerResult.reset();
    WorkerSound.reset();
    if (ProgressTimer)
        ProgressTimer->stop();
    Computing = false;
}

void TMusique::WaitForWave() {
    while (Computing)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
}

// ---------------------------------------------------------------------------------------
// Playing

bool TMusique::Playing() const {
    return Out && Out->Playing();
}

double TMusique::Head() const {
    return HeadAt(std::chrono::steady_clock::now());
}

double TMusique::HeadAt(sound::Instant when) const {
    return Playing() ? Out->Position(when) : HeadSeconds;
}

void TMusique::SetHead(double seconds) {
    HeadSeconds = std::max(0.0, seconds);
    if (Playing()) {
        QString why;
        if (!StartPlaying(why))
            HeadTimer->stop();
    }
    emit Changed();
}

bool TMusique::StartPlaying(QString& why) {
    if (Computing)
        WaitForWave();
    if (!Sound) {
        why = Note.isEmpty() ? U(MsgNotDecoded) : Note;
        return false;
    }
    if (!Out)
        Out = sound::MakeOutput();
    std::string reason;
    if (!Out->Play(Sound, HeadSeconds, reason)) {
        why = QString::fromStdString(reason);
        return false;
    }
    HeadTimer->start();
    emit Changed();
    return true;
}

void TMusique::StopPlaying() {
    if (!Out)
        return;
    if (Out->Playing())
        HeadSeconds = Out->Position();
    Out->Pause();
    if (HeadTimer)
        HeadTimer->stop();
    emit Changed();
}

void TMusique::TogglePlay() {
    if (!HasSound()) {
        ShowInformation(Window, U("Aucune musique n'est associée à ce programme."));
        return;
    }
    if (!IsSoundFile(Q(Data.SoundPath))) {
        ShowError(Window, U(MsgSoundMissing).arg(QDir::toNativeSeparators(Q(Data.SoundPath))));
        // The lane says so too, until the music is attached again.
        Note = U("Fichier son introuvable : %1").arg(QDir::toNativeSeparators(Q(Data.SoundPath)));
        emit Changed();
        return;
    }
    if (Playing()) {
        StopPlaying();
        return;
    }
    if (Computing)
        WaitForWave();
    if (!Sound) // the box that said why has been shown
        return;
    QString why;
    if (!StartPlaying(why))
        ShowInformation(Window, U(MsgNoOutput).arg(why));
}

// ---------------------------------------------------------------------------------------
// Commands

bool TMusique::Attach(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    if (!IsSoundFile(path)) {
        ShowError(Window, U(MsgSoundNotReadable).arg(name, Why(WaveRead::NotAccessible)));
        return false;
    }
    if (IsWave(path)) {
        WaveFormat format;
        const WaveRead r = ReadWaveFormat(path.toStdString(), format);
        if (r == WaveRead::NotAccessible) {
            ShowError(Window, U(MsgSoundNotReadable).arg(name, Why(r)));
            return false;
        }
    }
    // Kept until the new sound is read: a refused one puts it back.
    // Nothing attached counts as a state to go back to as well.
    Previous.reset();
    if (!Computing && (!HasSound() || Sound))
        Previous = Attached{Data.SoundPath, WaveEnvelope, Sound,
                            Program() && Program()->Document().Modified()};
    StopPlaying();
    Data.SoundPath = QFileInfo(path).absoluteFilePath().toStdString();
    HeadSeconds = 0;
    StartWave();
    Touch();
    return true;
}

void TMusique::Detach() {
    StopWave();
    StopPlaying();
    Previous.reset();
    Data.SoundPath.clear();
    WaveEnvelope = Envelope();
    Sound.reset();
    Note.clear();
    Touch();
}

void TMusique::Mark(sound::Instant when) {
    if (!HasSound()) {
        ShowInformation(Window, U("Aucune musique n'est associée à ce programme."));
        return;
    }
    MarkerEditor.Record();
    const double meant = CorrectedForTapLag(HeadAt(when), Data.TapLag);
    AddMarkers(Data.Markers, {{RoundToMillisecond(meant), std::string()}});
    Touch();
}

void TMusique::SetTapLag(double seconds) {
    const double lag = RoundToMillisecond(std::clamp(seconds, 0.0, MaxTapLag));
    if (lag == Data.TapLag)
        return;
    Data.TapLag = lag;
    Touch();
}

void TMusique::ImportMarkers(const QString& path) {
    std::string bytes;
    const QString name = QFileInfo(path).fileName();
    const SmallFileResult read = ReadSmallFile(path.toStdString(), MaxMusicFileBytes, bytes);
    if (read == SmallFileResult::TooLarge) {
        ShowError(Window,
                  U("Le fichier de repères « %1 » dépasse 8 Mo : il n'est pas lu.").arg(name));
        return;
    }
    if (read != SmallFileResult::Read) {
        ShowError(Window, U("Le fichier de repères « %1 » n'a pas pu être lu.").arg(name));
        return;
    }
    const LabelFile labels = ParseLabels(bytes);
    if (labels.Markers.empty() && labels.Bad.empty()) {
        ShowInformation(Window, U("Le fichier « %1 » ne contient aucun repère.").arg(name));
        return;
    }
    if (!labels.Bad.empty()) {
        QStringList lines;
        for (size_t i = 0; i < labels.Bad.size() && i < 12; ++i)
            lines << Q(labels.Bad[i]);
        if (labels.Bad.size() > 12)
            lines << U("… et %1 autres lignes").arg(labels.Bad.size() - 12);
        ShowWarning(Window, U(MsgLabelsBadLines).arg(labels.Markers.size()).arg(lines.join('\n')));
    }
    if (labels.Markers.empty())
        return;
    // Kept to the millisecond, as they are shown and written.
    std::vector<Marker> added = labels.Markers;
    for (Marker& m : added)
        m.Time = RoundToMillisecond(m.Time);
    MarkerEditor.Record();
    AddMarkers(Data.Markers, added);
    Touch();
}

std::vector<SequenceSpan> TMusique::Sequences() const {
    return Program() ? SequencesOf(Program()->Document().Channels()) : std::vector<SequenceSpan>();
}

std::vector<double> TMusique::Starts() const {
    return PlannedStarts(Sequences(), Data.Starts);
}

void TMusique::SetPlannedStart(int firstChannelIndex, double seconds) {
    Data.Starts[firstChannelIndex + 1] = RoundToMillisecond(std::max(0.0, seconds));
    LastFit.clear();
    Touch();
}

double TMusique::Snapped(double seconds, double reach) const {
    std::vector<double> times;
    times.reserve(Data.Markers.size());
    for (const Marker& m : Data.Markers)
        times.push_back(m.Time);
    return SnapTo(seconds, times, reach);
}

std::optional<std::pair<double, int>> TMusique::Residual(int channelIndex) const {
    auto it = FittedTo.find(channelIndex);
    if (it == FittedTo.end() || !Program())
        return std::nullopt;
    const std::vector<SequenceSpan> seq = Sequences();
    const int s = SequenceOfChannel(seq, channelIndex);
    if (s < 0 || seq[static_cast<size_t>(s)].First == channelIndex)
        return std::nullopt;
    ChannelTable copy;
    copy.CopyTableFrom(Program()->Document().Channels());
    const double fired =
        Starts()[static_cast<size_t>(s)] + copy.GetChannelTime(channelIndex) + Lift(channelIndex);
    int number = 0;
    for (size_t i = 0; i < Data.Markers.size(); ++i)
        if (Data.Markers[i].Time == it->second)
            number = static_cast<int>(i) + 1;
    if (number == 0)
        return std::nullopt; // its marker has since moved or gone: the channel fits nothing now
    return std::make_pair(fired - it->second, number);
}

double TMusique::Lift(int channelIndex) const {
    auto it = Beyond.Channels.find(channelIndex + 1);
    if (it == Beyond.Channels.end() || !it->second.Item.LiftMs)
        return 0;
    return std::max<int64_t>(0, *it->second.Item.LiftMs) / 1000.0;
}

LiftMap TMusique::Lifts() const {
    LiftMap out;
    for (const auto& [number, product] : Beyond.Channels)
        if (product.Item.LiftMs && *product.Item.LiftMs > 0)
            out[number] = *product.Item.LiftMs;
    return out;
}

QString TMusique::FitSequence(int channelIndex) {
    if (!Program())
        return QString();
    const std::vector<SequenceSpan> seq = Sequences();
    const int s = SequenceOfChannel(seq, channelIndex);
    if (s < 0)
        return QString();
    const SequenceSpan span = seq[static_cast<size_t>(s)];
    const double start = Starts()[static_cast<size_t>(s)];
    ChannelTable copy;
    copy.CopyTableFrom(Program()->Document().Channels());
    // The manual channel is ignited at the press whatever its lift: only the chain after it moves.
    std::vector<double> lifts;
    bool lifted = false;
    for (int c = span.First + 1; c <= span.Last; ++c) {
        lifts.push_back(Lift(c));
        lifted = lifted || lifts.back() > 0;
    }
    const ChainFit fit = FitChain(start, copy.GetChannelTime(span.First), span.Last - span.First,
                                  Data.Markers, lifts);
    if (fit.Problem != FitProblem::None) {
        ShowWarning(Window,
                    Q(FitProblemText(fit, Data.Markers, start, span.First + 1, Separator())));
        return QString();
    }
    // Through the editor's own rules, channel after channel, as if typed.
    for (size_t k = 0; k < fit.Times.size(); ++k)
        Program()->Document().ApplyChannelTime(span.First + 1 + static_cast<int>(k), fit.Times[k]);
    Data.Starts[span.First + 1] = start; // no longer moved by the sequences before it
    std::vector<double> fired;
    copy.CopyTableFrom(Program()->Document().Channels());
    for (size_t k = 0; k < fit.Times.size(); ++k) {
        const int channel = span.First + 1 + static_cast<int>(k);
        fired.push_back(copy.GetChannelTime(channel));
        FittedTo[channel] = Data.Markers[static_cast<size_t>(fit.MarkerIndexes[k])].Time;
    }
    const double largest =
        LargestResidual(FitResiduals(start, fired, Data.Markers, fit.MarkerIndexes, lifts));
    LastFit = U(lifted ? MsgLargestResidualLift : MsgLargestResidual)
                  .arg(Q(FormatResidual(largest, Separator(), false)));
    Touch();
    return LastFit;
}

// ---------------------------------------------------------------------------------------
// The companion file

void TMusique::LoadFor(const QString& programPath) {
    const std::string program = programPath.toStdString();
    const QString name = QFileInfo(Q(CompanionName(program))).fileName();
    ShowData read;
    const MusicReadResult r = ReadShowFile(program, read);
    switch (r.Status) {
    case MusicRead::None:
        return;
    case MusicRead::Unreadable:
        ShowError(Window, U(MsgMusicUnreadable).arg(name));
        return;
    case MusicRead::Invalid:
        ShowError(Window, U(MsgMusicInvalid).arg(name).arg(r.Line));
        return;
    case MusicRead::TooLarge:
        ShowError(Window, U(MsgMusicTooLarge).arg(name));
        return;
    case MusicRead::Read:
        break;
    }
    Data = std::move(read.Music);
    read.Music = MusicData();
    Beyond = std::move(read);
    Previous.reset();
    MarkerEditor.Forget();
    LastFit.clear();
    FittedTo.clear();
    HeadSeconds = 0;
    if (HasSound() && !IsSoundFile(Q(Data.SoundPath)))
        ShowError(Window, U(MsgSoundMissing).arg(QDir::toNativeSeparators(Q(Data.SoundPath))));
    StartWave();
    emit Changed();
}

ShowData TMusique::Show() const {
    ShowData show = Beyond;
    show.Music = Data;
    return show;
}

bool TMusique::SaveFor(const QString& programPath) {
    return SaveData(Window.data(), Show(), programPath);
}

bool TMusique::SaveData(QWidget* parent, const ShowData& show, const QString& programPath) {
    const std::string program = programPath.toStdString();
    if (WriteShowFile(show, program) != MusicWrite::Failed)
        return true;
    ShowError(parent, U(MsgMusicNotWritten).arg(QFileInfo(Q(CompanionName(program))).fileName()));
    return false;
}
