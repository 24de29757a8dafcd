#include "ui/dialogs/TImportTableur.h"
#include "ui/common/Strings.h"

#include "model/program/TimeText.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace salvo;

namespace {

QLabel* Label(QWidget* parent, const char* name, const char* text) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items = {}) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    return box;
}

// "A", "B", ... "Z", "AA": the column names of spreadsheets.
QString ColumnLetter(int column) {
    QString name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar(u'A' + (c - 1) % 26));
    return name;
}

constexpr int PreviewRows = 8;
const char Separators[] = {';', ',', '\t'};

} // namespace

TImportTableur::TImportTableur(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TImportTableur"));
    setWindowTitle(U("Importer d'un tableur"));
    Program = std::make_unique<ProgramDocument>();

    LabelFichier = new QLabel(this);
    LabelFichier->setObjectName(QStringLiteral("LabelFichier"));

    auto* file = new QGroupBox(U("Le fichier"), this);
    file->setObjectName(QStringLiteral("GroupeFichier"));
    ComboSeparateur = Combo(file, "ComboSeparateur",
                            {U("Point-virgule ( ; )"), U("Virgule ( , )"), U("Tabulation")});
    ComboDecimale = Combo(file, "ComboDecimale", {U("Virgule (1,5)"), U("Point (1.5)")});
    ComboCodage = Combo(file, "ComboCodage", {U("UTF-8"), U("Windows-1252")});
    QStringList rates;
    for (int rate : FrameRates)
        rates << QString::number(rate);
    ComboImages = Combo(file, "ComboImages", rates);
    ComboImages->setCurrentText(QString::number(DefaultFrameRate));
    CaseTitres = new QCheckBox(U("La première ligne contient des titres"), file);
    CaseTitres->setObjectName(QStringLiteral("CaseTitres"));
    CaseTitres->setChecked(true);
    auto* fileForm = new QFormLayout(file);
    fileForm->addRow(Label(file, "LabelSeparateur", "Séparateur :"), ComboSeparateur);
    fileForm->addRow(Label(file, "LabelDecimale", "Décimales :"), ComboDecimale);
    fileForm->addRow(Label(file, "LabelCodage", "Caractères :"), ComboCodage);
    fileForm->addRow(Label(file, "LabelImages", "Images par seconde :"), ComboImages);
    fileForm->addRow(CaseTitres);

    auto* columns = new QGroupBox(U("Les colonnes"), this);
    columns->setObjectName(QStringLiteral("GroupeColonnes"));
    ComboVoie = Combo(columns, "ComboVoie");
    ComboType = Combo(columns, "ComboType");
    ComboRetard = Combo(columns, "ComboRetard");
    ComboHeure = Combo(columns, "ComboHeure");
    ComboDescription = Combo(columns, "ComboDescription");
    auto* columnForm = new QFormLayout(columns);
    columnForm->addRow(Label(columns, "LabelVoie", "Voie :"), ComboVoie);
    columnForm->addRow(Label(columns, "LabelType", "Type :"), ComboType);
    columnForm->addRow(Label(columns, "LabelRetard", "Retard depuis la voie précédente :"),
                       ComboRetard);
    columnForm->addRow(Label(columns, "LabelHeure", "Heure depuis le début de la séquence :"),
                       ComboHeure);
    columnForm->addRow(Label(columns, "LabelDescription", "Description :"), ComboDescription);

    Apercu = new QTableWidget(this);
    Apercu->setObjectName(QStringLiteral("Apercu"));
    Apercu->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Apercu->setSelectionMode(QAbstractItemView::NoSelection);
    Apercu->verticalHeader()->setDefaultSectionSize(20);
    Apercu->setMinimumHeight(8 * 20 + 30);

    LabelBilan = new QLabel(this);
    LabelBilan->setObjectName(QStringLiteral("LabelBilan"));
    LabelBilan->setWordWrap(true);
    ListeRemarques = new QListWidget(this);
    ListeRemarques->setObjectName(QStringLiteral("ListeRemarques"));
    ListeRemarques->setMinimumHeight(90);

    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("Boutons"));
    ButtonImporter = buttons->addButton(U("&Importer"), QDialogButtonBox::AcceptRole);
    ButtonImporter->setObjectName(QStringLiteral("ButtonImporter"));
    ButtonAnnuler = buttons->addButton(U("Annuler"), QDialogButtonBox::RejectRole);
    ButtonAnnuler->setObjectName(QStringLiteral("ButtonAnnuler"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(file);
    top->addWidget(columns, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelFichier);
    layout->addLayout(top);
    layout->addWidget(Label(this, "LabelApercu", "Les premières lignes :"));
    layout->addWidget(Apercu, 1);
    layout->addWidget(LabelBilan);
    layout->addWidget(ListeRemarques);
    layout->addWidget(buttons);
    resize(760, 620);

    for (QComboBox* box : {ComboSeparateur, ComboCodage})
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!Filling)
                ReadAgain();
        });
    // Neither changes how the file is cut into cells: the table stays, its reading changes.
    connect(ComboDecimale, &QComboBox::currentIndexChanged, this, [this] {
        if (!Filling)
            ShowTable();
    });
    connect(CaseTitres, &QCheckBox::toggled, this, [this](bool headings) {
        if (Filling)
            return;
        Table.Headings = headings;
        ShowTable();
    });
    connect(ComboImages, &QComboBox::currentIndexChanged, this, [this] {
        if (!Filling)
            PlanAgain();
    });
    for (QComboBox* box : {ComboVoie, ComboType, ComboRetard, ComboHeure, ComboDescription})
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!Filling)
                PlanAgain();
        });
}

