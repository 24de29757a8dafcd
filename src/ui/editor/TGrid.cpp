#include "ui/editor/TGrid.h"

#include "model/program/ChannelTable.h"
#include "ui/common/WindowFont.h"
#include "ui/editor/LineEdits.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

using namespace salvo;

namespace {

constexpr int ColumnCount = 4;

const char* const Headings[ColumnCount] = {" N° de la ligne ", " Type de la voie ",
                                           " Retard de la voie ", " Description "};

} // namespace

TGrid::TGrid(GridEvents& events, QWidget* parent) : QTableWidget(parent), Events(events) {
    setObjectName(QStringLiteral("Tableau"));
    setGeometry(0, 80, 756, 474);
    // The window's font, smaller.
    setFont(WindowFont(9));
    setStatusTip(QStringLiteral("Numero de la voie"));
    setColumnCount(ColumnCount);
    setRowCount(SlotCount);
    const int widths[ColumnCount] = {150, 150, 150, 275};
    for (int c = 0; c < ColumnCount; ++c)
        setColumnWidth(c, widths[c]);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(24);
    verticalHeader()->setMinimumSectionSize(24);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setFixedHeight(24);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setShowGrid(true);
    setTabKeyNavigation(true);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setItemDelegate(new TCellDelegate(events, this));
    viewport()->setMouseTracking(true);
    QItemSelectionModel* oldSelection = selectionModel();
    setSelectionModel(new TCellSelection(events, model()));
    delete oldSelection;
    connect(this, &QTableWidget::clicked, this, [this] { Events.TableauClick(); });
}

void TGrid::FillEmpty(const QString& zeroTime) {
    for (int c = 0; c < ColumnCount; ++c)
        setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf8(Headings[c])));
    for (int n = 1; n <= SlotCount; ++n) {
        auto* number = new QTableWidgetItem(QString::number(n));
        number->setFlags(Qt::NoItemFlags); // fixed column: drawn as a heading, never current
        setItem(n - 1, 0, number);
        auto* type = new QTableWidgetItem(QString::fromUtf8(ChannelTypeNames[Manual]));
        type->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(n - 1, 1, type);
        setItem(n - 1, 2, new QTableWidgetItem(zeroTime));
        setItem(n - 1, 3, new QTableWidgetItem(QString()));
    }
}

void TGrid::ShowRows(int channelCount) {
    for (int r = 0; r < SlotCount; ++r)
        setRowHidden(r, r >= channelCount);
}

QTableWidgetItem* TGrid::Item(int column, int row) const {
    if (row < 1 || row > SlotCount || column < 0 || column >= ColumnCount)
        return nullptr;
    return item(row - 1, column);
}

QString TGrid::CellText(int column, int row) const {
    if (row == 0 && column >= 0 && column < ColumnCount)
        return QString::fromUtf8(Headings[column]);
    QTableWidgetItem* cell = Item(column, row);
    return cell ? cell->text() : QString();
}

void TGrid::SetCellText(int column, int row, const QString& text) {
    if (QTableWidgetItem* cell = Item(column, row))
        cell->setText(text);
}

int TGrid::CurrentColumn() const {
    QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : -1;
}

int TGrid::CurrentRow() const {
    QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : -1;
}

void TGrid::SetCurrentCell(int column, int row) {
    setCurrentCell(row - 1, column);
}

void TGrid::AddTypeEditor() {
    TypeEditor = new QComboBox(viewport());
    TypeEditor->setObjectName(QStringLiteral("TypeEditor"));
    TypeEditor->addItem(QString::fromUtf8(ChannelTypeNames[Manual]));
    TypeEditor->addItem(QString::fromUtf8(ChannelTypeNames[Automatic]));
    TypeEditor->setMaxVisibleItems(3);
    TypeEditor->setStyleSheet(QStringLiteral("QAbstractItemView::item { min-height: 15px; }"));
    TypeEditor->resize(210, TypeEditor->sizeHint().height());
    TypeEditor->setCurrentIndex(0);
    TypeEditor->hide();
}

