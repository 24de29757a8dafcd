#include "ui/music/TRepetition.h"
#include "ui/common/Strings.h"

#include "model/music/MusicFit.h"
#include "model/music/TapLag.h"
#include "model/program/TimeText.h"
#include "ui/common/Messages.h"
#include "ui/music/EventTime.h"
#include "ui/music/MusicProgram.h"
#include "ui/music/TMusique.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStringList>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace salvo;
using namespace salvo::ui;

namespace {

// A channel stays lit this long after it fires.
constexpr double LitSeconds = 0.6;

// The music's own output: its position is the sample clock of what is heard.
class PlayerClock : public RehearsalClock {
public:
    explicit PlayerClock(TMusique* music) : Music(music) {}
    double Position() override { return Music ? Music->Head() : 0; }
    double PositionAt(sound::Instant when) override { return Music ? Music->HeadAt(when) : 0; }
    double Duration() override { return Music ? Music->SoundDuration() : 0; }
    bool Playing() override { return Music && Music->Playing(); }
    void Play() override {
        Why.clear();
        if (Music && !Music->Playing() && !Music->StartPlaying(Why) && Why.isEmpty())
            Why = QStringLiteral("?");
    }
    void Pause() override {
        if (Music)
            Music->StopPlaying();
    }
    void Seek(double seconds) override {
        if (Music)
            Music->SetHead(seconds);
    }
    QString Failure() const override { return Why; }

private:
    QPointer<TMusique> Music;
    QString Why;
};

// When the music cannot be heard (no sound output), the rehearsal runs on the clock alone.
class SilentClock : public RehearsalClock {
public:
    SilentClock(double start, double length) : Base(start), Length(length) {}
    double Position() override {
        const double now = Running ? Base + Timer.nsecsElapsed() / 1e9 : Base;
        if (Running && now >= Length) {
            Base = Length;
            Running = false;
        }
        return std::min(now, Length);
    }
    double Duration() override { return Length; }
    bool Playing() override {
        Position();
        return Running;
    }
    void Play() override {
        Timer.start();
        Running = true;
    }
    void Pause() override {
        Base = Position();
        Running = false;
    }
    void Seek(double seconds) override {
        Base = seconds;
        Timer.start();
    }

private:
    double Base, Length;
    bool Running = false;
    QElapsedTimer Timer;
};

QPushButton* Button(const char* name, const char* text, QWidget* parent) {
    auto* b = new QPushButton(U(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setFocusPolicy(Qt::NoFocus); // Space belongs to the "Feu !" of the dialog
    b->setAutoDefault(false);
    return b;
}

} // namespace

TRepetition::TRepetition(MusicProgram* program, TMusique* music,
                         std::unique_ptr<RehearsalClock> clock, QWidget* parent)
    : QDialog(parent), Owner(program), Window(program->ProgramWindow()), Music(music),
      Clock(clock ? std::move(clock) : std::make_unique<PlayerClock>(music)),
      Rehearsal(std::make_unique<RehearsalRun>(
          RehearsalSequences(program->Document().Channels(), music->Data.Starts, music->Lifts()))) {
    setObjectName(QStringLiteral("TRepetition"));
    setWindowTitle(U("Répétition"));
    Pages = new QStackedWidget(this);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Pages);

    // The rehearsal.
    auto* play = new QWidget(Pages);
    auto* v = new QVBoxLayout(play);
    auto* from = new QHBoxLayout;
    RadioDebut = new QRadioButton(U("Depuis le &début"), play);
    RadioDebut->setObjectName(QStringLiteral("RadioDebut"));
    RadioTete = new QRadioButton(
        U("Depuis la &tête de lecture (%1 s)").arg(Seconds(Clock->Position())), play);
    RadioTete->setObjectName(QStringLiteral("RadioTete"));
    RadioDebut->setChecked(true);
    for (QRadioButton* r : {RadioDebut, RadioTete}) {
        r->setFocusPolicy(Qt::NoFocus);
        from->addWidget(r);
    }
    from->addStretch();
    v->addLayout(from);
    // Shown only once the music could not be played, with the system's reason.
    LabelSansSon = new QLabel(play);
    LabelSansSon->setObjectName(QStringLiteral("LabelSansSon"));
    LabelSansSon->setWordWrap(true);
    LabelSansSon->hide();
    v->addWidget(LabelSansSon);
    LabelProchaine = new QLabel(play);
    LabelProchaine->setObjectName(QStringLiteral("LabelProchaine"));
    QFont big = LabelProchaine->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    LabelProchaine->setFont(big);
    v->addWidget(LabelProchaine);
    LabelDecompte = new QLabel(play);
    LabelDecompte->setObjectName(QStringLiteral("LabelDecompte"));
    QFont huge = big;
    huge.setPointSizeF(big.pointSizeF() * 2.5);
    huge.setBold(true);
    LabelDecompte->setFont(huge);
    LabelDecompte->setAlignment(Qt::AlignCenter);
    v->addWidget(LabelDecompte);
    ButtonFeu = Button("ButtonFeu", "Feu !", play);
    ButtonFeu->setFont(huge);
    ButtonFeu->setMinimumHeight(90);
    ButtonFeu->setStyleSheet(QStringLiteral("QPushButton { background: #c0392b; color: white; }"));
    ButtonFeu->setToolTip(U("Lancer la séquence suivante (Espace)"));
    v->addWidget(ButtonFeu);
    auto* where = new QHBoxLayout;
    Position = new QSlider(Qt::Horizontal, play);
    Position->setObjectName(QStringLiteral("Position"));
    Position->setFocusPolicy(Qt::NoFocus);
    Position->setRange(0, int(std::ceil(std::max(1.0, Clock->Duration()) * 10)));
    LabelPosition = new QLabel(play);
    LabelPosition->setObjectName(QStringLiteral("LabelPosition"));
    where->addWidget(Position, 1);
    where->addWidget(LabelPosition);
    v->addLayout(where);
    auto* controls = new QHBoxLayout;
    ButtonLecture = Button("ButtonLecture", "&Lecture", play);
    CheckBoucle = new QCheckBox(U("&Boucle de"), play);
    CheckBoucle->setObjectName(QStringLiteral("CheckBoucle"));
    CheckBoucle->setFocusPolicy(Qt::NoFocus);
    BoucleDebut = new QDoubleSpinBox(play);
    BoucleDebut->setObjectName(QStringLiteral("BoucleDebut"));
    BoucleFin = new QDoubleSpinBox(play);
    BoucleFin->setObjectName(QStringLiteral("BoucleFin"));
    for (QDoubleSpinBox* b : {BoucleDebut, BoucleFin}) {
        b->setDecimals(1);
        b->setRange(0, std::max(1.0, Clock->Duration()));
        b->setSuffix(QStringLiteral(" s"));
        b->setFocusPolicy(Qt::ClickFocus);
        b->installEventFilter(this); // Space presses "Feu !" there too
    }
    BoucleFin->setValue(BoucleFin->maximum());
    ButtonArreter = Button("ButtonArreter", "&Arrêter", play);
    controls->addWidget(ButtonLecture);
    controls->addSpacing(12);
    controls->addWidget(CheckBoucle);
    controls->addWidget(BoucleDebut);
    controls->addWidget(new QLabel(U("à"), play));
    controls->addWidget(BoucleFin);
    controls->addStretch();
    controls->addWidget(ButtonArreter);
    v->addLayout(controls);
    Pages->addWidget(play);

    // The score.
    auto* score = new QWidget(Pages);
    auto* s = new QVBoxLayout(score);
    TableauScore = new QTableWidget(0, 5, score);
    TableauScore->setObjectName(QStringLiteral("TableauScore"));
    TableauScore->setHorizontalHeaderLabels(
        {U("Séquence"), U("Début prévu (s)"), U("Appui (s)"), U("Écart (s)"), QString()});
    TableauScore->verticalHeader()->hide();
    TableauScore->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableauScore->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TableauScore->horizontalHeader()->setStretchLastSection(true);
    s->addWidget(TableauScore);
    LabelResume = new QLabel(score);
    LabelResume->setObjectName(QStringLiteral("LabelResume"));
    s->addWidget(LabelResume);
    auto* end = new QHBoxLayout;
    ButtonAdopter = Button("ButtonAdopter", "Adopter ces temps", score);
    ButtonAdopter->setToolTip(U("Faire des instants d'appui les débuts prévus des séquences"));
    auto* close = Button("ButtonFermer", "Fermer", score);
    end->addStretch();
    end->addWidget(ButtonAdopter);
    end->addWidget(close);
    s->addLayout(end);
    Pages->addWidget(score);

    Frame = new QTimer(this);
    Frame->setTimerType(Qt::PreciseTimer);
    Frame->setInterval(16);
    connect(Frame, &QTimer::timeout, this, &TRepetition::Tick);
    connect(ButtonFeu, &QPushButton::clicked, this, [this] { Press(); });
    connect(ButtonLecture, &QPushButton::clicked, this, &TRepetition::PlayPause);
    connect(ButtonArreter, &QPushButton::clicked, this, &TRepetition::Stop);
    connect(ButtonAdopter, &QPushButton::clicked, this, &TRepetition::Adopt);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    // A drag seeks when let go; a click beside the handle at once, once the slider has moved.
    connect(Position, &QSlider::sliderReleased, this, [this] { Seek(Position->value() / 10.0); });
    connect(Position, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            QTimer::singleShot(0, this, [this] { Seek(Position->value() / 10.0); });
    });
    ShowNext(RadioTete->isChecked() ? Clock->Position() : 0);
    resize(600, 380);
}