void TImportTableur::SetSource(const std::string& bytes, const QString& fileName,
                               char decimalSeparator, const SheetOptions& guess, SheetTable table) {
    Bytes = bytes;
    Separator = decimalSeparator;
    LabelFichier->setText(U("Fichier : %1").arg(fileName));
    Filling = true;
    ComboSeparateur->setCurrentIndex(static_cast<int>(
        std::find(std::begin(Separators), std::end(Separators), guess.FieldSeparator) -
        std::begin(Separators)));
    ComboDecimale->setCurrentIndex(guess.DecimalSeparator == '.' ? 1 : 0);
    ComboCodage->setCurrentIndex(guess.Encoding == SheetEncoding::Windows1252 ? 1 : 0);
    CaseTitres->setChecked(guess.Headings);
    Filling = false;
    Table = std::move(table);
    ShowTable();
}

SheetOptions TImportTableur::ChosenOptions() const {
    SheetOptions options;
    options.FieldSeparator = Separators[std::clamp(ComboSeparateur->currentIndex(), 0, 2)];
    options.DecimalSeparator = ComboDecimale->currentIndex() == 1 ? '.' : ',';
    options.Encoding =
        ComboCodage->currentIndex() == 1 ? SheetEncoding::Windows1252 : SheetEncoding::Utf8;
    options.Headings = CaseTitres->isChecked();
    return options;
}

ColumnMapping TImportTableur::ChosenColumns() const {
    // Entry 0 is "(aucune)"; entry c + 1 is column c.
    ColumnMapping m;
    m.Channel = ComboVoie->currentIndex() - 1;
    m.Type = ComboType->currentIndex() - 1;
    m.Delay = ComboRetard->currentIndex() - 1;
    m.Time = ComboHeure->currentIndex() - 1;
    m.Description = ComboDescription->currentIndex() - 1;
    return m;
}

void TImportTableur::ReadAgain() {
    const SheetOptions chosen = ChosenOptions();
    Table = ReadSheet(Bytes, chosen);
    // Cells cut at other places hold other numbers: the mark and the headings follow.
    const char decimal = GuessDecimalSeparator(Table, chosen.FieldSeparator);
    Table.Headings = !FirstRowIsData(Table, decimal);
    Filling = true;
    ComboDecimale->setCurrentIndex(decimal == '.' ? 1 : 0);
    CaseTitres->setChecked(Table.Headings);
    Filling = false;
    ShowTable();
}

