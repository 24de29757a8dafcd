#include "ui/editor/HeaderFields.h"

#include "model/program/ChannelTable.h"
#include "ui/common/Messages.h"
#include "ui/editor/LineEdits.h"
#include "ui/editor/Printing.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

namespace {

// Limits what the user types or pastes; text put in by the program may be longer, and the
// user can still shorten it.
class TypingLimit : public QValidator {
public:
    TypingLimit(QLineEdit* edit, int limit) : QValidator(edit), Limit(limit) {
        // The line edit holds the proposed text while validating; remember the last one.
        connect(edit, &QLineEdit::textChanged, this,
                [this](const QString& text) { Previous = static_cast<int>(text.size()); });
    }
    // The program is about to put in a text of this length.
    void Allow(int length) { Previous = length; }
    State validate(QString& input, int&) const override {
        if (input.size() <= Limit || input.size() <= Previous)
            return Acceptable;
        return Invalid;
    }

private:
    int Limit;
    int Previous = 0;
};

// A header text too long to lay out at once (a file may hold a megabyte: the field would take
// a second per text) shows its beginning, far more than the field shows; the rest is held here
// and stays after what the field holds, so that nothing is lost.
class HeldTail : public QObject {
public:
    static constexpr qsizetype Shown = 4096;

    explicit HeldTail(QLineEdit* edit) : QObject(edit), Edit(edit) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this](const QString& text) {
            // Emptying the field, or typing over all it shows, replaces the whole text.
            if (text.isEmpty() || ReplacingAll)
                Tail.clear();
            ReplacingAll = false;
        });
    }
    static HeldTail* Of(const QLineEdit* edit) {
        for (QObject* child : edit->children())
            if (auto* held = dynamic_cast<HeldTail*>(child))
                return held;
        return nullptr;
    }
    static QString Whole(const QLineEdit* edit) { return edit->text() + Of(edit)->Tail; }

    // The part of text the field gets.
    QString Hold(const QString& text) {
        if (text.size() <= Shown) {
            Tail.clear();
            return text;
        }
        qsizetype cut = text.at(Shown - 1).isHighSurrogate() ? Shown - 1 : Shown;
        Tail = text.mid(cut);
        return text.left(cut);
    }

    QString Tail;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        // The field edits its text while it handles these events.
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ContextMenu)
            ReplacingAll =
                Edit->hasSelectedText() && Edit->selectionLength() == Edit->text().size();
        else if (event->type() == QEvent::KeyRelease)
            ReplacingAll = false;
        return false;
    }

private:
    QLineEdit* Edit;
    bool ReplacingAll = false;
};

void SetProgramText(QLineEdit* edit, const QString& text) {
    HeldTail* held = HeldTail::Of(edit);
    QString shown = held->Hold(text);
    if (auto* limit = dynamic_cast<TypingLimit*>(const_cast<QValidator*>(edit->validator())))
        limit->Allow(static_cast<int>(shown.size()));
    edit->setText(shown);
    if (!held->Tail.isEmpty())
        edit->setCursorPosition(0); // the end of what the field holds is not the text's end
}

constexpr int LabelGap = 6; // between a label and its field

} // namespace

HeaderFields::HeaderFields(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("HeaderFields"));
    // The pointer over the space between the fields is over the window's background: its moves
    // go on to the window.
    setMouseTracking(true);

    LabelTitre = new QLabel(this);
    LabelTitre->setObjectName(QStringLiteral("LabelTitre"));
    LabelTitre->move(14, 8);
    StringTitre = new QLineEdit(this);
    StringTitre->setObjectName(QStringLiteral("StringTitre"));
    StringTitre->setGeometry(120, 8, 377, 21);
    StringTitre->setValidator(new TypingLimit(StringTitre, 50));
    StringTitre->setMaxLength(Unlimited);

    LabelNumSerie = new QLabel(this);
    LabelNumSerie->setObjectName(QStringLiteral("LabelNumSerie"));
    LabelNumSerie->move(14, 35);
    NumeroSerie = new QLineEdit(this);
    NumeroSerie->setObjectName(QStringLiteral("NumeroSerie"));
    NumeroSerie->setGeometry(120, 35, 209, 21);
    NumeroSerie->setValidator(new TypingLimit(NumeroSerie, 11));
    NumeroSerie->setMaxLength(Unlimited);
    NumeroSerie->installEventFilter(this);
    StringTitre->installEventFilter(this);

    LabelVersion = new QLabel(this);
    LabelVersion->setObjectName(QStringLiteral("LabelVersion"));
    LabelVersion->move(344, 34);
    Version = new QLineEdit(this);
    Version->setObjectName(QStringLiteral("Version"));
    Version->setGeometry(392, 34, 105, 21);
    Version->setMaxLength(Unlimited);
    Version->installEventFilter(this);
    // After the key filter above: the held tail sees each key first.
    for (QLineEdit* field : {StringTitre, NumeroSerie, Version})
        new HeldTail(field);

    LabelTypeIgnivellique = new QLabel(this);
    LabelTypeIgnivellique->setObjectName(QStringLiteral("LabelTypeIgnivellique"));
    LabelTypeIgnivellique->move(584, 18);
    LabelTypeIgnivellique->setText(QStringLiteral("Type Ignivelle"));
    ComboBoxType = new QComboBox(this);
    ComboBoxType->setObjectName(QStringLiteral("ComboBoxType"));
    ComboBoxType->setGeometry(576, 34, 145, 21);
    for (const char* name : salvo::ModelNames)
        ComboBoxType->addItem(QString::fromUtf8(name));
    ComboBoxType->setCurrentIndex(2);
    connect(ComboBoxType, &QComboBox::activated, this, &HeaderFields::ModelChosen);

    WriteCaptions();

    for (QLineEdit* field : {StringTitre, NumeroSerie, Version})
        connect(field, &QLineEdit::textChanged, this, &HeaderFields::Edited);

    // From the window's corner, as far as the fields reach.
    QRect used = childrenRect();
    resize(used.right() + 1, used.bottom() + 1);
}

