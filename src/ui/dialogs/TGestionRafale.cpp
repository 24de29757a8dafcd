#include "ui/dialogs/TGestionRafale.h"

#include "model/program/TimeText.h"
#include "ui/common/TitleBar.h"
#include "ui/common/UpDownControl.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include <algorithm>
#include <cmath>

#include <utility>

using namespace salvo;

namespace {

const char* const IncrementLabels[] = {"Temps entre le tir de 2 voies (s)",
                                       "Temps initial entre le tir de 2 voie (s)",
                                       "Temps initial entre le tir de 2 voie (s)"};
const char* const AccelerationLabels[] = {
    " ", "Temps à soustraire au temps entre les 2 voies précédentes",
    "Temps à ajouter au temps entre les 2 voies précédentes"};

char DecimalSeparator() {
    QString point = QLocale().decimalPoint();
    char c = point.isEmpty() ? '\0' : point.at(0).toLatin1();
    return c ? c : '.';
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect place,
                  Qt::Alignment horizontal = Qt::AlignLeft) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(place);
    label->setAlignment(horizontal | Qt::AlignVCenter);
    return label;
}

QLineEdit* MakeField(QWidget* parent, const char* name, QRect place) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(place);
    field->setReadOnly(true);
    return field;
}

UpDownControl* MakeUpDown(QWidget* parent, const char* name, QRect place, int minimum, int maximum,
                          int position) {
    auto* upDown = new UpDownControl(parent);
    upDown->setObjectName(QString::fromLatin1(name));
    upDown->setGeometry(place);
    upDown->SetRange(minimum, maximum);
    upDown->SetPosition(position);
    return upDown;
}

// A titled frame of radio buttons laid out in columns, like a radio group; the buttons'
// ids are their item indexes.
QGroupBox* MakeRadioGroup(QWidget* parent, const char* name, const QString& title, QRect place,
                          const QStringList& items, int columns, QButtonGroup*& buttons) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(place);
    buttons = new QButtonGroup(box);
    buttons->setExclusive(true);
    int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    int top = box->fontMetrics().height() + 4;
    int rowHeight = (place.height() - top - 2) / rows;
    int columnWidth = (place.width() - 12) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], box);
        radio->setObjectName(QStringLiteral("%1Item%2").arg(QString::fromLatin1(name)).arg(i));
        radio->setGeometry(6 + (i % columns) * columnWidth, top + (i / columns) * rowHeight,
                           columnWidth, rowHeight);
        buttons->addButton(radio, i);
    }
    buttons->button(0)->setChecked(true);
    return box;
}

// The largest size, at most 8 points, at which every label and radio text fits its box: the
// boxes are fixed, and the usual Linux fonts run wider than the ones they were drawn for.
QFont FittingFont(const QWidget& dialog) {
    QFont font = QApplication::font(&dialog);
    const QStyle* style = dialog.style();
    const int radioExtra = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                           style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing) + 4;
    const std::pair<QString, int> texts[] = {
        {QStringLiteral("Numéro de la 1ére voie de la rafale"), 185},
        {QStringLiteral("Nombre de voie de la rafale"), 185},
        {QStringLiteral("Décalage de la 1ère voie"), 145},
        {QString::fromUtf8(IncrementLabels[0]), 241},
        {QString::fromUtf8(IncrementLabels[1]), 241},
        {QStringLiteral("Vitesse avec accélération"), 161 - 12 - radioExtra},
        {QStringLiteral("Vitesse avec décélération"), 161 - 12 - radioExtra},
        {QStringLiteral("Automatique"), 217 / 2 - 12 - radioExtra},
    };
    // Widths grow about in proportion to the size: measure at 8 points, go straight to the
    // size that should fit, and step down from there only if it does not (each size tried
    // loads a font, which shows in the start-up time).
    auto tightest = [&texts](const QFont& f) {
        QFontMetrics metrics(f);
        double ratio = 1.0;
        for (const auto& [text, width] : texts)
            ratio =
                std::min(ratio, double(width - 2) / std::max(1, metrics.horizontalAdvance(text)));
        return ratio;
    };
    font.setPointSizeF(8.0);
    double ratio = tightest(font);
    if (ratio >= 1.0)
        return font;
    for (double points = std::max(6.5, std::floor(16.0 * ratio) / 2.0); points >= 6.5;
         points -= 0.5) {
        font.setPointSizeF(points);
        if (points == 6.5 || tightest(font) >= 1.0)
            break;
    }
    return font;
}

} // namespace

