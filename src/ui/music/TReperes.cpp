#include "ui/music/TReperes.h"

#include "model/program/DelayRules.h"
#include "model/program/TimeText.h"
#include "ui/common/Messages.h"
#include "ui/music/TMusique.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

using namespace salvo;
using namespace salvo::ui;

TReperes::TReperes(TMusique* music, QWidget* parent) : QDialog(parent), Music(music) {
    setObjectName(QStringLiteral("TReperes"));
    setWindowTitle(QString::fromUtf8("Repères"));
    Table = new QTableWidget(0, 3, this);
    Table->setObjectName(QStringLiteral("TableReperes"));
    Table->setHorizontalHeaderLabels(
        {QString::fromUtf8("N°"), QString::fromUtf8("Temps (s)"), QString::fromUtf8("Texte")});
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->setColumnWidth(0, 44);
    Table->setColumnWidth(1, 96);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->installEventFilter(this);

    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* add = button("ButtonAjouter", "&Ajouter...");
    ButtonModifier = button("ButtonModifier", "&Modifier...");
    ButtonSupprimer = button("ButtonSupprimer", "&Supprimer");
    ButtonDefaire = button("ButtonDefaire", "&Défaire");
    QPushButton* close = button("ButtonFermer", "Fermer");
    auto* side = new QVBoxLayout;
    for (QPushButton* b : {add, ButtonModifier, ButtonSupprimer, ButtonDefaire})
        side->addWidget(b);
    side->addStretch();
    side->addWidget(close);
    auto* row = new QHBoxLayout(this);
    row->addWidget(Table, 1);
    row->addLayout(side);
    resize(520, 380);

    connect(add, &QPushButton::clicked, this, &TReperes::Add);
    connect(ButtonModifier, &QPushButton::clicked, this, &TReperes::Edit);
    connect(ButtonSupprimer, &QPushButton::clicked, this, &TReperes::Remove);
    connect(ButtonDefaire, &QPushButton::clicked, this, &TReperes::Undo);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(Table, &QTableWidget::cellDoubleClicked, this, [this] { Edit(); });
    connect(Table, &QTableWidget::itemSelectionChanged, this, [this] {
        if (Filling || !Music)
            return;
        // The timeline shows the same marker selected.
        Music->Markers().Select(Row());
        emit Music->Changed();
        ButtonModifier->setEnabled(Row() >= 0);
        ButtonSupprimer->setEnabled(Row() >= 0);
    });
    if (Music)
        connect(Music, &TMusique::Changed, this, &TReperes::Fill);
    Fill();
}

void TReperes::Fill() {
    if (!Music)
        return;
    Filling = true;
    const char sep = Music->Separator();
    const std::vector<Marker>& markers = Music->Data.Markers;
    Table->setRowCount(int(markers.size()));
    for (size_t i = 0; i < markers.size(); ++i) {
        const QString texts[] = {QString::number(i + 1),
                                 QString::fromStdString(FormatMilliseconds(markers[i].Time, sep)),
                                 QString::fromStdString(markers[i].Text)};
        for (int c = 0; c < 3; ++c) {
            QTableWidgetItem* item = Table->item(int(i), c);
            if (!item) {
                item = new QTableWidgetItem;
                Table->setItem(int(i), c, item);
            }
            item->setText(texts[c]);
            item->setTextAlignment((c < 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        }
    }
    const int selected = Music->Markers().Selected();
    if (selected >= 0) {
        Table->selectRow(selected);
        Table->scrollToItem(Table->item(selected, 0));
    } else {
        Table->clearSelection();
    }
    Filling = false;
    ButtonModifier->setEnabled(selected >= 0);
    ButtonSupprimer->setEnabled(selected >= 0);
    ButtonDefaire->setEnabled(Music->Markers().CanUndo());
}

int TReperes::Row() const {
    const QList<QTableWidgetSelectionRange> ranges = Table->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void TReperes::Add() {
    if (!Music)
        return;
    double seconds = RoundToMillisecond(Music->Head());
    QString text;
    if (!AskMarker(this, 0, seconds, text, Music->Separator()) || !Music)
        return;
    Music->Markers().Add(seconds, text.toStdString());
    Music->MarkersEdited();
}

void TReperes::Edit() {
    if (Music)
        EditMarker(this, *Music, Row());
}

bool EditMarker(QWidget* parent, TMusique& music, int index) {
    QPointer<TMusique> Music(&music);
    if (index < 0 || size_t(index) >= Music->Data.Markers.size())
        return false;
    const Marker was = Music->Data.Markers[size_t(index)];
    double seconds = was.Time;
    QString text = QString::fromStdString(was.Text);
    if (!AskMarker(parent, index + 1, seconds, text, Music->Separator()) || !Music)
        return false;
    const std::string words = text.toStdString();
    if (seconds == was.Time && words == was.Text)
        return false;
    // One step for both, taken back at once.
    const int at = Music->Markers().Rename(index, words);
    Music->Markers().Move(at, seconds, true);
    Music->MarkersEdited();
    return true;
}

void TReperes::Remove() {
    if (Music && Music->Markers().Remove(Row()))
        Music->MarkersEdited();
}

void TReperes::Undo() {
    if (Music && Music->Markers().Undo())
        Music->MarkersEdited();
}

bool TReperes::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Table && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            Remove();
            return true;
        }
        if (key->matches(QKeySequence::Undo)) {
            Undo();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && Row() >= 0) {
            Edit();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString MarkerCaption(const TMusique& music, int index, char separator) {
    if (index < 0 || size_t(index) >= music.Data.Markers.size())
        return QString();
    const Marker& m = music.Data.Markers[size_t(index)];
    QString caption = QString::fromUtf8("Repère n°%1 : %2 s")
                          .arg(index + 1)
                          .arg(QString::fromStdString(FormatMilliseconds(m.Time, separator)));
    if (!m.Text.empty())
        caption += QStringLiteral(", ") + QString::fromStdString(m.Text);
    return caption;
}

bool AskMarker(QWidget* parent, int number, double& seconds, QString& text, char separator) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("TRepere"));
    dialog.setWindowTitle(number > 0 ? QString::fromUtf8("Repère n°%1").arg(number)
                                     : QString::fromUtf8("Nouveau repère"));
    auto* time =
        new QLineEdit(QString::fromStdString(FormatMilliseconds(seconds, separator)), &dialog);
    time->setObjectName(QStringLiteral("EditTemps"));
    auto* words = new QLineEdit(text, &dialog);
    words->setObjectName(QStringLiteral("EditTexte"));
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->setObjectName(QStringLiteral("Boutons"));
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("ButtonAnnuler"));
    auto* form = new QFormLayout(&dialog);
    form->addRow(QString::fromUtf8("Temps dans la musique (s) :"), time);
    form->addRow(QString::fromUtf8("Texte :"), words);
    form->addRow(buttons);
    (number > 0 ? words : time)->setFocus();
    (number > 0 ? words : time)->selectAll();
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        std::optional<double> t = ParseTime(time->text().toStdString(), separator);
        if (!t || *t < 0 || !std::isfinite(*t) || *t > MaxMusicSeconds) {
            ShowWarning(&dialog, QString::fromUtf8(MsgNotANumber));
            time->setFocus();
            return;
        }
        seconds = RoundToMillisecond(*t);
        text = words->text();
        dialog.accept();
    });
    return dialog.exec() == QDialog::Accepted;
}
