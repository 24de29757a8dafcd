#include "ui/music/TFrappe.h"
#include "ui/common/Strings.h"

#include "model/program/TimeText.h"
#include "ui/music/EventTime.h"
#include "ui/music/TMusique.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace salvo;

namespace {

constexpr int ClickRate = 44100;

} // namespace

TFrappe::TFrappe(TMusique* music, std::unique_ptr<sound::Output> output, QWidget* parent)
    : QDialog(parent), Music(music), Out(output ? std::move(output) : sound::MakeOutput()) {
    setObjectName(QStringLiteral("TFrappe"));
    WatchEventTimes();
    setWindowTitle(U("Régler la frappe"));
    auto* v = new QVBoxLayout(this);
    auto* consigne = new QLabel(
        U("Écoutez les clics et frappez Espace (ou « Frapper ») sur chacun, pendant %1 à %2 "
          "clics. Le retard médian de vos frappes sur les clics est proposé comme décalage : "
          "les repères posés à l'écoute et les appuis de la répétition en sont avancés.")
            .arg(MinTaps)
            .arg(MaxTaps),
        this);
    consigne->setObjectName(QStringLiteral("LabelConsigne"));
    consigne->setWordWrap(true);
    v->addWidget(consigne);
    // Shown only once the clicks could not be played, with the system's reason.
    LabelSansSon = new QLabel(this);
    LabelSansSon->setObjectName(QStringLiteral("LabelSansSon"));
    LabelSansSon->setWordWrap(true);
    LabelSansSon->hide();
    v->addWidget(LabelSansSon);

    auto* row = new QHBoxLayout;
    ButtonEcouter = new QPushButton(U("&Écouter les clics"), this);
    ButtonEcouter->setObjectName(QStringLiteral("ButtonEcouter"));
    ButtonFrapper = new QPushButton(U("Frapper"), this);
    ButtonFrapper->setObjectName(QStringLiteral("ButtonFrapper"));
    ButtonFrapper->setToolTip(U("Frapper sur le clic entendu (Espace)"));
    ButtonFrapper->setMinimumHeight(60);
    QFont big = ButtonFrapper->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    ButtonFrapper->setFont(big);
    for (QPushButton* b : {ButtonEcouter, ButtonFrapper}) {
        b->setFocusPolicy(Qt::NoFocus); // Space belongs to the taps
        b->setAutoDefault(false);
    }
    row->addWidget(ButtonEcouter);
    row->addWidget(ButtonFrapper, 1);
    v->addLayout(row);

    LabelFrappes = new QLabel(this);
    LabelFrappes->setObjectName(QStringLiteral("LabelFrappes"));
    v->addWidget(LabelFrappes);
    LabelDecalage = new QLabel(this);
    LabelDecalage->setObjectName(QStringLiteral("LabelDecalage"));
    QFont bold = LabelDecalage->font();
    bold.setBold(true);
    LabelDecalage->setFont(bold);
    v->addWidget(LabelDecalage);

    auto* form = new QFormLayout;
    EditDecalage = new QDoubleSpinBox(this);
    EditDecalage->setObjectName(QStringLiteral("EditDecalage"));
    EditDecalage->setDecimals(3);
    EditDecalage->setRange(0, MaxTapLag);
    EditDecalage->setSingleStep(0.005);
    EditDecalage->setSuffix(QStringLiteral(" s"));
    EditDecalage->setLocale(Music && Music->Separator() == '.' ? QLocale::c()
                                                               : QLocale(QLocale::French));
    EditDecalage->setValue(Music ? Music->TapLag() : 0);
    EditDecalage->setFocusPolicy(Qt::ClickFocus);
    EditDecalage->installEventFilter(this); // Space taps there too
    auto* label = new QLabel(U("&Décalage retenu :"), this);
    label->setBuddy(EditDecalage);
    form->addRow(label, EditDecalage);
    v->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("Boutons"));
    ButtonOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ButtonAnnuler"));
    cancel->setAutoDefault(false);
    for (QPushButton* b : {ButtonOK, cancel})
        b->setFocusPolicy(Qt::NoFocus);
    v->addWidget(buttons);

    Watch = new QTimer(this);
    Watch->setInterval(100);
    connect(Watch, &QTimer::timeout, this, [this] {
        if (!Out->Playing()) // the clicks have all been heard
            StopClicks();
    });
    connect(ButtonEcouter, &QPushButton::clicked, this, &TFrappe::Listen);
    connect(ButtonFrapper, &QPushButton::clicked, this,
            [this] { Tap(std::chrono::steady_clock::now()); });
    // A value typed replaces the measure under way.
    connect(EditDecalage, &QDoubleSpinBox::valueChanged, this, [this] {
        if (Setting)
            return;
        Kept.clear();
        Ignored = 0;
        ShowState();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (Music)
            Music->SetTapLag(Value());
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ShowState();
    setFocus();
}

TFrappe::~TFrappe() = default;

QString TFrappe::Seconds(double s) const {
    return Q(FormatMilliseconds(s, Music ? Music->Separator() : ','));
}

double TFrappe::Value() const {
    return RoundToMillisecond(EditDecalage->value());
}

void TFrappe::Listen() {
    if (Out->Playing()) {
        StopClicks();
        return;
    }
    if (Music)
        Music->StopPlaying(); // one sound at a time
    if (!Sound) {
        auto clicks = std::make_shared<sound::Samples>();
        clicks->Rate = ClickRate;
        clicks->Channels = 1;
        clicks->Data = ClickSamples(Track, ClickRate);
        Sound = std::move(clicks);
    }
    std::string why;
    if (!Out->Play(Sound, 0, why)) {
        LabelSansSon->setText(U("Aucune sortie son sur cet ordinateur : les clics ne peuvent pas "
                                "être joués (%1). Saisissez le décalage vous-même.")
                                  .arg(Q(why)));
        LabelSansSon->show();
        ButtonEcouter->setEnabled(false);
        ButtonFrapper->setEnabled(false);
        EditDecalage->setFocus();
        return;
    }
    // A new series of clicks, a new measure.
    Kept.clear();
    Ignored = 0;
    ButtonEcouter->setText(U("&Arrêter les clics"));
    Watch->start();
    ShowState();
}

void TFrappe::StopClicks() {
    Watch->stop();
    Out->Pause();
    ButtonEcouter->setText(U("&Écouter les clics"));
}

void TFrappe::Tap(sound::Instant when) {
    if (!Out->Playing()) {
        if (ButtonEcouter->isEnabled())
            Listen();
        return;
    }
    const std::optional<double> lag = TapLagOf(Out->Position(when), Track);
    if (!lag) {
        ++Ignored;
    } else {
        Kept.push_back(*lag);
        if (Kept.size() > size_t(MaxTaps)) // the latest: the hand settles as it goes
            Kept.erase(Kept.begin());
    }
    if (Kept.size() >= size_t(MinTaps)) {
        Setting = true;
        EditDecalage->setValue(ProposedTapLag(Kept));
        Setting = false;
    }
    ShowState();
}

void TFrappe::ShowState() {
    const int count = int(Kept.size());
    const QString ignored =
        Ignored == 0   ? QString()
        : Ignored == 1 ? U(" 1 frappe trop loin d'un clic a été ignorée.")
                       : U(" %1 frappes trop loin d'un clic ont été ignorées.").arg(Ignored);
    if (count == 0) {
        LabelFrappes->setText(Out->Playing() ? U("Frappez sur chaque clic.") + ignored : QString());
        LabelDecalage->clear();
    } else if (count < MinTaps) {
        const int more = MinTaps - count;
        LabelFrappes->setText((more == 1
                                   ? U("Encore 1 frappe pour mesurer le décalage.")
                                   : U("Encore %1 frappes pour mesurer le décalage.").arg(more)) +
                              ignored);
        LabelDecalage->clear();
    } else {
        LabelFrappes->setText(U("%1 frappes mesurées.").arg(count) + ignored);
        LabelDecalage->setText(U("Décalage de frappe : %1 s").arg(Seconds(ProposedTapLag(Kept))));
    }
    // A measure begun must be completed (or replaced by a value typed) to be kept.
    ButtonOK->setEnabled(count == 0 || count >= MinTaps);
}

bool TFrappe::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
            Tap(EventInstant(static_cast<QKeyEvent*>(event)));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFrappe::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat())
            Tap(EventInstant(event));
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFrappe::done(int result) {
    StopClicks();
    QDialog::done(result);
}
