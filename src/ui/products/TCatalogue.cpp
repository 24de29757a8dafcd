#include "ui/products/TCatalogue.h"

#include "model/files/SheetCells.h"
#include "model/files/Spreadsheet.h"
#include "model/io/SafeFile.h"
#include "model/products/Catalogue.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/Messages.h"
#include "ui/common/Strings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <optional>

using namespace salvo;
using namespace salvo::ui;

namespace {

const char* const CatalogueFilter = "Catalogue de produits (*.csv)|*.csv|Tous les fichiers (*.*)|*";
const char* const MsgSaveChanges = "Le catalogue a été modifié. Enregistrer les modifications ?";
const char* const MsgRefusedCell = "%1 : %2.\n\nLa cellule reprend sa valeur précédente.";
const char* const MsgNotWritten =
    "Le catalogue n'a pas pu être enregistré dans le fichier « %1 ».\n\nLes produits restent "
    "dans cette fenêtre ; enregistrez-les ailleurs avec « Enregistrer sous... ».";
const char* const MsgReplace = "Le fichier « %1 » existe déjà.\n\nVoulez-vous le remplacer ?";
const char* const MsgUnreadable =
    "Le fichier « %1 » n'a pas pu être lu.\n\nLe catalogue reste tel qu'il était.";
const char* const MsgNotASheet =
    "Le fichier « %1 » n'est pas un catalogue que Salvodesk sait lire.\n\nEnregistrez-le "
    "depuis le tableur au format CSV (texte séparé par des points-virgules, des virgules ou des "
    "tabulations). Le catalogue reste tel qu'il était.";
const char* const MsgNoName =
    "Aucune colonne du fichier « %1 » ne donne le nom commercial des produits : il n'est pas "
    "lu.\n\nLe catalogue reste tel qu'il était.";
const char* const MsgNoProduct =
    "Aucun produit du fichier « %1 » n'a pu être lu :\n\n%2\n\nLe catalogue reste tel qu'il "
    "était.";
const char* const MsgRefusedRows =
    "Lignes refusées du fichier « %1 » (elles ne sont pas reprises dans le catalogue) :\n\n%2"
    "\n\nProduits ouverts : %3.";

// A catalogue is a few hundred rows; anything far larger is not one.
constexpr size_t MaxCatalogueBytes = 4 << 20;
constexpr size_t RefusalsShown = 15;

enum Column { Name, Maker, Class, Reference, Calibre, Mass, Duration, Lift, Distance, Effect };
constexpr int ColumnCount = 10;

const std::array<const char*, ColumnCount> Headings{
    "Nom commercial",   "Fabricant", "Catégorie", "Référence",    "Calibre (mm)",
    "Masse active (g)", "Durée (s)", "Levée (s)", "Distance (m)", "Effet"};

struct Figure {
    int Decimals;
    int64_t Max;
};
// The figures by column, in the units the file writes them.
std::optional<Figure> FigureOf(int column) {
    switch (column) {
    case Calibre:
        return Figure{0, MaxCalibreMm};
    case Mass:
        return Figure{0, MaxMassGrams};
    case Duration:
    case Lift:
        return Figure{3, MaxMilliseconds};
    case Distance:
        return Figure{2, MaxDistanceCm};
    default:
        return std::nullopt;
    }
}

std::optional<int64_t> FigureValue(const Product& p, int column) {
    switch (column) {
    case Calibre:
        return p.CalibreMm ? std::optional<int64_t>(*p.CalibreMm) : std::nullopt;
    case Mass:
        return p.MassGrams;
    case Duration:
        return p.DurationMs;
    case Lift:
        return p.LiftMs;
    case Distance:
        return p.SafetyDistanceCm;
    default:
        return std::nullopt;
    }
}

QString CellText(const Product& p, int column) {
    switch (column) {
    case Name:
        return Q(p.Name);
    case Maker:
        return Q(p.Maker);
    case Class:
        return QString::fromLatin1(CategoryName(p.Class));
    case Reference:
        return Q(p.Reference);
    case Effect:
        return Q(p.Effect);
    default:
        const std::optional<int64_t> v = FigureValue(p, column);
        return v ? Q(FormatFixed(*v, FigureOf(column)->Decimals, ',')) : QString();
    }
}

// What was typed into a figure's cell; an empty cell is a missing figure. Why says what is
// wrong, in the words of the file's refusals.
std::optional<int64_t> ReadFigure(const QString& typed, const Figure& f, bool& ok, QString& why) {
    // A point is taken for the decimal comma: the numeric keypad types one.
    const std::string text = S(typed.trimmed());
    std::string comma = text;
    std::replace(comma.begin(), comma.end(), '.', ',');
    ok = true;
    if (text.empty())
        return std::nullopt;
    const QString quoted = U("« %1 » ").arg(typed.trimmed());
    ok = false;
    std::optional<int64_t> v = ParseFixed(comma, f.Decimals, ',');
    if (!v && comma[0] == '-' && ParseFixed(comma.substr(1), f.Decimals, ','))
        why = quoted + U("est négatif");
    else if (!v && ParseFixed(comma, 9, ','))
        why =
            quoted + (f.Decimals == 0 ? U("n'est pas un nombre entier") : U("a trop de décimales"));
    else if (!v)
        why = quoted + U("n'est pas un nombre");
    else if (*v > f.Max)
        why = quoted + U("est trop grand");
    else
        ok = true;
    return ok ? v : std::nullopt;
}

// The product with a cell typed into it, or false and why not.
bool TypeInto(Product& p, int column, const QString& typed, QString& why) {
    const std::string text = S(typed.trimmed());
    switch (column) {
    case Name:
        if (text.empty()) {
            why = U("la cellule est vide");
            return false;
        }
        p.Name = text;
        return true;
    case Maker:
        p.Maker = text;
        return true;
    case Class:
        if (const std::optional<Category> c = ParseCategory(text)) {
            p.Class = *c;
            return true;
        }
        why = text.empty() ? U("la cellule est vide")
                           : U("« %1 » n'est pas une catégorie (F1, F2, F3, F4, T1 ou T2)")
                                 .arg(typed.trimmed());
        return false;
    case Reference:
        p.Reference = text;
        return true;
    case Effect:
        p.Effect = text;
        return true;
    default:
        bool ok = false;
        const std::optional<int64_t> v = ReadFigure(typed, *FigureOf(column), ok, why);
        if (!ok)
            return false;
        switch (column) {
        case Calibre:
            p.CalibreMm = v ? std::optional<int32_t>(static_cast<int32_t>(*v)) : std::nullopt;
            break;
        case Mass:
            p.MassGrams = v;
            break;
        case Duration:
            p.DurationMs = v;
            break;
        case Lift:
            p.LiftMs = v;
            break;
        default:
            p.SafetyDistanceCm = v;
        }
        return true;
    }
}

// Searched without regard to case or accents: "feu" finds "Feu d'artifice" and "FÉU".
QString Folded(const QString& text) {
    QString out;
    for (QChar c : text.normalized(QString::NormalizationForm_D))
        if (!c.isMark())
            out += c;
    return out.toCaseFolded();
}

constexpr int IndexRole = Qt::UserRole;    // column 0: the product's place in the session
constexpr int SortRole = Qt::UserRole + 1; // figures as numbers, texts folded

// Figures sort as numbers, a missing one first; texts without regard to case or accents.
class ProductItem : public QTableWidgetItem {
public:
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant a = data(SortRole), b = other.data(SortRole);
        if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong)
            return a.toLongLong() < b.toLongLong();
        return a.toString() < b.toString();
    }
};