TRepetition::~TRepetition() {
    if (Program())
        Program()->LightChannels({});
}

QString TRepetition::Seconds(double s) const {
    return QString::fromStdString(
        FormatResidual(s, Program() ? Program()->Document().DecimalSeparator() : ',', false));
}

void TRepetition::ShowNext(double position) {
    const int next = Rehearsal->Next();
    if (next < 0) {
        LabelProchaine->setText(U("Plus de séquence à lancer"));
        LabelDecompte->setText(U("–"));
    } else {
        const RehearsalSequence& s = Rehearsal->Sequences()[size_t(next)];
        LabelProchaine->setText(
            U("Prochaine : séquence %1 (voie %2), à %3 s")
                .arg(s.Number)
                .arg(s.ManualChannel + 1)
                .arg(QString::fromStdString(FormatMilliseconds(
                    s.Planned, Program() ? Program()->Document().DecimalSeparator() : ','))));
        const double left = *Rehearsal->Countdown(position);
        // Counted down in tenths, as a stopwatch: "0,0" is the moment.
        const double tenths = std::ceil(std::max(0.0, left) * 10 - 1e-9) / 10;
        QString text = QString::number(tenths, 'f', 1);
        text.replace(QLatin1Char('.'),
                     QLatin1Char(Program() ? Program()->Document().DecimalSeparator() : ','));
        LabelDecompte->setText(left < 0 ? U("%1 s de retard").arg(Seconds(-left)) : text);
    }
    if (!Position->isSliderDown())
        Position->setValue(int(std::lround(position * 10)));
    LabelPosition->setText(U("%1 / %2 s").arg(Seconds(position), Seconds(Clock->Duration())));
}