void TImportTableur::ShowTable() {
    ColumnMapping guess = GuessColumns(Table);
    QStringList names{U("(aucune)")};
    const std::vector<std::string>* headings =
        Table.HeadingRow() >= 0 ? &Table.Rows[static_cast<size_t>(Table.HeadingRow())] : nullptr;
    for (int c = 0; c < Table.ColumnCount(); ++c) {
        QString heading = headings && static_cast<size_t>(c) < headings->size()
                              ? QString::fromStdString((*headings)[static_cast<size_t>(c)])
                              : QString();
        names << (heading.isEmpty() ? ColumnLetter(c) : ColumnLetter(c) + U(" : ") + heading);
    }
    Filling = true;
    auto fill = [&names](QComboBox* box, int column) {
        box->clear();
        box->addItems(names);
        box->setCurrentIndex(column + 1);
    };
    fill(ComboVoie, guess.Channel);
    fill(ComboType, guess.Type);
    fill(ComboRetard, guess.Delay);
    fill(ComboHeure, guess.Time);
    fill(ComboDescription, guess.Description);
    Filling = false;
    ShowPreview();
    PlanAgain();
}

void TImportTableur::ShowPreview() {
    int columns = Table.ColumnCount();
    Apercu->clear();
    Apercu->setColumnCount(columns);
    QStringList labels;
    for (int c = 0; c < columns; ++c)
        labels << ColumnLetter(c);
    Apercu->setHorizontalHeaderLabels(labels);
    // The heading row and the first rows after it, numbered as the spreadsheet numbers them.
    int first = std::max(Table.FirstRow, 0);
    int last = std::min(static_cast<int>(Table.Rows.size()), Table.FirstDataRow() + PreviewRows);
    Apercu->setRowCount(std::max(last - first, 0));
    QStringList rowNames;
    for (int r = first; r < last; ++r) {
        const auto& row = Table.Rows[static_cast<size_t>(r)];
        rowNames << QString::number(r + 1);
        for (size_t c = 0; c < row.size(); ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(row[c]));
            if (r == Table.HeadingRow()) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            Apercu->setItem(r - first, static_cast<int>(c), item);
        }
    }
    Apercu->setVerticalHeaderLabels(rowNames);
    Apercu->resizeColumnsToContents();
}

void TImportTableur::PlanAgain() {
    Plan = PlanImport(Table, ChosenColumns(), ChosenOptions().DecimalSeparator,
                      ComboImages->currentText().toInt());
    Program = std::make_unique<ProgramDocument>(Separator);
    Measured = ImportOutcome();
    ListeRemarques->clear();
    for (const std::string& note : Plan.Notes)
        ListeRemarques->addItem(QString::fromStdString(note));
    if (!Plan.Refused.empty()) {
        LabelBilan->setText(
            U("Rien ne peut être importé tant que le fichier ou le choix des colonnes laisse "
              "des cellules refusées :"));
        for (const std::string& r : Plan.Refused)
            ListeRemarques->addItem(QString::fromStdString(r));
    } else {
        Measured = ImportInto(Plan, *Program);
        int given = 0;
        for (const PlannedChannel& p : Plan.Channels)
            given += p.Given;
        QString text =
            U("%1 voies pour un %2. Plus grand écart entre une heure du fichier et l'heure "
              "programmée : %3 s")
                .arg(given)
                .arg(U(ModelNames[static_cast<size_t>(Plan.Model)]))
                .arg(QString::fromStdString(
                    FormatTime(std::round(Measured.LargestResidual * 1000) / 1000, Separator)));
        if (Measured.ResidualChannel > 0)
            text += U(" (voie %1)").arg(Measured.ResidualChannel);
        text += Measured.Corrections.empty()
                    ? U(".")
                    : U(". Les règles de retard de l'appareil corrigent ces voies :");
        LabelBilan->setText(text);
        for (const std::string& c : Measured.Corrections)
            ListeRemarques->addItem(QString::fromStdString(c));
    }
    ListeRemarques->setVisible(ListeRemarques->count() > 0);
    ButtonImporter->setEnabled(Importable());
}

bool TImportTableur::Importable() const {
    return Plan.Refused.empty();
}
