#include "ui/editor/TGrid.h"

#include "ui/editor/LineEdits.h"
#include "ui/editor/TFenetreEnfant.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

TGrid::TGrid(TFenetreEnfant* owner, QWidget* parent) : QTableWidget(parent), Owner(owner) {}

void TGrid::keyPressEvent(QKeyEvent* event) {
    // A key that the open cell editor let through (Enter) has already been through the window's
    // handler on its way in; handling it again would commit the cell twice.
    if (Editor && state() == EditingState) {
        QTableWidget::keyPressEvent(event);
        return;
    }
    QString replacement;
    switch (Owner->TableauKeyPress(event, &replacement)) {
    case TFenetreEnfant::KeyVerdict::Swallow:
        event->accept();
        return;
    case TFenetreEnfant::KeyVerdict::Replace: {
        QKeyEvent replaced(event->type(), event->key(), event->modifiers(), replacement,
                           event->isAutoRepeat(), static_cast<ushort>(event->count()));
        QTableWidget::keyPressEvent(&replaced);
        return;
    }
    case TFenetreEnfant::KeyVerdict::Pass:
        break;
    }
    // Backspace on a cell starts editing it, as any other character does.
    if (event->key() == Qt::Key_Backspace && state() != EditingState &&
        edit(currentIndex(), AnyKeyPressed, event))
        return;
    QTableWidget::keyPressEvent(event);
}

bool TGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        auto* me = static_cast<QMouseEvent*>(event);
        QModelIndex index = indexAt(me->position().toPoint());
        if (index.isValid())
            Owner->TableauMouseMove(index.column(), index.row() + 1);
    }
    return QTableWidget::viewportEvent(event);
}

void TGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // The editor may hold the keyboard only on paper: a warning box has just given it back and
    // the window is not active again yet. Either way the grid takes it over.
    QWidget* pending = editor->window()->focusWidget();
    bool hadKeyboard = editor->hasFocus() || pending == editor || editor->isAncestorOf(pending);
    QTableWidget::closeEditor(editor, hint);
    if (hadKeyboard)
        setFocus(Qt::OtherFocusReason);
}

TCellSelection::TCellSelection(TFenetreEnfant* owner, QAbstractItemModel* model)
    : QItemSelectionModel(model), Owner(owner) {}

void TCellSelection::setCurrentIndex(const QModelIndex& index,
                                     QItemSelectionModel::SelectionFlags command) {
    if (index.isValid() && !Owner->TableauSelectCell(index.column(), index.row() + 1))
        return;
    QItemSelectionModel::setCurrentIndex(index, NoUpdate);
    QItemSelectionModel::select(QItemSelection(index, index), ClearAndSelect);
    Q_UNUSED(command);
}

void TCellSelection::select(const QModelIndex&, QItemSelectionModel::SelectionFlags) {}

void TCellSelection::select(const QItemSelection&, QItemSelectionModel::SelectionFlags) {}

TCellDelegate::TCellDelegate(TFenetreEnfant* owner, TGrid* grid)
    : QStyledItemDelegate(grid), Owner(owner), Grid(grid) {}

QWidget* TCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                     const QModelIndex& index) const {
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    edit->setMaxLength(Unlimited);
    int column = index.column();
    int row = index.row() + 1;
    connect(edit, &QLineEdit::textEdited, Owner, [this, edit, column, row](const QString& text) {
        if (QTableWidgetItem* item = Grid->item(row - 1, column))
            item->setText(text);
        Owner->TableauSetEditText(column, row, text);
        Q_UNUSED(edit);
    });
    Grid->SetOpenEditor(edit);
    return edit;
}

void TCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = static_cast<QLineEdit*>(editor);
    QString text = index.data(Qt::EditRole).toString();
    // Rewriting an unchanged text would move the cursor of someone typing.
    if (edit->text() != text)
        edit->setText(text);
}

void TCellDelegate::setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const {
    // The cell already holds every keystroke.
}

void TCellDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
    if (Grid->OpenEditor() == editor)
        Grid->SetOpenEditor(nullptr);
    QStyledItemDelegate::destroyEditor(editor, index);
}

void TCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    if (index.column() != 0) {
        // A cell shows the beginning of its text, up to its width: laying out all of a long
        // text (a file may hold a megabyte) only to cut it would freeze the window. Glyphs
        // are at least a pixel wide, so this many characters more than fill the cell.
        const qsizetype fits = std::max(64, opt.rect.width());
        if (opt.text.size() > fits) {
            opt.text.truncate(opt.text.at(fits - 1).isHighSurrogate() ? fits - 1 : fits);
            opt.text += QChar(0x2026); // "…", as the cell would end a text cut to its width
        }
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        return;
    }
    // The channel numbers are drawn like headings.
    painter->fillRect(opt.rect, opt.palette.brush(QPalette::Active, QPalette::Button));
    painter->setPen(opt.palette.color(QPalette::Active, QPalette::ButtonText));
    painter->setFont(opt.font);
    painter->drawText(opt.rect.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                      index.data().toString());
}

bool TCellDelegate::eventFilter(QObject* watched, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress && editor && !Forwarding) {
        auto* ke = static_cast<QKeyEvent*>(event);
        QString replacement;
        switch (Owner->TableauKeyPress(ke, &replacement)) {
        case TFenetreEnfant::KeyVerdict::Swallow:
            return true;
        case TFenetreEnfant::KeyVerdict::Replace: {
            QKeyEvent replaced(ke->type(), ke->key(), ke->modifiers(), replacement,
                               ke->isAutoRepeat(), static_cast<ushort>(ke->count()));
            Forwarding = true;
            QApplication::sendEvent(editor, &replaced);
            Forwarding = false;
            return true;
        }
        case TFenetreEnfant::KeyVerdict::Pass:
            break;
        }
    }
    // The typing in the cell goes on when the keyboard only passes through a warning box, a menu
    // or another program, or while the window is hidden for a moment as it is restored: the
    // editor is not closed then, so the keyboard comes back to it.
    if (event->type() == QEvent::FocusOut) {
        Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (QApplication::activeModalWidget() || Owner->isHidden() ||
            reason == Qt::MenuBarFocusReason || reason == Qt::PopupFocusReason ||
            reason == Qt::ActiveWindowFocusReason)
            return false;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}