void TRepetition::PlayPause() {
    if (Finished)
        return;
    if (!Started) {
        Started = true;
        const double start = RadioTete->isChecked() ? Clock->Position() : 0;
        RadioDebut->setEnabled(false);
        RadioTete->setEnabled(false);
        Clock->Seek(start);
        Rehearsal->Seek(start);
    }
    if (Clock->Playing()) {
        Clock->Pause();
        Frame->stop();
        ButtonLecture->setText(U("&Lecture"));
    } else {
        Clock->Play();
        if (!Clock->Playing() && !Clock->Failure().isEmpty()) {
            GoSilent(Clock->Failure());
            Clock->Play();
        }
        if (!Clock->Playing())
            return;
        Frame->start();
        ButtonLecture->setText(U("&Pause"));
    }
}

void TRepetition::GoSilent(const QString& why) {
    const double at = Clock->Position();
    Silent = true;
    Clock = std::make_unique<SilentClock>(at, Music ? Music->SoundDuration() : 0);
    LabelSansSon->setText(U("Aucune sortie son sur cet ordinateur : la répétition suit "
                            "l'horloge, sans la musique (%1).")
                              .arg(why));
    LabelSansSon->show();
}

void TRepetition::Seek(double seconds) {
    if (Finished)
        return;
    Clock->Seek(seconds);
    Rehearsal->Seek(seconds);
    if (Program())
        Program()->LightChannels({});
    ShowNext(seconds);
}