void HeaderFields::WriteCaptions() {
    LabelTitre->setText(QStringLiteral("Titre :"));
    LabelVersion->setText(QStringLiteral("Version :"));
    LabelNumSerie->setText(QString::fromUtf8("Numéro de série :"));
    LabelTypeIgnivellique->adjustSize();
    // Each label ends just before its field and sits on the field's middle line, whatever the
    // font makes of its width.
    for (auto [label, field] :
         {std::pair{LabelTitre, StringTitre}, std::pair{LabelNumSerie, NumeroSerie},
          std::pair{LabelVersion, Version}}) {
        label->adjustSize();
        QRect f = field->geometry();
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(f.left() - LabelGap - label->width(), f.top(), label->width(),
                           f.height());
    }
    StringTitre->setToolTip(QStringLiteral("Titre du programme"));
    NumeroSerie->setToolTip(QStringLiteral("Contient le numéro de série"));
    Version->setToolTip(QStringLiteral("Version du programme"));
    StringTitre->setStatusTip(StringTitre->toolTip());
    NumeroSerie->setStatusTip(NumeroSerie->toolTip());
    Version->setStatusTip(Version->toolTip());
}

QString HeaderFields::Title() const {
    return HeldTail::Whole(StringTitre);
}
QString HeaderFields::SerialNumber() const {
    return HeldTail::Whole(NumeroSerie);
}
QString HeaderFields::VersionText() const {
    return HeldTail::Whole(Version);
}
void HeaderFields::SetTitle(const QString& text) {
    SetProgramText(StringTitre, text);
}
void HeaderFields::SetSerialNumber(const QString& text) {
    SetProgramText(NumeroSerie, text);
}
void HeaderFields::SetVersionText(const QString& text) {
    SetProgramText(Version, text);
}

int HeaderFields::SelectedModel() const {
    return ComboBoxType->currentIndex();
}

void HeaderFields::SetSelectedModel(int model) {
    ComboBoxType->setCurrentIndex(model);
}

void HeaderFields::Describe(salvo::ui::PrintSheet& sheet) const {
    sheet.Title = Title();
    sheet.Version = VersionText();
    sheet.SerialNumber = SerialNumber();
    sheet.VersionCaption = LabelVersion->text();
    sheet.SerialCaption = LabelNumSerie->text();
    sheet.ModelCaption = LabelTypeIgnivellique->text();
    sheet.ModelIndex = ComboBoxType->currentIndex();
}

void HeaderFields::SetTabOrder(QWidget* grid) {
    setTabOrder(StringTitre, NumeroSerie);
    setTabOrder(NumeroSerie, Version);
    setTabOrder(Version, grid);
    setTabOrder(grid, ComboBoxType);
}

bool HeaderFields::NumeroSerieKeyPress(QKeyEvent* event) {
    QString text = event->text();
    if (text.isEmpty() || event->key() == Qt::Key_Delete)
        return false;
    emit Edited();
    QChar c = text.at(0);
    if (c == QLatin1Char('\b') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
        c == QLatin1Char('\n') || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
        return false;
    salvo::ui::Beep();
    return true;
}

bool HeaderFields::eventFilter(QObject* watched, QEvent* event) {
    if (watched == NumeroSerie && event->type() == QEvent::KeyPress)
        return NumeroSerieKeyPress(static_cast<QKeyEvent*>(event));
    if ((watched == StringTitre || watched == Version) && event->type() == QEvent::KeyPress &&
        !Saveable(static_cast<QKeyEvent*>(event)->text())) {
        salvo::ui::Beep();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
