#include "ui/editor/TFenetreEnfant.h"
#include "ui/common/Strings.h"

#include "model/program/TimeText.h"
#include "ui/common/Messages.h"
#include "ui/common/WindowFont.h"
#include "ui/editor/EditorClosed.h"
#include "ui/editor/HeaderFields.h"
#include "ui/editor/LineEdits.h"
#include "ui/editor/Printing.h"
#include "ui/editor/TGrid.h"
#include "ui/editor/WindowProgram.h"
#include "ui/timeline/TChronologie.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLocale>

using namespace salvo;

namespace {

// Whether w is ancestor or one of its controls. A box or list parented to the window is a window
// of its own: the walk stops there.
bool Within(const QWidget* w, const QWidget* ancestor) {
    for (; w; w = w->parentWidget()) {
        if (w == ancestor)
            return true;
        if (w->isWindow())
            return false;
    }
    return false;
}

} // namespace

TFenetreEnfant::TFenetreEnfant(QWidget* parent) : QMdiSubWindow(parent) {
    setObjectName(QStringLiteral("TFenetreEnfant"));
    setAttribute(Qt::WA_DeleteOnClose);

    // The window, its header fields, the grid and the timeline beside it.
    Client = new QWidget;
    Client->setObjectName(QStringLiteral("Client"));
    Client->setFont(WindowFont(12));
    Client->setMouseTracking(true);
    Client->installEventFilter(this);
    setWidget(Client);

    Header = new HeaderFields(Client);
    Tableau = new TGrid(*this, Client);
    Chronologie = new TChronologie(Device, Tableau, Client);
    connect(this, &TFenetreEnfant::ProgramChanged, Chronologie, &TChronologie::ProgramChanged);
    Tableau->AddTypeEditor();
    connect(Header, &HeaderFields::ModelChosen, this, &TFenetreEnfant::ComboBoxTypeChange);

    // An empty program for the default model.
    Device.SetModel(2);
    Tableau->FillEmpty(Q(FormatTime(0.0, DecimalSeparator())));
    for (int k = 0; k < SlotCount; ++k) {
        Doc.ShownTimes[static_cast<size_t>(k)] = 0.0;
        Device.SetStepDelay(k, 0.0);
        Device.SetChannelType(k, Manual);
    }
    ShowModelRows();
    SetCurrentCell(2, 1);

    connect(Header, &HeaderFields::Edited, this, [this] { SetModified(true); });
    connect(qApp, &QApplication::focusChanged, this, &TFenetreEnfant::FocusChanged);
    Header->SetTabOrder(Tableau);

    Client->resize(756, 554);
    InitialSize = Client->size() + (size() - contentsRect().size());
    resize(InitialSize);
    setMinimumWidth(764);
    SetModified(false);
}

TFenetreEnfant::~TFenetreEnfant() = default;

QString TFenetreEnfant::Title() const {
    return Header->Title();
}
QString TFenetreEnfant::SerialNumber() const {
    return Header->SerialNumber();
}
QString TFenetreEnfant::VersionText() const {
    return Header->VersionText();
}
void TFenetreEnfant::SetTitle(const QString& text) {
    Header->SetTitle(text);
}
void TFenetreEnfant::SetSerialNumber(const QString& text) {
    Header->SetSerialNumber(text);
}
void TFenetreEnfant::SetVersionText(const QString& text) {
    Header->SetVersionText(text);
}
int TFenetreEnfant::SelectedModel() const {
    return Header->SelectedModel();
}

QString TFenetreEnfant::Description(int channel) const {
    return CellText(3, channel);
}

void TFenetreEnfant::SetDescription(int channel, const QString& text) {
    Tableau->SetCellText(3, channel, text);
}

bool TFenetreEnfant::FillDescription(int channel, const QString& text) {
    // A line break would end the program file's line: blanks instead, as the cell would show.
    QString line = text;
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    line = line.trimmed();
    if (!Description(channel).isEmpty() || line.isEmpty() || !Saveable(line))
        return false;
    SetDescription(channel, line);
    SetModified(true);
    return true;
}

QString TFenetreEnfant::CellText(int column, int row) const {
    return Tableau->CellText(column, row);
}

int TFenetreEnfant::CurrentColumn() const {
    return Tableau->CurrentColumn();
}

int TFenetreEnfant::CurrentRow() const {
    return Tableau->CurrentRow();
}

char TFenetreEnfant::DecimalSeparator() const {
    return LocaleDecimalSeparator();
}