void TRepetition::Tick() {
    if (Finished)
        return;
    double now = Clock->Position();
    if (CheckBoucle->isChecked() && BoucleFin->value() > BoucleDebut->value() &&
        now >= BoucleFin->value()) {
        Seek(BoucleDebut->value());
        return;
    }
    if (Silent && Music)
        Music->SetHead(now); // the timeline's play head follows the silent clock
    for (const RehearsalRun::Fired& f : Rehearsal->Advance(now))
        Fired[f.Channel] = now;
    QSet<int> lit;
    for (const auto& [channel, at] : Fired)
        if (now - at < LitSeconds && now >= at)
            lit.insert(channel + 1);
    if (Program())
        Program()->LightChannels(lit);
    ShowNext(now);
    // The music has ended (the player stops by itself at its end).
    if (!Clock->Playing() || (Clock->Duration() > 0 && now >= Clock->Duration()))
        ShowScore();
}

void TRepetition::Press() {
    Press(std::chrono::steady_clock::now());
}

void TRepetition::Press(sound::Instant when) {
    if (Finished)
        return;
    if (!Started) { // the first press starts the music, as "Lecture" would
        PlayPause();
        return;
    }
    if (!Clock->Playing()) // paused: a press means nothing without the music
        return;
    // Where the operator meant to press: what was heard, less their own tap lag.
    const double lag = Music ? Music->TapLag() : 0;
    if (Rehearsal->Press(CorrectedForTapLag(Clock->PositionAt(when), lag)) >= 0)
        Tick();
}

void TRepetition::Stop() {
    if (!Finished)
        ShowScore();
}

void TRepetition::ShowScore() {
    Finished = true;
    Frame->stop();
    Clock->Pause();
    if (Program())
        Program()->LightChannels({});
    const char sep = Program() ? Program()->Document().DecimalSeparator() : ',';
    Result = ScoreOf(Rehearsal->Sequences(), Rehearsal->Presses());
    TableauScore->setRowCount(int(Result.Rows.size()));
    auto cell = [this](int row, int column, const QString& text, bool right = true) {
        auto* item = new QTableWidgetItem(text);
        item->setTextAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        TableauScore->setItem(row, column, item);
    };
    for (size_t r = 0; r < Result.Rows.size(); ++r) {
        const ScoreRow& row = Result.Rows[r];
        const int i = int(r);
        cell(i, 0, U("%1 (voie %2)").arg(row.Number).arg(row.ManualChannel + 1), false);
        cell(i, 1, QString::fromStdString(FormatMilliseconds(row.Planned, sep)));
        cell(i, 2, row.Pressed ? Seconds(*row.Pressed) : U("–"));
        cell(i, 3, row.Gap ? QString::fromStdString(GapText(*row.Gap, sep)) : U("–"));
        cell(i, 4, row.Gap ? QString::fromStdString(GapVerdict(*row.Gap)) : U("non lancée"), false);
        if (row.Gap && std::fabs(*row.Gap) >= 0.5)
            TableauScore->item(i, 3)->setForeground(QColor(190, 30, 30));
    }
    LabelResume->setText(QString::fromStdString(ScoreSummary(Result, sep)));
    ButtonAdopter->setEnabled(Result.PressedCount > 0);
    Pages->setCurrentIndex(1);
}