// Which column of the file gives each field, when its headings are not the catalogue's own.
// False when the user gives up.
bool AskColumns(QWidget* parent, const QString& fileName, const SheetTable& table,
                ProductColumns& columns) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("TColonnesCatalogue"));
    dialog.setWindowTitle(U("Colonnes du catalogue"));
    auto* text = new QLabel(U("Les titres des colonnes du fichier « %1 » ne sont pas ceux du "
                              "catalogue. Choisissez la colonne qui donne chaque donnée :")
                                .arg(fileName),
                            &dialog);
    text->setObjectName(QStringLiteral("LabelColonnes"));
    text->setWordWrap(true);
    QStringList choices{U("(aucune)")};
    const int headingRow = table.HeadingRow();
    for (int c = 0; c < table.ColumnCount(); ++c) {
        QString heading;
        if (headingRow >= 0 && size_t(c) < table.Rows[size_t(headingRow)].size())
            heading = Q(table.Rows[size_t(headingRow)][size_t(c)]).trimmed();
        choices << (heading.isEmpty() ? U("Colonne %1").arg(c + 1)
                                      : U("Colonne %1 : %2").arg(c + 1).arg(heading));
    }
    int* fields[] = {&columns.Name,     &columns.Maker, &columns.Class,    &columns.Reference,
                     &columns.Calibre,  &columns.Mass,  &columns.Duration, &columns.Lift,
                     &columns.Distance, &columns.Effect};
    const char* names[] = {"ComboNom",      "ComboFabricant", "ComboCategorie", "ComboReference",
                           "ComboCalibre",  "ComboMasse",     "ComboDuree",     "ComboLevee",
                           "ComboDistance", "ComboEffet"};
    auto* form = new QFormLayout;
    std::array<QComboBox*, ColumnCount> combos{};
    for (int k = 0; k < ColumnCount; ++k) {
        combos[size_t(k)] = new QComboBox(&dialog);
        combos[size_t(k)]->setObjectName(QString::fromLatin1(names[k]));
        combos[size_t(k)]->addItems(choices);
        combos[size_t(k)]->setCurrentIndex(*fields[k] + 1);
        form->addRow(U(Headings[size_t(k)]), combos[size_t(k)]);
    }
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* open = buttons->addButton(U("&Ouvrir"), QDialogButtonBox::AcceptRole);
    open->setObjectName(QStringLiteral("ButtonOK"));
    QPushButton* cancel = buttons->addButton(U("Annuler"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ButtonAnnuler"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    for (int k = 0; k < ColumnCount; ++k)
        *fields[k] = combos[size_t(k)]->currentIndex() - 1;
    return true;
}

bool AllFound(const ProductColumns& c) {
    for (int v : {c.Name, c.Maker, c.Class, c.Reference, c.Calibre, c.Mass, c.Duration, c.Lift,
                  c.Distance, c.Effect})
        if (v < 0)
            return false;
    return true;
}

} // namespace