char TFenetreEnfant::LocaleDecimalSeparator() {
    QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 128)
        return static_cast<char>(point[0].unicode());
    return '.';
}

void TFenetreEnfant::SetCurrentCell(int column, int row) {
    Tableau->SetCurrentCell(column, row);
}

void TFenetreEnfant::ShowModelRows() {
    Tableau->ShowRows(Device.ChannelCount());
    emit ProgramChanged();
}

void TFenetreEnfant::ApplyChannelTime(int index, double seconds) {
    DelayRules(Device, Doc.ShownTimes, *this, DecimalSeparator()).ApplyChannelTime(index, seconds);
}

void TFenetreEnfant::ChangeChannelType(int index, int type) {
    DelayRules(Device, Doc.ShownTimes, *this, DecimalSeparator()).ChangeChannelType(index, type);
}

void TFenetreEnfant::SetModelIndex(int model) {
    Device.SetModel(model);
    Header->SetSelectedModel(Device.Model);
    ShowModelRows();
    SetCurrentCell(2, 1);
}

void TFenetreEnfant::RefreshChannels() {
    char sep = DecimalSeparator();
    for (int k = 0; k < Device.ChannelCount(); ++k) {
        double t = Device.GetChannelTime(k);
        SetDelayCell(k, FormatTime(t, sep));
        Doc.ShownTimes[static_cast<size_t>(k)] = t;
        SetTypeCell(k,
                    ChannelTypeNames[static_cast<size_t>(Device.GetChannelType(k) == Automatic)]);
    }
    SetModified(true);
}

salvo::ui::PrintSheet TFenetreEnfant::Sheet() const {
    salvo::ui::PrintSheet sheet;
    Header->Describe(sheet);
    sheet.ChannelCount = Device.ChannelCount();
    for (int n = 1; n <= sheet.ChannelCount; ++n)
        sheet.Rows.push_back({CellText(0, n), CellText(1, n), CellText(2, n), CellText(3, n)});
    sheet.JobName = windowTitle();
    return sheet;
}

void TFenetreEnfant::SetDelayCell(int k, const std::string& text) {
    Tableau->SetCellText(2, k + 1, Q(text));
    emit ProgramChanged();
}

void TFenetreEnfant::SetTypeCell(int k, const std::string& text) {
    Tableau->SetCellText(1, k + 1, Q(text));
    emit ProgramChanged();
}

void TFenetreEnfant::ShowWarning(const std::string& text) {
    ++RuleWarnings;
    Warn(Q(text));
}

void TFenetreEnfant::Warn(const QString& text) {
    // The box takes the keyboard; once it is closed, typing goes on where it was, in the grid
    // above all (delays are entered row after row without the mouse).
    QPointer<QWidget> before = QApplication::focusWidget();
    bool inGrid = Within(before, Tableau);
    salvo::ui::ShowWarning(this, text);
    if (before && before->isVisible())
        before->setFocus(Qt::OtherFocusReason);
    else if (inGrid)
        Tableau->setFocus(Qt::OtherFocusReason);
}

void TFenetreEnfant::CommitTypeEdit() {
    int row = CurrentRow();
    // Only a type chosen in the list opened on this very cell is applied: passing over type
    // cells with the keyboard must not change them.
    if (CurrentColumn() == 1 && row >= 2 && TypeEditorRow == row)
        ChangeChannelType(row - 1, Tableau->TypeEditorIndex());
    SetModified(true);
    EditingCell = false;
}

void TFenetreEnfant::CommitTimeEdit() {
    SetModified(true);
    int row = CurrentRow();
    if (CurrentColumn() == 2 && row >= 1)
        DelayRules(Device, Doc.ShownTimes, *this, DecimalSeparator())
            .CommitTypedTime(row - 1, CellText(2, row).toStdString());
}

bool TFenetreEnfant::EndEditingForCommand() {
    if (!EditingCell)
        return true;
    int before = RuleWarnings;
    LeaveEditing();
    // A refusal or a correction keeps the grid from showing what was typed: the user looks again
    // before anything reads the document.
    return RuleWarnings == before;
}

void TFenetreEnfant::LeaveEditing() {
    if (!EditingCell || InLeaveEditing)
        return;
    InLeaveEditing = true;
    CommitTypeEdit();
    CommitTimeEdit();
    EditingCell = false;
    Tableau->HideTypeEditor();
    Warn(QString::fromUtf8(MsgDelaysAdjusted));
    InLeaveEditing = false;
}