void TGrid::ShowTypeEditor(int typeIndex) {
    QRect cell = visualRect(currentIndex());
    TypeEditor->setGeometry(cell.left(), cell.top(), cell.width() + 10, cell.height() - 2);
    TypeEditor->setCurrentIndex(typeIndex);
    TypeEditor->show();
    TypeEditor->raise();
}

void TGrid::HideTypeEditor() {
    // The list may hold the keyboard (a choice was just made in it): hand it back to the grid
    // first, or hiding would pass it to the next control of the window.
    if (TypeEditor->isAncestorOf(QApplication::focusWidget()))
        setFocus(Qt::OtherFocusReason);
    TypeEditor->hide();
}

int TGrid::TypeEditorIndex() const {
    return TypeEditor->currentIndex();
}

void TGrid::keyPressEvent(QKeyEvent* event) {
    // A key that the open cell editor let through (Enter) has already been through the window's
    // handler on its way in; handling it again would commit the cell twice.
    if (Editor && state() == EditingState) {
        QTableWidget::keyPressEvent(event);
        return;
    }
    QString replacement;
    switch (Events.TableauKeyPress(event, &replacement)) {
    case GridEvents::KeyVerdict::Swallow:
        event->accept();
        return;
    case GridEvents::KeyVerdict::Replace: {
        QKeyEvent replaced(event->type(), event->key(), event->modifiers(), replacement,
                           event->isAutoRepeat(), static_cast<ushort>(event->count()));
        QTableWidget::keyPressEvent(&replaced);
        return;
    }
    case GridEvents::KeyVerdict::Pass:
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
            Events.TableauMouseMove(index.column(), index.row() + 1);
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

TCellSelection::TCellSelection(GridEvents& events, QAbstractItemModel* model)
    : QItemSelectionModel(model), Events(events) {}

void TCellSelection::setCurrentIndex(const QModelIndex& index,
                                     QItemSelectionModel::SelectionFlags command) {
    if (index.isValid() && !Events.TableauSelectCell(index.column(), index.row() + 1))
        return;
    QItemSelectionModel::setCurrentIndex(index, NoUpdate);
    QItemSelectionModel::select(QItemSelection(index, index), ClearAndSelect);
    Q_UNUSED(command);
}

void TCellSelection::select(const QModelIndex&, QItemSelectionModel::SelectionFlags) {}

void TCellSelection::select(const QItemSelection&, QItemSelectionModel::SelectionFlags) {}

TCellDelegate::TCellDelegate(GridEvents& events, TGrid* grid)
    : QStyledItemDelegate(grid), Events(events), Grid(grid) {}

QWidget* TCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                     const QModelIndex& index) const {
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    edit->setMaxLength(Unlimited);
    int column = index.column();
    int row = index.row() + 1;
    connect(edit, &QLineEdit::textEdited, Grid, [this, edit, column, row](const QString& text) {
        if (QTableWidgetItem* item = Grid->item(row - 1, column))
            item->setText(text);
        Events.TableauSetEditText(column, row, text);
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
        switch (Events.TableauKeyPress(ke, &replacement)) {
        case GridEvents::KeyVerdict::Swallow:
            return true;
        case GridEvents::KeyVerdict::Replace: {
            QKeyEvent replaced(ke->type(), ke->key(), ke->modifiers(), replacement,
                               ke->isAutoRepeat(), static_cast<ushort>(ke->count()));
            Forwarding = true;
            QApplication::sendEvent(editor, &replaced);
            Forwarding = false;
            return true;
        }
        case GridEvents::KeyVerdict::Pass:
            break;
        }
    }
    // The typing in the cell goes on when the keyboard only passes through a warning box, a menu
    // or another program, or while the window is hidden for a moment as it is restored: the
    // editor is not closed then, so the keyboard comes back to it.
    if (event->type() == QEvent::FocusOut) {
        Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (QApplication::activeModalWidget() || Events.TableauWindowHidden() ||
            reason == Qt::MenuBarFocusReason || reason == Qt::PopupFocusReason ||
            reason == Qt::ActiveWindowFocusReason)
            return false;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}
