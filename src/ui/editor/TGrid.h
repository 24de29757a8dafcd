#pragma once
// The channel grid of the editor window: a table whose key presses, cell moves, clicks and
// pointer moves go through the window's handlers before the table acts on them.

#include <QItemSelectionModel>
#include <QStyledItemDelegate>
#include <QTableWidget>

class TFenetreEnfant;

class TGrid : public QTableWidget {
    Q_OBJECT
public:
    TGrid(TFenetreEnfant* owner, QWidget* parent);

    // The in-place editor open on a cell, if any.
    QWidget* OpenEditor() const { return Editor; }
    void SetOpenEditor(QWidget* editor) { Editor = editor; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    TFenetreEnfant* Owner;
    QWidget* Editor = nullptr;
};

// Refuses or allows each move of the current cell, as the window decides.
class TCellSelection : public QItemSelectionModel {
    Q_OBJECT
public:
    TCellSelection(TFenetreEnfant* owner, QAbstractItemModel* model);
    void setCurrentIndex(const QModelIndex& index,
                         QItemSelectionModel::SelectionFlags command) override;
    // The selection is the current cell and nothing else: the view's own requests are ignored.
    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QItemSelection& selection,
                QItemSelectionModel::SelectionFlags command) override;

private:
    TFenetreEnfant* Owner;
};

// Line editors for the cells: keys go through the window's filter, every change of the text
// lands in the cell at once (the file writer reads what the user is typing).
class TCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TCellDelegate(TFenetreEnfant* owner, TGrid* grid);
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
    TFenetreEnfant* Owner;
    TGrid* Grid;
    bool Forwarding = false;
};
