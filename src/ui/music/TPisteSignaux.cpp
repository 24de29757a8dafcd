#include "ui/music/TPisteSignaux.h"
#include "ui/common/Strings.h"

#include "model/io/SafeFile.h"
#include "model/music/Rehearsal.h"
#include "sound/Sound.h"
#include "ui/common/Messages.h"
#include "ui/music/MusicProgram.h"
#include "ui/music/TMusique.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace salvo;
using namespace salvo::ui;

const char* const MsgCueTrackWritten = "Piste de signaux enregistrée : %1";

namespace {

std::vector<int16_t> Word(const QString& name, int rate) {
    QFile file(QStringLiteral(":/cues/%1.wav").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<int16_t> samples;
    int from = 0;
    if (!MonoSamplesOfWave(bytes.toStdString(), samples, from))
        return {};
    // Without the recording's silences, "feu" begins where it is placed.
    return Resample(TrimSilence(samples), from, rate);
}

// A sound the platform decodes (MP3, OGG, FLAC...), held in memory as one channel.
class DecodedSource : public MusicSource {
public:
    int Rate() const override { return SampleRate; }
    int64_t Frames() const override { return static_cast<int64_t>(Samples.size()); }
    long long ReadMono(int16_t* into, size_t count) override {
        const size_t n = std::min(count, Samples.size() - At);
        std::copy_n(Samples.begin() + static_cast<long>(At), n, into);
        At += n;
        return static_cast<long long>(n);
    }

    // False, with the reason, when the sound cannot be decoded.
    bool Decode(const QString& path, QString& why) {
        sound::Samples decoded;
        const WaveRead r = sound::Decode(path.toStdString(), decoded);
        if (r != WaveRead::Read) {
            why = TMusique::WhyNotRead(r, path);
            return false;
        }
        SampleRate = decoded.Rate;
        const size_t channels = static_cast<size_t>(decoded.Channels);
        Samples.resize(decoded.Data.size() / channels);
        for (size_t f = 0; f < Samples.size(); ++f) {
            int sum = 0;
            for (size_t c = 0; c < channels; ++c)
                sum += decoded.Data[f * channels + c];
            Samples[f] = static_cast<int16_t>(sum / static_cast<int>(channels));
        }
        return true;
    }

private:
    std::vector<int16_t> Samples;
    int SampleRate = 0;
    size_t At = 0;
};

std::vector<CueStart> StartsOf(MusicProgram* program, TMusique* music) {
    std::vector<CueStart> starts;
    for (const RehearsalSequence& s :
         RehearsalSequences(program->Document().Channels(), music->Data.Starts))
        starts.push_back({s.Number, s.Planned});
    return starts;
}

} // namespace

CueVoice BuiltInVoice(int rate) {
    Q_INIT_RESOURCE(cue_words);
    CueVoice v;
    v.Sequence = Word(QStringLiteral("sequence"), rate);
    for (int n = 1; n <= MaxSpokenNumber; ++n)
        v.Numbers[size_t(n)] = Word(QStringLiteral("n%1").arg(n), rate);
    v.Three = Word(QStringLiteral("trois"), rate);
    v.Two = Word(QStringLiteral("deux"), rate);
    v.One = Word(QStringLiteral("un"), rate);
    v.Fire = Word(QStringLiteral("feu"), rate);
    return v;
}

TPisteSignaux::TPisteSignaux(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TPisteSignaux"));
    setWindowTitle(U("Piste de signaux"));
    auto* v = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    EditAvance = new QSpinBox(this);
    EditAvance->setObjectName(QStringLiteral("EditAvance"));
    EditAvance->setRange(MinLeadSeconds, MaxLeadSeconds);
    EditAvance->setValue(DefaultLeadSeconds);
    EditAvance->setSuffix(QStringLiteral(" s"));
    form->addRow(U("&Annonce de la séquence avant son départ :"), EditAvance);
    v->addLayout(form);
    RadioStereo = new QRadioButton(U("Musique à &gauche, décompte parlé à droite"), this);
    RadioStereo->setObjectName(QStringLiteral("RadioStereo"));
    RadioMono = new QRadioButton(U("Musique et décompte parlé &mélangés (mono)"), this);
    RadioMono->setObjectName(QStringLiteral("RadioMono"));
    RadioBips = new QRadioButton(U("Musique à gauche, &bips seulement à droite"), this);
    RadioBips->setObjectName(QStringLiteral("RadioBips"));
    RadioStereo->setChecked(true);
    for (QRadioButton* r : {RadioStereo, RadioMono, RadioBips})
        v->addWidget(r);
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(U("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("Validation"));
    auto* cancel = buttons->addButton(U("Annuler"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("BoutonAnulation"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);
}

int TPisteSignaux::Lead() const {
    return EditAvance->value();
}

CueVariant TPisteSignaux::Variant() const {
    if (RadioMono->isChecked())
        return CueVariant::MonoMix;
    return RadioBips->isChecked() ? CueVariant::BeepsOnly : CueVariant::Stereo;
}

QString WriteCueTrackFor(QWidget* parent, MusicProgram* program, TMusique* music,
                         const std::function<QString()>& askPath) {
    TPisteSignaux options(parent);
    if (options.exec() != QDialog::Accepted)
        return {};
    const int lead = options.Lead();
    const CueVariant variant = options.Variant();
    const char sep = program->Document().DecimalSeparator();

    std::vector<CueStart> starts = StartsOf(program, music);
    std::vector<CueConflict> conflicts = CueConflicts(starts, lead);
    if (!conflicts.empty()) {
        const BoxButton answer = ShowBox(
            parent, BoxKind::Confirmation,
            QString::fromStdString(ConflictText(starts, conflicts, lead, sep)) +
                U("\n\n« Oui » : la première voie de la seconde séquence devient une voie "
                  "automatique, avec le retard qui garde son départ.\n« Non » : la piste est "
                  "écrite avec des décomptes raccourcis."),
            {BoxButton::Yes, BoxButton::No, BoxButton::Cancel});
        if (answer == BoxButton::Cancel)
            return {};
        if (answer == BoxButton::Yes) {
            QStringList refused;
            // From the last pair back: joining a sequence leaves those before it in place.
            for (auto c = conflicts.rbegin(); c != conflicts.rend(); ++c) {
                const auto spans =
                    RehearsalSequences(program->Document().Channels(), music->Data.Starts);
                const int number = starts[size_t(c->Second)].Number;
                const int channel = spans[size_t(number - 1)].ManualChannel;
                const JoinResult r = JoinToPreviousSequence(
                    program->Document().Channels(), program->Document().ShownTimes(),
                    program->Document().Services(), sep, music->Data.Starts, channel);
                if (r == JoinResult::Joined)
                    program->Document().SetModified(true);
                else
                    refused << U("séquence %1 (voie %2) : %3")
                                   .arg(number)
                                   .arg(channel + 1)
                                   .arg(r == JoinResult::TooFar
                                            ? U("son retard dépasserait la limite")
                                            : U("elle partirait avant la fin de la précédente"));
            }
            emit music->Changed();
            if (!refused.isEmpty())
                ShowInformation(parent, U("Ces séquences ne peuvent pas devenir automatiques ; "
                                          "leur décompte sera raccourci :\n\n") +
                                            refused.join(QLatin1Char('\n')));
            starts = StartsOf(program, music);
        }
    }

    const QString path = askPath();
    if (path.isEmpty())
        return {};
    WaveFileSource wave;
    DecodedSource decoded;
    MusicSource* tune = nullptr;
    int rate = 44100;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (music->HasSound()) {
        const QString sound = QString::fromStdString(music->Data.SoundPath);
        QString why;
        // PCM WAV files are read as they are written; other sounds are decoded first. A pipe
        // or a device of that name is never opened.
        if (!IsFile(music->Data.SoundPath)) {
            why = U("le fichier est introuvable");
        } else if (wave.Open(music->Data.SoundPath)) {
            tune = &wave;
        } else if (decoded.Decode(sound, why)) {
            tune = &decoded;
        }
        if (!tune) {
            QApplication::restoreOverrideCursor();
            ShowWarning(parent, U("La musique « %1 » n'a pas pu être décodée (%2) : la piste ne "
                                  "contiendra que le décompte.")
                                    .arg(QDir::toNativeSeparators(sound), why));
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        if (tune)
            rate = tune->Rate();
    }
    const CueWrite written =
        WriteCueTrack(path.toStdString(), tune, starts, lead, BuiltInVoice(rate), variant, rate);
    QApplication::restoreOverrideCursor();
    const QString name = QFileInfo(path).fileName();
    switch (written) {
    case CueWrite::Written:
        return U(MsgCueTrackWritten).arg(name);
    case CueWrite::MusicUnreadable:
        ShowError(parent, U("La musique n'a pas pu être lue jusqu'au bout : la piste « %1 » "
                            "n'a pas été écrite.")
                              .arg(name));
        break;
    case CueWrite::NotWritten:
        ShowError(parent,
                  U("La piste « %1 » n'a pas pu être écrite.").arg(QDir::toNativeSeparators(path)));
        break;
    }
    return {};
}