TGestionRafale::TGestionRafale(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TGestionRafale"));
    setWindowTitle(QStringLiteral("Génération d'une rafale"));
    // A close box only.
    salvo::ui::AskTitleBarButtons(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint |
                                            Qt::MSWindowsFixedSizeDialogHint);
    setFont(FittingFont(*this));
    setFixedSize(511, 223);
    move(391, 310);

    LabelNum1ereVoie =
        MakeLabel(this, "LabelNum1ereVoie", QStringLiteral("Numéro de la 1ére voie de la rafale"),
                  {8, 8, 185, 25}, Qt::AlignHCenter);
    LabelNbVoie = MakeLabel(this, "LabelNbVoie", QStringLiteral("Nombre de voie de la rafale"),
                            {16, 48, 185, 25});
    LabelDecale1Voiie = MakeLabel(this, "LabelDecale1Voiie",
                                  QStringLiteral("Décalage de la 1ère voie"), {272, 8, 145, 25});
    LabelIncremtEntreVoie = MakeLabel(this, "LabelIncremtEntreVoie",
                                      QString::fromUtf8(IncrementLabels[0]), {176, 96, 241, 25});
    LabelAccelerationVoie =
        MakeLabel(this, "LabelAccelerationVoie", QString::fromUtf8(AccelerationLabels[0]),
                  {176, 128, 241, 25});
    LabelAccelerationVoie->setWordWrap(true);

    // In tab order.
    UpDownNumVoie = MakeUpDown(this, "UpDownNumVoie", {249, 8, 16, 25}, 1, 29, 1);
    EditNumVoie = MakeField(this, "EditNumVoie", {200, 8, 49, 25});
    UpDownNumVoie->SetBuddy(EditNumVoie);
    UpDownNbVoie = MakeUpDown(this, "UpDownNbVoie", {249, 48, 16, 25}, 2, 30, 2);
    EditNbVoie = MakeField(this, "EditNbVoie", {200, 48, 49, 25});
    UpDownNbVoie->SetBuddy(EditNbVoie);
    RadioGroupTypeRafale = MakeRadioGroup(
        this, "RadioGroupTypeRafale", QStringLiteral("Type de Rafale"), {8, 88, 161, 81},
        {QStringLiteral("Vitesse Constante"), QStringLiteral("Vitesse avec accélération"),
         QStringLiteral("Vitesse avec décélération")},
        1, TypeRafaleButtons);
    UpDownDecale1Voie = MakeUpDown(this, "UpDownDecale1Voie", {465, 8, 16, 25}, 0, 32767, 0);
    EditDecal1Voie = MakeField(this, "EditDecal1Voie", {416, 8, 49, 25});
    RadioGroupType1Voie = MakeRadioGroup(
        this, "RadioGroupType1Voie", QStringLiteral("Type de la 1ère Voie"), {272, 40, 217, 41},
        {QStringLiteral("Manuelle"), QStringLiteral("Automatique")}, 2, Type1VoieButtons);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(96, 184, 97, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Annuler"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(272, 184, 97, 25);
    EditIncremtEntreVoie = MakeField(this, "EditIncremtEntreVoie", {424, 96, 49, 25});
    UpDownIncremtEntreVoie =
        MakeUpDown(this, "UpDownIncremtEntreVoie", {472, 96, 16, 25}, 1, 32767, 1);
    EditAccelerationVoie = MakeField(this, "EditAccelerationVoie", {424, 128, 49, 25});
    UpDownAccelerationVoie =
        MakeUpDown(this, "UpDownAccelerationVoie", {472, 128, 16, 25}, 0, 0, 0);

    QList<QWidget*> order = {UpDownNumVoie, EditNumVoie, UpDownNbVoie, EditNbVoie};
    for (QAbstractButton* b : TypeRafaleButtons->buttons())
        order << b;
    order << UpDownDecale1Voie << EditDecal1Voie;
    for (QAbstractButton* b : Type1VoieButtons->buttons())
        order << b;
    order << BitBtn1 << BitBtn2 << EditIncremtEntreVoie << UpDownIncremtEntreVoie
          << EditAccelerationVoie << UpDownAccelerationVoie;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(UpDownNumVoie, &UpDownControl::Clicked, this, &TGestionRafale::UpDownNumVoieClick);
    connect(UpDownNbVoie, &UpDownControl::Clicked, this, &TGestionRafale::UpDownNbVoieClick);
    connect(TypeRafaleButtons, &QButtonGroup::idClicked, this,
            &TGestionRafale::RadioGroupTypeRafaleClick);
    connect(UpDownDecale1Voie, &UpDownControl::Clicked, this,
            &TGestionRafale::UpDownDecale1VoieClick);
    connect(Type1VoieButtons, &QButtonGroup::idClicked, this,
            &TGestionRafale::RadioGroupType1VoieClick);
    connect(UpDownIncremtEntreVoie, &UpDownControl::Clicked, this,
            &TGestionRafale::UpDownIncremtEntreVoieClick);
    connect(UpDownAccelerationVoie, &UpDownControl::Clicked, this,
            &TGestionRafale::UpDownAccelerationVoieClick);
    connect(BitBtn1, &QPushButton::clicked, this, &TGestionRafale::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    SyncControls();
}

QString TGestionRafale::SecondsText(double seconds) const {
    return QString::fromStdString(FormatTime(seconds, DecimalSeparator()));
}

QString TGestionRafale::StepsText(int steps) const {
    return SecondsText(steps * TimeStep);
}

void TGestionRafale::SyncControls() {
    UpDownNumVoie->SetRange(1, Gen.FirstChannelMaximum());
    UpDownNumVoie->SetPosition(Gen.FirstChannel);
    UpDownNbVoie->SetRange(2, Gen.BurstLengthMaximum());
    UpDownNbVoie->SetPosition(Gen.BurstLength);

    int type = Gen.BurstType;
    TypeRafaleButtons->button(type)->setChecked(true);
    LabelIncremtEntreVoie->setText(QString::fromUtf8(IncrementLabels[type]));
    LabelAccelerationVoie->setText(QString::fromUtf8(AccelerationLabels[type]));
    bool accelerationRow = Gen.BurstType != ConstantSpeed;
    LabelAccelerationVoie->setVisible(accelerationRow);
    EditAccelerationVoie->setVisible(accelerationRow);
    UpDownAccelerationVoie->setVisible(accelerationRow);

    UpDownDecale1Voie->SetPosition(Gen.FirstOffsetSteps);
    EditDecal1Voie->setText(SecondsText(Gen.FirstChannelTime()));
    RadioGroupType1Voie->setEnabled(Gen.FirstTypeChangeable());
    Type1VoieButtons->button(Gen.FirstChannelType() == Automatic ? 1 : 0)->setChecked(true);

    UpDownIncremtEntreVoie->SetPosition(Gen.IncrementSteps);
    EditIncremtEntreVoie->setText(StepsText(Gen.IncrementSteps));
    UpDownAccelerationVoie->SetRange(0, Gen.AccelerationLimit);
    UpDownAccelerationVoie->SetPosition(Gen.AccelerationSteps);
    EditAccelerationVoie->setText(StepsText(Gen.AccelerationSteps));
}

int TGestionRafale::exec() {
    if (!Gen.TargetTable) {
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void TGestionRafale::showEvent(QShowEvent* event) {
    // The glyphs come from the icon theme, whose first lookup cost the program's start about
    // 18 ms on an X display: taken at the first showing instead.
    if (BitBtn1->icon().isNull()) {
        BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
        BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    }
    SyncControls();
    QDialog::showEvent(event);
    if (!Gen.TargetTable) // shown without a table to work on: end as cancelled
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

void TGestionRafale::UpDownNumVoieClick(int position) {
    Gen.SelectFirstChannel(position);
    SyncControls();
}

void TGestionRafale::UpDownNbVoieClick(int position) {
    Gen.SetBurstLength(position);
    SyncControls();
}

void TGestionRafale::RadioGroupTypeRafaleClick(int index) {
    Gen.SetBurstType(static_cast<BurstKind>(index));
    SyncControls();
}

void TGestionRafale::UpDownDecale1VoieClick(int position) {
    Gen.SetFirstOffset(position);
    SyncControls();
}

void TGestionRafale::RadioGroupType1VoieClick(int index) {
    Gen.SetFirstType(index);
    SyncControls();
}

void TGestionRafale::UpDownIncremtEntreVoieClick(int position) {
    Gen.SetIncrement(position);
    SyncControls();
}

void TGestionRafale::UpDownAccelerationVoieClick(int position) {
    Gen.SetAcceleration(position);
    SyncControls();
}

void TGestionRafale::BitBtn1Click() {
    Gen.ApplyBurst();
    accept();
}
