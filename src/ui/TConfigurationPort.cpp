#include "TConfigurationPort.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

TConfPort::TConfPort(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TConfPort"));
    setWindowTitle(QString::fromUtf8("Comfiguration du port série"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(261, 210);

    auto* group = new QGroupBox(QString::fromUtf8("Port série"), this);
    group->setObjectName(QStringLiteral("Port"));
    group->setGeometry(4, 0, 253, 161);
    auto* buttons = new QButtonGroup(this);
    buttons->setExclusive(true);
    const int tops[4] = {24, 61, 98, 136};
    for (int i = 0; i < 4; ++i) {
        RadioPort[i] = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), group);
        RadioPort[i]->setObjectName(QStringLiteral("RadioPort%1").arg(i + 1));
        RadioPort[i]->setGeometry(74, tops[i], 113, 17);
        buttons->addButton(RadioPort[i], i + 1);
    }
    RadioPort[0]->setChecked(true);

    auto* validation = new QPushButton(QStringLiteral("Valider"), this);
    validation->setObjectName(QStringLiteral("Validation"));
    validation->setGeometry(82, 168, 97, 33);
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

void TConfPort::ValidationClick() {
    accept();
}

void TConfPort::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the main window.
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}
