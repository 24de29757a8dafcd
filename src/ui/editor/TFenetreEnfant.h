#pragma once
// The editor window: one firing program, its header fields and the grid of channels.

#include "device/Classep02.h"
#include "model/program/DelayRules.h"
#include "model/program/Document.h"
#include "ui/editor/TGrid.h"
#include "ui/music/MusicProgram.h"

#include <QMdiSubWindow>
#include <QPointer>
#include <QString>

#include <memory>

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QTableWidgetItem;
class HeaderFields;
class TChronologie;
namespace salvo::ui {
struct PrintSheet;
}

class TFenetreEnfant : public QMdiSubWindow,
                       public salvo::ChannelServices,
                       public MusicProgram,
                       private GridEvents {
    Q_OBJECT
public:
    explicit TFenetreEnfant(QWidget* parent = nullptr);
    ~TFenetreEnfant() override;

    // The channel table with its link to a device.
    salvo::CP02& Link() { return Device; }
    const salvo::CP02& Link() const { return Device; }
    salvo::ShownTimeArray& ShownTimes() { return Doc.ShownTimes; }
    // Where the window's closing is told.
    void SetMainWindow(QObject* main) { MainLink = main; }

    bool Modified() const { return Doc.Modified; }
    void SetModified(bool modified) { Doc.Modified = modified; }
    QString FileName() const { return QString::fromStdString(Doc.FileName); }
    void SetFileName(const QString& path) { Doc.FileName = path.toStdString(); }
    bool HasFileName() const { return Doc.HasFileName(); }
    bool IsClosed() const { return ClosedForGood; }

    QString Title() const;
    QString SerialNumber() const;
    QString VersionText() const;
    void SetTitle(const QString& text);
    void SetSerialNumber(const QString& text);
    void SetVersionText(const QString& text);
    QString Description(int channel) const;
    void SetDescription(int channel, const QString& text);
    // Fills an empty description as typing it would; false when the text cannot be kept in
    // a program file.
    bool FillDescription(int channel, const QString& text);
    int SelectedModel() const;

    // Grid coordinates as the user sees them: row 0 holds the headings, row n is channel n.
    QString CellText(int column, int row) const;
    int RowCount() const { return Device.ChannelCount() + 1; }
    int CurrentColumn() const;
    int CurrentRow() const;
    char DecimalSeparator() const;
    // The user's decimal separator, as every window shows times.
    static char LocaleDecimalSeparator();

    // The delay rules, with this window's cells and warnings.
    void ApplyChannelTime(int index, double seconds);
    void ChangeChannelType(int index, int type);
    // The model chosen by the program (a file being read): list, rows and current cell follow.
    void SetModelIndex(int model);
    void RefreshChannels();
    // What the printed page shows: the texts as the user sees them.
    salvo::ui::PrintSheet Sheet() const;

    // The program as its music sees it.
    QWidget* ProgramWindow() override { return this; }
    salvo::EditableProgram& Document() override;
    void ShowMusic(TMusique* music) override;
    void LightChannels(const QSet<int>& channels) override;
    // The keyboard to the timeline (when it shows), for the music's keys.
    void FocusTimeline();

    void SetDelayCell(int channelIndex, const std::string& text) override;
    void SetTypeCell(int channelIndex, const std::string& text) override;
    void ShowWarning(const std::string& text) override;

    // Ends the editing of a cell as the pointer over the window's background does.
    void LeaveEditing();
    // Ends the editing as leaving the window does, before a command reads the document; false
    // when the typed value was refused or corrected, so the command must not go on.
    bool EndEditingForCommand();

    // The window's own size, before any maximizing: what cascading gives it back.
    QSize sizeHint() const override { return InitialSize; }

signals:
    // The channel table or its cells changed: the timeline redraws.
    void ProgramChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the grid asks and tells.
    KeyVerdict TableauKeyPress(QKeyEvent* event, QString* replacement) override;
    void TableauSetEditText(int column, int row, const QString& text) override;
    bool TableauSelectCell(int column, int row) override;
    void TableauClick() override;
    void TableauMouseMove(int column, int row) override;
    bool TableauWindowHidden() const override { return isHidden(); }
    void TableauExit();
    void ComboBoxTypeChange(int index);

    void CommitTypeEdit();
    void CommitTimeEdit();
    void SetCurrentCell(int column, int row);
    // A warning box, after which the keyboard is back where it was.
    void Warn(const QString& text);
    void LeaveEditingLater();
    void RestoreKeyboard();
    void ShowModelRows();
    void FocusChanged(QWidget* old, QWidget* now);
    void PostEditorClosed(int code);

    // The document: destroying the link releases the port; the header texts live in fields.
    salvo::CP02 Device;
    salvo::DocumentData Doc; // file binding, shown times, Modified
    QPointer<QObject> MainLink;

    QWidget* Client = nullptr;
    std::unique_ptr<salvo::EditableProgram> AsDocument; // made on first use
    HeaderFields* Header = nullptr;
    TGrid* Tableau = nullptr;
    TChronologie* Chronologie = nullptr; // the timeline right of the grid
    QSize InitialSize;
    QPointer<QWidget> KeyboardBeforeHide, KeyboardDuringHide;
    int TypeEditorRow = -1;     // the row the type list was last opened on
    int CommittedByTabRow = -1; // the delay row Tab has just committed, before the move
    bool InLeaveEditing = false;
    bool ClosedForGood = false;
    bool EditingCell = false;
    bool KeypadDecimal = false;
    int RuleWarnings = 0; // warnings of the delay rules shown so far
};

const char* const MsgDelaysAdjusted =
    "Des modifications ont été apportées au retard pourque les retards soient toujours "
    "compatibles avec le fonctionnement du Ignivelle";
