#pragma once
// The channel grid of the editor window: a table whose key presses, cell moves, clicks and
// pointer moves go through its owner's handlers before the table acts on them.

#include <QItemSelectionModel>
#include <QStyledItemDelegate>
#include <QTableWidget>

class QComboBox;
class QKeyEvent;

// What the grid asks of the window it sits in, and tells it. Cells are numbered as the user
// sees them: row 0 holds the headings, row n is channel n. The answers are needed at once: a
// key's verdict and whether a cell may become current decide what the grid does next.
class GridEvents {
public:
    enum class KeyVerdict { Pass, Swallow, Replace };
    // A key for the grid or its cell editor: passed on, swallowed, or passed on as *replacement.
    virtual KeyVerdict TableauKeyPress(QKeyEvent* event, QString* replacement) = 0;
    // The cell being typed in holds a new text.
    virtual void TableauSetEditText(int column, int row, const QString& text) = 0;
    // Whether the cell may become the current one.
    virtual bool TableauSelectCell(int column, int row) = 0;
    virtual void TableauClick() = 0;
    virtual void TableauMouseMove(int column, int row) = 0;
    // The window is hidden for a moment (a maximized one being restored).
    virtual bool TableauWindowHidden() const = 0;

protected:
    ~GridEvents() = default;
};

class TGrid : public QTableWidget {
    Q_OBJECT
public:
    // A grid of every channel slot, without its cells yet.
    TGrid(GridEvents& events, QWidget* parent);

    // The headings and, on every row, the channel's number, a manual type, a zero delay written
    // as zeroTime and no description.
    void FillEmpty(const QString& zeroTime);
    // Rows beyond the model's channels are hidden; they keep their texts.
    void ShowRows(int channelCount);

    QString CellText(int column, int row) const;
    void SetCellText(int column, int row, const QString& text);
    int CurrentColumn() const;
    int CurrentRow() const;
    void SetCurrentCell(int column, int row);

    // The list that chooses a channel's type over its cell: made after the timeline beside the
    // grid, so that it comes after it in the window's tab order.
    void AddTypeEditor();
    // Opened over the current cell, on the type given by its index.
    void ShowTypeEditor(int typeIndex);
    void HideTypeEditor();
    int TypeEditorIndex() const;

    // The in-place editor open on a cell, if any.
    QWidget* OpenEditor() const { return Editor; }
    void SetOpenEditor(QWidget* editor) { Editor = editor; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    QTableWidgetItem* Item(int column, int row) const;

    GridEvents& Events;
    QWidget* Editor = nullptr;
    QComboBox* TypeEditor = nullptr;
};

// Refuses or allows each move of the current cell, as the window decides.
class TCellSelection : public QItemSelectionModel {
    Q_OBJECT
public:
    TCellSelection(GridEvents& events, QAbstractItemModel* model);
    void setCurrentIndex(const QModelIndex& index,
                         QItemSelectionModel::SelectionFlags command) override;
    // The selection is the current cell and nothing else: the view's own requests are ignored.
    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QItemSelection& selection,
                QItemSelectionModel::SelectionFlags command) override;

private:
    GridEvents& Events;
};

// Line editors for the cells: keys go through the window's filter, every change of the text
// lands in the cell at once (the file writer reads what the user is typing).
class TCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TCellDelegate(GridEvents& events, TGrid* grid);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    GridEvents& Events;
    TGrid* Grid;
    bool Forwarding = false;
};