GridEvents::KeyVerdict TFenetreEnfant::TableauKeyPress(QKeyEvent* event, QString* replacement) {
    int key = event->key();
    KeypadDecimal = (event->modifiers() & Qt::KeypadModifier) &&
                    (key == Qt::Key_Period || key == Qt::Key_Comma);
    QString text = event->text();
    // Keys without a character (arrows, Delete...) only reach the key-down handling.
    if (text.isEmpty() || key == Qt::Key_Delete)
        return KeyVerdict::Pass;
    QChar sep = QLatin1Char(DecimalSeparator());
    KeyVerdict verdict = KeyVerdict::Pass;
    CommittedByTabRow = -1;
    QChar c = text.at(0);
    if (KeypadDecimal && c != sep) {
        c = sep;
        *replacement = QString(sep);
        verdict = KeyVerdict::Replace;
    }
    bool tabOrEnter = c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
                      key == Qt::Key_Backtab;
    int column = CurrentColumn();
    if (column == 2) {
        if (c == QLatin1Char('\b') || c.isDigit() || c == sep) {
            // passes
        } else if (tabOrEnter) {
            int warnings = RuleWarnings;
            CommitTimeEdit();
            if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
                // The move that Tab makes next must not commit the same text again (a refused
                // one would warn twice).
                CommittedByTabRow = CurrentRow();
                if (RuleWarnings != warnings) {
                    // After a box the key would reach a cell editor that no longer has the
                    // keyboard, and Qt would pass it on out of the grid: make the move here.
                    Tableau->setFocus(Qt::OtherFocusReason);
                    SetCurrentCell(key == Qt::Key_Backtab ? 1 : 3, CurrentRow());
                    return KeyVerdict::Swallow;
                }
            }
        } else {
            verdict = KeyVerdict::Swallow;
            salvo::ui::Beep();
        }
    } else if (column == 1) {
        if (!tabOrEnter)
            verdict = KeyVerdict::Swallow;
    } else if (column == 3 && !Saveable(text)) {
        verdict = KeyVerdict::Swallow;
        salvo::ui::Beep();
    }
    SetModified(true);
    EditingCell = true;
    return verdict;
}

void TFenetreEnfant::TableauSetEditText(int column, int row, const QString& text) {
    if (text.isEmpty())
        return;
    if (column == 2 && row >= 1) {
        auto value = ParseTime(text.toStdString(), DecimalSeparator());
        if (value && *value >= 0.0) {
            Doc.ShownTimes[static_cast<size_t>(row - 1)] = *value;
        } else {
            Doc.ShownTimes[static_cast<size_t>(row - 1)] = 0.0;
            Warn(QString::fromUtf8(MsgNotANumber));
        }
    }
    SetModified(true);
}

bool TFenetreEnfant::TableauSelectCell(int column, int row) {
    if (column == 1 && row == 1)
        return false; // channel 1 is always manual
    if (column < 1 || row < 1)
        return false; // the fixed column and the headings
    int currentColumn = CurrentColumn(), currentRow = CurrentRow();
    bool other = column != currentColumn || row != currentRow;
    if (currentColumn == 1 && other) {
        CommitTypeEdit();
        Tableau->HideTypeEditor();
        EditingCell = false;
    }
    if (currentColumn == 2 && other) {
        if (CommittedByTabRow != currentRow)
            CommitTimeEdit();
        EditingCell = false;
    }
    CommittedByTabRow = -1;
    return true;
}

void TFenetreEnfant::TableauClick() {
    int row = CurrentRow();
    if (CurrentColumn() != 1 || row < 1)
        return;
    TypeEditorRow = row;
    Tableau->ShowTypeEditor(Device.GetChannelType(row - 1) == Automatic ? 1 : 0);
    EditingCell = true;
}

void TFenetreEnfant::TableauMouseMove(int column, int row) {
    if (CurrentColumn() != 1)
        return;
    if (column == CurrentColumn() && row == CurrentRow())
        return;
    Tableau->HideTypeEditor();
    SetCurrentCell(2, CurrentRow()); // commits the type on the way
}

void TFenetreEnfant::TableauExit() {
    CommitTypeEdit();
    CommitTimeEdit();
    SetModified(true);
    EditingCell = false;
}

void TFenetreEnfant::ComboBoxTypeChange(int index) {
    Device.SetModel(index);
    ShowModelRows();
    SetCurrentCell(2, 1);
    SetModified(true);
}

bool TFenetreEnfant::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Client && event->type() == QEvent::MouseMove)
        LeaveEditing(); // the pointer over the window's own background
    return QMdiSubWindow::eventFilter(watched, event);
}