TCatalogue::TCatalogue(CatalogueSession& session, FileDialogProvider& dialogs,
                       const QString& documentsFolder, QWidget* parent)
    : QDialog(parent), Session(session), Dialogs(dialogs), DocumentsFolder(documentsFolder) {
    setObjectName(QStringLiteral("TCatalogue"));
    setWindowTitle(U("Catalogue des produits"));

    EditRecherche = new QLineEdit(this);
    EditRecherche->setObjectName(QStringLiteral("EditRecherche"));
    EditRecherche->setPlaceholderText(U("Rechercher"));
    EditRecherche->setClearButtonEnabled(true);

    TableProduits = new QTableWidget(0, ColumnCount, this);
    TableProduits->setObjectName(QStringLiteral("TableProduits"));
    QStringList headings;
    for (const char* h : Headings)
        headings << U(h);
    TableProduits->setHorizontalHeaderLabels(headings);
    TableProduits->verticalHeader()->hide();
    TableProduits->horizontalHeader()->setStretchLastSection(true);
    TableProduits->setColumnWidth(Name, 180);
    TableProduits->setColumnWidth(Maker, 120);
    TableProduits->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableProduits->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TableProduits->setEditTriggers(QAbstractItemView::DoubleClicked |
                                   QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed);
    // Sorted on a heading's click only: rows stay in place while they are typed into.
    QHeaderView* header = TableProduits->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    connect(header, &QHeaderView::sortIndicatorChanged, this, [this](int column, Qt::SortOrder o) {
        if (column >= 0)
            TableProduits->sortItems(column, o);
    });
    TableProduits->installEventFilter(this);

    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(U(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    ButtonAjouter = button("ButtonAjouter", "&Ajouter");
    ButtonCopier = button("ButtonCopier", "&Copier");
    ButtonSupprimer = button("ButtonSupprimer", "&Supprimer");
    ButtonOuvrir = button("ButtonOuvrir", "&Ouvrir...");
    ButtonEnregistrer = button("ButtonEnregistrer", "&Enregistrer");
    ButtonEnregistrerSous = button("ButtonEnregistrerSous", "Enregistrer &sous...");
    ButtonFermer = button("ButtonFermer", "&Fermer");
    auto* side = new QVBoxLayout;
    for (QPushButton* b : {ButtonAjouter, ButtonCopier, ButtonSupprimer})
        side->addWidget(b);
    side->addSpacing(16);
    for (QPushButton* b : {ButtonOuvrir, ButtonEnregistrer, ButtonEnregistrerSous})
        side->addWidget(b);
    side->addStretch();
    side->addWidget(ButtonFermer);
    auto* left = new QVBoxLayout;
    left->addWidget(EditRecherche);
    left->addWidget(TableProduits, 1);
    auto* row = new QHBoxLayout(this);
    row->addLayout(left, 1);
    row->addLayout(side);
    resize(1040, 480);

    connect(EditRecherche, &QLineEdit::textChanged, this, &TCatalogue::Filter);
    connect(TableProduits, &QTableWidget::itemChanged, this, &TCatalogue::CellTyped);
    connect(TableProduits, &QTableWidget::itemSelectionChanged, this, &TCatalogue::UpdateButtons);
    connect(ButtonAjouter, &QPushButton::clicked, this, &TCatalogue::Add);
    connect(ButtonCopier, &QPushButton::clicked, this, &TCatalogue::Copy);
    connect(ButtonSupprimer, &QPushButton::clicked, this, &TCatalogue::Remove);
    connect(ButtonOuvrir, &QPushButton::clicked, this, &TCatalogue::Open);
    connect(ButtonEnregistrer, &QPushButton::clicked, this, &TCatalogue::Save);
    connect(ButtonEnregistrerSous, &QPushButton::clicked, this, &TCatalogue::SaveAs);
    connect(ButtonFermer, &QPushButton::clicked, this, &TCatalogue::reject);
    Fill();
}

void TCatalogue::EndTyping() {
    // Moving the current cell away takes (or refuses) what its editor holds.
    QItemSelectionModel* selection = TableProduits->selectionModel();
    const QModelIndex current = selection->currentIndex();
    selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void TCatalogue::Fill() {
    Filling = true;
    TableProduits->clearContents();
    TableProduits->setRowCount(int(Session.Products.size()));
    for (size_t i = 0; i < Session.Products.size(); ++i)
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new ProductItem;
            if (c == 0)
                item->setData(IndexRole, qulonglong(i));
            item->setTextAlignment((FigureOf(c) ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
            TableProduits->setItem(int(i), c, item);
            ShowCell(item, c);
        }
    const QHeaderView* header = TableProduits->horizontalHeader();
    if (header->sortIndicatorSection() >= 0)
        TableProduits->sortItems(header->sortIndicatorSection(), header->sortIndicatorOrder());
    Filling = false;
    Filter();
    UpdateButtons();
}

void TCatalogue::ShowCell(QTableWidgetItem* item, int column) {
    const Product& p = Session.Products[ProductOfRow(item->row())];
    const bool filling = Filling;
    Filling = true;
    item->setText(CellText(p, column));
    if (FigureOf(column)) {
        const std::optional<int64_t> v = FigureValue(p, column);
        item->setData(SortRole, qlonglong(v ? *v : -1));
    } else {
        item->setData(SortRole, Folded(item->text()));
    }
    Filling = filling;
}

size_t TCatalogue::ProductOfRow(int row) const {
    return size_t(TableProduits->item(row, 0)->data(IndexRole).toULongLong());
}

void TCatalogue::CellTyped(QTableWidgetItem* item) {
    if (Filling)
        return;
    const int column = item->column();
    Product& product = Session.Products[ProductOfRow(item->row())];
    Product typed = product;
    QString why;
    const QString text = item->text();
    const bool accepted = TypeInto(typed, column, text, why);
    if (accepted && typed != product) {
        product = typed;
        Session.Modified = true;
    }
    // Written back as the file will write it, or as it was.
    ShowCell(item, column);
    if (!accepted) {
        // After the cell's editor has closed, so the box does not take its focus mid-commit.
        const QString message = U(MsgRefusedCell).arg(U(Headings[size_t(column)]), why);
        QMetaObject::invokeMethod(
            this, [this, message] { ShowError(this, message); }, Qt::QueuedConnection);
    }
}

void TCatalogue::Filter() {
    const QStringList words =
        Folded(EditRecherche->text()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int r = 0; r < TableProduits->rowCount(); ++r) {
        const Product& p = Session.Products[ProductOfRow(r)];
        const QString seen = Folded(QStringList{Q(p.Name), Q(p.Maker), Q(p.Reference), Q(p.Effect),
                                                QString::fromLatin1(CategoryName(p.Class))}
                                        .join(QLatin1Char('\n')));
        bool shown = true;
        for (const QString& w : words)
            shown = shown && seen.contains(w);
        TableProduits->setRowHidden(r, !shown);
    }
    UpdateButtons();
}

std::vector<size_t> TCatalogue::SelectedProducts() const {
    std::vector<size_t> out;
    for (const QModelIndex& i : TableProduits->selectionModel()->selectedRows())
        if (!TableProduits->isRowHidden(i.row()))
            out.push_back(ProductOfRow(i.row()));
    std::sort(out.begin(), out.end());
    return out;
}

void TCatalogue::UpdateButtons() {
    const bool any = !SelectedProducts().empty();
    ButtonCopier->setEnabled(any);
    ButtonSupprimer->setEnabled(any);
}

void TCatalogue::SelectProduct(size_t index, bool edit) {
    for (int r = 0; r < TableProduits->rowCount(); ++r)
        if (ProductOfRow(r) == index) {
            TableProduits->setCurrentCell(r, Name);
            TableProduits->selectRow(r);
            TableProduits->scrollToItem(TableProduits->item(r, Name));
            if (edit)
                TableProduits->editItem(TableProduits->item(r, Name));
            return;
        }
}

void TCatalogue::Add() {
    EndTyping();
    Product p;
    p.Name = "Nouveau produit";
    p.Class = Category::F2;
    Session.Products.push_back(p);
    Session.Modified = true;
    // The new row must be seen to be typed into.
    EditRecherche->clear();
    Fill();
    SelectProduct(Session.Products.size() - 1, true);
}

void TCatalogue::Copy() {
    EndTyping();
    const std::vector<size_t> selected = SelectedProducts();
    if (selected.empty())
        return;
    // The copy of the current row when it is selected, else of the first selected.
    size_t from = selected.front();
    if (const int r = TableProduits->currentRow();
        r >= 0 && TableProduits->item(r, 0)->isSelected())
        from = ProductOfRow(r);
    Product copy = Session.Products[from];
    copy.Name += " (copie)";
    Session.Products.insert(Session.Products.begin() + std::ptrdiff_t(from) + 1, copy);
    Session.Modified = true;
    EditRecherche->clear();
    Fill();
    SelectProduct(from + 1, false);
}

void TCatalogue::Remove() {
    EndTyping();
    const std::vector<size_t> selected = SelectedProducts();
    if (selected.empty())
        return;
    for (auto i = selected.rbegin(); i != selected.rend(); ++i)
        Session.Products.erase(Session.Products.begin() + std::ptrdiff_t(*i));
    Session.Modified = true;
    Fill();
}

bool TCatalogue::eventFilter(QObject* watched, QEvent* event) {
    // A cell's editor takes its own Delete key; only the table's reaches here.
    if (watched == TableProduits && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        Remove();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QString TCatalogue::Folder() const {
    return Session.Path.isEmpty() ? DocumentsFolder : QFileInfo(Session.Path).absolutePath();
}

bool TCatalogue::MayDropChanges() {
    if (!Session.Modified)
        return true;
    switch (ShowBox(this, BoxKind::Confirmation, U(MsgSaveChanges),
                    {BoxButton::Yes, BoxButton::No, BoxButton::Cancel})) {
    case BoxButton::Yes:
        return Save();
    case BoxButton::No:
        return true;
    default:
        return false;
    }
}

void TCatalogue::reject() {
    EndTyping();
    // The edits stay in the session for this run even when not saved.
    if (MayDropChanges())
        QDialog::reject();
}

bool TCatalogue::WriteTo(const QString& path) {
    const std::string bytes = CatalogueBytes(Session.Products);
    // All or nothing: a failed write leaves the file that was there.
    CarefulFile file;
    if (!file.Open(S(path)) || !file.Write(bytes.data(), bytes.size()) || !file.Commit()) {
        ShowError(this, U(MsgNotWritten).arg(QFileInfo(path).fileName()));
        return false;
    }
    Session.Path = path;
    Session.Modified = false;
    return true;
}

bool TCatalogue::Save() {
    EndTyping();
    return Session.Path.isEmpty() ? SaveAs() : WriteTo(Session.Path);
}

bool TCatalogue::SaveAs() {
    EndTyping();
    const QString proposed =
        Session.Path.isEmpty() ? U("Catalogue.csv") : QFileInfo(Session.Path).fileName();
    const QString chosen =
        Dialogs.SaveFileName(this, Folder(), proposed, U(CatalogueFilter), QStringLiteral("csv"));
    if (chosen.isEmpty())
        return false;
    const bool ownFile = !Session.Path.isEmpty() && QFileInfo(chosen).absoluteFilePath() ==
                                                        QFileInfo(Session.Path).absoluteFilePath();
    if (!ownFile && (QFileInfo::exists(chosen) || QFileInfo(chosen).isSymLink()) &&
        ShowBox(this, BoxKind::Confirmation, U(MsgReplace).arg(QFileInfo(chosen).fileName()),
                {BoxButton::Yes, BoxButton::No}) != BoxButton::Yes)
        return false;
    return WriteTo(chosen);
}

void TCatalogue::Open() {
    EndTyping();
    if (!MayDropChanges())
        return;
    const QString chosen =
        Dialogs.OpenFileName(this, Folder(), U(CatalogueFilter), U("Ouvrir un catalogue"));
    if (chosen.isEmpty())
        return;
    const QString name = QFileInfo(chosen).fileName();
    std::string bytes;
    const SmallFileResult read = ReadSmallFile(S(chosen), MaxCatalogueBytes, bytes);
    if (read == SmallFileResult::Missing || read == SmallFileResult::Unreadable) {
        ShowError(this, U(MsgUnreadable).arg(name));
        return;
    }
    // Too large, binary, without a single row or too wide: no table to read.
    const SheetProbe probe =
        ProbeSheet(read == SmallFileResult::Read ? bytes : std::string());
    if (probe.Fault != SheetFault::None) {
        ShowError(this, U(MsgNotASheet).arg(name));
        return;
    }
    const SheetTable& table = probe.Table;
    ProductColumns columns = GuessProductColumns(table);
    const bool ownColumns = AllFound(columns);
    if (!ownColumns && !AskColumns(this, name, table, columns))
        return;
    if (columns.Name < 0) {
        ShowError(this, U(MsgNoName).arg(name));
        return;
    }
    CatalogueRead catalogue = ReadCatalogue(table, columns, probe.Options.DecimalSeparator);
    QStringList refused;
    for (size_t i = 0; i < catalogue.Refused.size() && i < RefusalsShown; ++i)
        refused << Q(catalogue.Refused[i]);
    if (catalogue.Refused.size() > RefusalsShown)
        refused << U("… et %1 autres").arg(catalogue.Refused.size() - RefusalsShown);
    if (catalogue.Products.empty() && !refused.isEmpty()) {
        ShowError(this, U(MsgNoProduct).arg(name, refused.join(QLatin1Char('\n'))));
        return;
    }
    Session.Products = std::move(catalogue.Products);
    // A file of other columns, or one with refused rows, is not rewritten without the user
    // choosing it again: saving over it would drop the rows this window never showed.
    const bool keptWhole = ownColumns && catalogue.Refused.empty();
    Session.Path = keptWhole ? QFileInfo(chosen).absoluteFilePath() : QString();
    Session.Modified = !keptWhole;
    EditRecherche->clear();
    Fill();
    if (!refused.isEmpty())
        // In one pass: a "%1" in a refused cell stays as it was typed.
        ShowWarning(this, U(MsgRefusedRows)
                              .arg(name, refused.join(QLatin1Char('\n')),
                                   QString::number(Session.Products.size())));
}
