#include "ui/dialogs/BoiteAPropos.h"

#include "ui/common/Glyphs.h"
#include "ui/common/TitleBar.h"

#include <QAction>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace {

// The maker's details: this project's own placeholders, not a real company's.
const char* const MakerName = "Société Exemple";
const char* const MakerStreet = "1 rue de l'Exemple";
const char* const MakerTown = "00000 Exempleville";
const char* const MakerCountry = "France";
const char* const MakerPhone = "00 00 00 00 00";
const char* const MakerFax = "00 00 00 00 01";
const char* const MakerSite = "https://salvo.example";
const char* const MakerMail = "contact@salvo.example";

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& box,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(align);
    label->setGeometry(box); // fixed boxes: nothing is measured while the program starts
    return label;
}

// The maker's lines run from x = 208 to the panel's right edge.
QRect MakerLine(int top, int height = 18) {
    return QRect(208, top, 393 - 208 - 4, height);
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowTitle(QStringLiteral("A propos"));
    salvo::ui::AskTitleBarButtons(this, Qt::Dialog | Qt::CustomizeWindowHint |
                                            Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(406, 300);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    panel->setGeometry(8, 8, 393, 241);

    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setGeometry(8, 8, 170, 170);
    icon->setScaledContents(true);
    icon->setPixmap(salvo::ui::AboutPicture(170));

    const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignVCenter;
    QLabel* product = MakeLabel(panel, "LabelProductName", QStringLiteral("Salvodesk"),
                                QRect(184, 8, 201, 20), centred);
    QFont bold = small;
    bold.setPointSize(12);
    bold.setBold(true);
    product->setFont(bold);
    MakeLabel(panel, "LabelVersion", QStringLiteral("Version 3.1"), QRect(184, 32, 201, 13),
              centred);
    MakeLabel(panel, "LabelTypeProgramme", QStringLiteral("Programme de gestion du Ignivelle"),
              QRect(184, 48, 201, 13), centred);
    QLabel* company =
        MakeLabel(panel, "LabelSociete", QString::fromUtf8(MakerName), MakerLine(72, 24));
    QFont boldItalic = bold;
    boldItalic.setItalic(true);
    company->setFont(boldItalic);
    MakeLabel(panel, "LabelAdresse", QString::fromUtf8(MakerStreet), MakerLine(99));
    MakeLabel(panel, "LabelCodeVille", QString::fromUtf8(MakerTown), MakerLine(118));
    MakeLabel(panel, "LabelPays", QString::fromUtf8(MakerCountry), MakerLine(138));
    MakeLabel(panel, "LabelTelephone", QString::fromUtf8("Tél : ") + QString::fromUtf8(MakerPhone),
              MakerLine(157));
    MakeLabel(panel, "LabelFax", QStringLiteral("Fax : ") + QString::fromUtf8(MakerFax),
              MakerLine(177));
    LabelNomSite =
        MakeLabel(panel, "LabelNomSite", QStringLiteral("Site : ") + QString::fromUtf8(MakerSite),
                  MakerLine(196));
    LabelMail = MakeLabel(panel, "LabelMail",
                          QStringLiteral("Mail : ") + QString::fromUtf8(MakerMail), MakerLine(216));
    for (QLabel* link : {LabelNomSite, LabelMail}) {
        link->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }

    LienSite = new QAction(this);
    LienSite->setObjectName(QStringLiteral("LienSite"));
    LienSite->setData(QString::fromUtf8(MakerSite));
    MailTo = new QAction(this);
    MailTo->setObjectName(QStringLiteral("MailTo"));
    MailTo->setData(QStringLiteral("mailto:") + QString::fromUtf8(MakerMail));
    for (QAction* a : {LienSite, MailTo})
        connect(a, &QAction::triggered, this, [a] {
            // A link the system cannot open is simply not opened.
            QDesktopServices::openUrl(QUrl(a->data().toString()));
        });

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setGeometry(165, 260, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // Escape closes the box through the dialog's own reject.
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == LabelNomSite)
            LienSite->trigger();
        else if (watched == LabelMail)
            MailTo->trigger();
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the main window.
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}