void TFenetreEnfant::FocusChanged(QWidget* old, QWidget* now) {
    // Only a move of the focus to another control of this window is an exit of the grid; a
    // message box or another window taking it is not, nor Qt moving it away while this window is
    // hidden for a moment.
    if (isHidden()) {
        KeyboardDuringHide = now;
        return;
    }
    if (Within(old, Tableau) && now && !Within(now, Tableau) && Within(now, this))
        TableauExit();
}

void TFenetreEnfant::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    // The grid's client height follows the window's outer height.
    int frame = Tableau->frameWidth();
    Tableau->setGeometry(0, 80, Client->width(), height() - 120 + 2 * frame);
    Chronologie->PlaceBesideGrid();
    LeaveEditingLater();
}

void TFenetreEnfant::hideEvent(QHideEvent* event) {
    QMdiSubWindow::hideEvent(event);
    // Only a hide of this window itself, not of the main window being torn down around it.
    if (!isHidden())
        return;
    // Restoring a maximized window hides it for a moment, and Qt hands the keyboard to some
    // other control meanwhile: give it back when the window shows again.
    QWidget* focus = QApplication::focusWidget();
    if (Within(focus, this))
        KeyboardBeforeHide = KeyboardDuringHide = focus;
    LeaveEditingLater();
}

void TFenetreEnfant::showEvent(QShowEvent* event) {
    QMdiSubWindow::showEvent(event);
    // After the MDI area has activated the window again and put back what it remembers.
    QMetaObject::invokeMethod(this, &TFenetreEnfant::RestoreKeyboard, Qt::QueuedConnection);
}

void TFenetreEnfant::RestoreKeyboard() {
    // Only if nobody has moved the keyboard on purpose since Qt moved it.
    if (KeyboardBeforeHide && KeyboardBeforeHide->isVisible() &&
        QApplication::focusWidget() == KeyboardDuringHide)
        KeyboardBeforeHide->setFocus(Qt::OtherFocusReason);
    KeyboardBeforeHide = nullptr;
    KeyboardDuringHide = nullptr;
}

void TFenetreEnfant::LeaveEditingLater() {
    // A warning from inside a resize or a hide would come before the window is laid out and drawn
    // again (restoring a maximized window hides it for a moment): let that finish first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (ClosedForGood)
                return;
            if (isVisible())
                RestoreKeyboard();
            if (EditingCell && isVisible())
                repaint(); // drawn as it now is, behind the box
            LeaveEditing();
        },
        Qt::QueuedConnection);
}

void TFenetreEnfant::PostEditorClosed(int code) {
    if (MainLink)
        QCoreApplication::postEvent(
            MainLink, new EditorClosedEvent(static_cast<EditorClosedCode>(code), this));
}

void TFenetreEnfant::closeEvent(QCloseEvent* event) {
    if (ClosedForGood) {
        QMdiSubWindow::closeEvent(event);
        return;
    }
    if (Modified()) {
        using namespace salvo::ui;
        QString question =
            QString::fromUtf8("Voulez-vous sauvegardez le fichier %1 ?").arg(windowTitle());
        BoxButton answer = ShowBox(this, BoxKind::Confirmation, question,
                                   {BoxButton::Yes, BoxButton::No, BoxButton::Cancel});
        if (answer == BoxButton::Yes) {
            event->ignore();
            PostEditorClosed(SaveRequested);
            return;
        }
        if (answer != BoxButton::No) {
            event->ignore();
            PostEditorClosed(CloseCancelled);
            return;
        }
    }
    ClosedForGood = true;
    QMdiSubWindow::closeEvent(event);
    if (!event->isAccepted()) {
        ClosedForGood = false;
        return;
    }
    PostEditorClosed(Closed);
}

void TFenetreEnfant::ShowMusic(TMusique* music) {
    Chronologie->SetMusic(music);
}

void TFenetreEnfant::FocusTimeline() {
    // A cell being typed is ended by the command that attached the music.
    if (Chronologie && Chronologie->isVisible())
        Chronologie->setFocus(Qt::OtherFocusReason);
}

void TFenetreEnfant::LightChannels(const QSet<int>& channels) {
    if (Chronologie)
        Chronologie->SetLitChannels(channels);
}

salvo::EditableProgram& TFenetreEnfant::Document() {
    if (!AsDocument)
        AsDocument = std::make_unique<WindowProgram>(*this);
    return *AsDocument;
}
