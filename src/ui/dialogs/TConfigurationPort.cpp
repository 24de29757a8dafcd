#include "ui/dialogs/TConfigurationPort.h"

#include "device/port/PortTexts.h"
#include "device/port/SerialLine.h"
#include "ui/common/TitleBar.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace {
// Wide enough for "ttyUSB0 : " and an adapter's maker and product.
constexpr int DialogWidth = 481;
constexpr int DescriptionLeft = 96;
constexpr int DescriptionWidth = DialogWidth - 8 - DescriptionLeft - 12;
} // namespace

TConfPort::TConfPort(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TConfPort"));
    setWindowTitle(QString::fromUtf8("Comfiguration du port série"));
    salvo::ui::AskTitleBarButtons(this, Qt::Dialog | Qt::CustomizeWindowHint |
                                            Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(DialogWidth, 210);

    auto* group = new QGroupBox(QString::fromUtf8("Port série"), this);
    group->setObjectName(QStringLiteral("Port"));
    group->setGeometry(4, 0, DialogWidth - 8, 161);
    auto* buttons = new QButtonGroup(this);
    buttons->setExclusive(true);
    const int tops[4] = {24, 61, 98, 136};
    for (int i = 0; i < 4; ++i) {
        RadioPort[i] = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), group);
        RadioPort[i]->setObjectName(QStringLiteral("RadioPort%1").arg(i + 1));
        RadioPort[i]->setGeometry(16, tops[i], 72, 17);
        buttons->addButton(RadioPort[i], i + 1);
        LabelPort[i] = new QLabel(group);
        LabelPort[i]->setObjectName(QStringLiteral("LabelPort%1").arg(i + 1));
        LabelPort[i]->setGeometry(DescriptionLeft, tops[i], DescriptionWidth, 17);
    }
    RadioPort[0]->setChecked(true);

    auto* validation = new QPushButton(QStringLiteral("Valider"), this);
    validation->setObjectName(QStringLiteral("Validation"));
    validation->setGeometry((DialogWidth - 97) / 2, 168, 97, 33);
    validation->setDefault(true);
    connect(validation, &QPushButton::clicked, this, &TConfPort::ValidationClick);
}

void TConfPort::SelectPort(int n) {
    if (n < 1 || n > 4)
        return;
    RadioPort[n - 1]->setChecked(true); // the group unchecks the others
}

int TConfPort::SelectedPort() const {
    for (int i = 0; i < 4; ++i)
        if (RadioPort[i]->isChecked())
            return i + 1;
    return 0;
}

void TConfPort::ProbePorts() {
    // Every opening looks again: an adapter plugged in meanwhile is offered at once. A port held
    // by another program is still offered.
    for (int n = 1; n <= 4; ++n) {
        salvo::ComPortReach reach = salvo::ProbeComPort(n);
        bool absent = reach.Absent;
        QString text = QString::fromStdString(reach.Text);
        QLabel* label = LabelPort[n - 1];
        label->setToolTip(text);
        label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, DescriptionWidth));
        label->setEnabled(!absent);
        RadioPort[n - 1]->setEnabled(!absent);
    }
}

void TConfPort::ValidationClick() {
    accept();
}

void TConfPort::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the main window.
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}