void TRepetition::Adopt() {
    if (!Music || !Program())
        return;
    const PlannedStartMap adopted = AdoptedStarts(Result, Music->Data.Starts);
    // The sequences that sit on their markers now and would no longer once moved.
    const std::vector<SequenceSpan> sequences = Music->Sequences();
    const std::vector<double> before = Music->Starts();
    PlannedStartMap rounded;
    for (const auto& [channel, start] : adopted)
        rounded[channel] = RoundToMillisecond(start); // as the companion file writes them
    const std::vector<double> after = PlannedStarts(sequences, rounded);
    ChannelTable table;
    table.CopyTableFrom(Program()->Document().Channels());
    std::vector<size_t> leaving;
    QStringList named;
    for (size_t s = 0; s < sequences.size() && s < after.size(); ++s) {
        std::vector<double> times;
        for (int c = sequences[s].First + 1; c <= sequences[s].Last; ++c)
            times.push_back(table.GetChannelTime(c) + Music->Lift(c)); // fitted by their effects
        if (after[s] != before[s] && SitsOnMarkers(before[s], times, Music->Data.Markers) &&
            !SitsOnMarkers(after[s], times, Music->Data.Markers)) {
            leaving.push_back(s);
            named << U("%1 (voie %2)").arg(s + 1).arg(sequences[s].First + 1);
        }
    }
    QString text = U("Les instants d'appui de cette répétition deviennent les débuts prévus des "
                     "%1 séquences lancées.")
                       .arg(Result.PressedCount);
    std::vector<BoxButton> buttons = {BoxButton::Yes, BoxButton::No};
    if (leaving.empty()) {
        text += U("\n\nAdopter ces temps ?");
    } else {
        const QString list = named.size() == 1 ? named[0]
                                               : named.mid(0, named.size() - 1).join(U(", ")) +
                                                     U(" et ") + named.back();
        text += (named.size() == 1 ? U("\n\nLa séquence %1 ne sera plus calée sur ses repères.")
                                   : U("\n\nLes séquences %1 ne seront plus calées sur leurs "
                                       "repères."))
                    .arg(list);
        text += U("\n\nOui : adopter ces temps et caler de nouveau %1 sur les repères ;\nNon : "
                  "adopter ces temps sans caler ;\nAnnuler : ne rien changer.")
                    .arg(named.size() == 1 ? U("cette séquence") : U("ces séquences"));
        buttons.push_back(BoxButton::Cancel);
    }
    const BoxButton answer = ShowBox(this, BoxKind::Confirmation, text, buttons);
    if (answer == BoxButton::Cancel || (leaving.empty() && answer != BoxButton::Yes))
        return;
    for (const auto& [channel, start] : rounded)
        Music->SetPlannedStart(channel - 1, start);
    ButtonAdopter->setEnabled(false);
    if (answer == BoxButton::Yes)
        for (size_t s : leaving)
            Music->FitSequence(sequences[s].First);
}

bool TRepetition::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
            Press(EventInstant(static_cast<QKeyEvent*>(event)));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TRepetition::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        Press(EventInstant(event));
        return;
    }
    QDialog::keyPressEvent(event);
}

void TRepetition::done(int result) {
    Frame->stop();
    if (Started && !Finished)
        Clock->Pause();
    QDialog::done(result);
}
