#pragma once
// The music of one editor window's program: the sound file and its envelope, the markers, the
// planned start of each sequence, the play head and the player. It lives as a child of the
// editor window, is saved beside the program file, and is drawn by the window's timeline.

#include "model/music/MarkerEdits.h"
#include "model/music/MusicFile.h"
#include "model/music/Rehearsal.h"
#include "model/music/SoundEnvelope.h"
#include "model/products/ShowFile.h"
#include "sound/Sound.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <thread>

class QTimer;
class QWidget;
class MusicProgram;

class TMusique : public QObject {
    Q_OBJECT
public:
    // The music of a program; made on first use when create is set.
    static TMusique* Of(MusicProgram* program, bool create = true);

    explicit TMusique(MusicProgram* program);
    ~TMusique() override;

    salvo::MusicData Data;
    // The rest of the show's companion file (the channels' products, the declaration), kept as
    // read and written back with the music: nothing a window does not edit is lost.
    salvo::ShowData Beyond;
    // After Beyond was changed by a window: the show is modified.
    void BeyondEdited() { Touch(); }
    // Whether there is anything to keep beside the program.
    bool Holds() const { return !Data.Empty() || !Beyond.Empty(); }

    // The markers as the user fixes them (select, move, rename, delete, add, take back); after
    // an edit through it, MarkersEdited() marks the show modified and draws it again.
    salvo::MarkerEdits& Markers() { return MarkerEditor; }
    const salvo::MarkerEdits& Markers() const { return MarkerEditor; }
    void MarkersEdited();
    // The program's decimal separator, for the times shown.
    char Separator() const;

    // Whether there is anything to draw under the timeline (a tap lag alone draws nothing).
    bool Active() const { return HasSound() || !Data.Starts.empty() || !Data.Markers.empty(); }
    bool HasSound() const { return !Data.SoundPath.empty(); }
    const salvo::Envelope& Wave() const { return WaveEnvelope; }
    // While the envelope is computed: 0 to 1; nullopt when it is not.
    std::optional<double> WaveProgress() const;
    // What the sound lane says instead of a waveform ("" when it shows one).
    QString WaveNote() const { return Note; }
    double SoundDuration() const;

    // The second of the music heard now, or at a given instant while it plays.
    double Head() const;
    double HeadAt(salvo::sound::Instant when) const;
    void SetHead(double seconds);
    bool Playing() const;
    // Starts the music from the play head without a box; false, with the reason, when the
    // sound cannot be played (not decoded, or no output).
    bool StartPlaying(QString& why);
    void StopPlaying();

    // The planned start of each sequence of the program, in channel order.
    std::vector<salvo::SequenceSpan> Sequences() const;
    std::vector<double> Starts() const;
    void SetPlannedStart(int firstChannelIndex, double seconds);
    // The marker time within reach of t, or t.
    double Snapped(double seconds, double reach) const;
    // A channel's lift time (0-based index) from its product, in seconds; 0 when unknown.
    double Lift(int channelIndex) const;
    salvo::LiftMap Lifts() const;
    // A fitted channel's signed gap (of its effect) from its marker, and that marker's number.
    std::optional<std::pair<double, int>> Residual(int channelIndex) const;

    // The commands of the "Musique" menu; each shows its own boxes.
    bool Attach(const QString& path);
    void Detach();
    void TogglePlay();
    // A marker at the music heard at the given instant (a key press's own time), less the
    // operator's tap lag.
    void Mark(salvo::sound::Instant when = std::chrono::steady_clock::now());
    // The operator's tap lag, in seconds (0 to salvo::MaxTapLag), kept to the millisecond.
    double TapLag() const { return Data.TapLag; }
    void SetTapLag(double seconds);
    void ImportMarkers(const QString& path);
    // Fits the sequence holding channelIndex; returns the status line text ("" when refused).
    QString FitSequence(int channelIndex);
    // That text of the last fit, kept in view under the timeline until a start or a marker moves.
    QString FitNote() const { return LastFit; }

    // The companion file of the program at programPath.
    void LoadFor(const QString& programPath);
    bool SaveFor(const QString& programPath);
    // Writes music beside programPath; false, after an error box, when it could not.
    static bool SaveData(QWidget* parent, const salvo::ShowData& show, const QString& programPath);
    // The music and the rest, as written.
    salvo::ShowData Show() const;

    // Waits for the envelope (tests, and a sound replaced while being read).
    void WaitForWave();
    // The French reason a sound file is not read.
    static QString WhyNotRead(salvo::WaveRead result, const QString& path);
    // The output, once the music has been played (figures and tests).
    const salvo::sound::Output* SoundOutput() const { return Out.get(); }

signals:
    void Changed();

private:
    void Touch();
    void StartWave();
    void WaveFailed(const QString& path, const QString& why);
    void StopWave();
    void WaveDone(int result, const QString& path);

    // The program, while its window lives.
    MusicProgram* Program() const { return Window ? Owner : nullptr; }
    MusicProgram* Owner = nullptr;
    QPointer<QWidget> Window;
    salvo::MarkerEdits MarkerEditor{Data.Markers};
    salvo::Envelope WaveEnvelope;
    QString Note;
    QString LastFit;
    double HeadSeconds = 0;
    std::map<int, double> FittedTo; // channel index -> marker time

    // The envelope being computed.
    std::thread Worker;
    std::atomic<double> Progress{0};
    std::atomic<bool> Cancel{false};
    bool Computing = false;
    int Generation = 0; // of the computation under way
    std::unique_ptr<salvo::Envelope> WorkerResult;
    std::shared_ptr<salvo::sound::Samples> WorkerSound;
    QTimer* ProgressTimer = nullptr;

    // What was attached before a sound still being read: back in place if that one is refused.
    struct Attached {
        std::string Path;
        salvo::Envelope Wave;
        std::shared_ptr<const salvo::sound::Samples> Sound;
        bool WasModified = false;
    };
    std::optional<Attached> Previous;

    std::shared_ptr<const salvo::sound::Samples> Sound; // decoded, for the output
    std::unique_ptr<salvo::sound::Output> Out;          // made on the first play
    QTimer* HeadTimer = nullptr;
};

// Texts of the music's boxes and status lines.
extern const char* const MsgSoundNotReadable;    // %1: the file's name, %2: why
extern const char* const MsgLabelsBadLines;      // %1: how many read, %2: the bad lines
extern const char* const MsgLargestResidual;     // %1: seconds
extern const char* const MsgLargestResidualLift; // the same, effects fitted with lift times
