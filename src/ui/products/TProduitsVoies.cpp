#include "ui/products/TProduitsVoies.h"

#include "ui/common/Messages.h"
#include "ui/common/Strings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using salvo::ChannelProduct;
using salvo::Product;
using salvo::ui::ShowError;

const char* const MsgNoSuchProduct = "Aucun produit ne porte le nom « %1 ».";
const char* const MsgSeveralProducts =
    "%2 produits contiennent « %1 » : tapez davantage de leur nom ou choisissez dans la liste.";

namespace {

enum Column { ColNumber, ColType, ColDelay, ColDescription, ColProduct, ColQuantity, Columns };

// The label of a product in the list: its name, with its maker and reference when another
// product has the same name.
QStringList MakeLabels(const std::vector<Product>& products) {
    QStringList labels;
    for (const Product& p : products) {
        const bool shared = std::count_if(products.begin(), products.end(), [&](const Product& o) {
                                return o.Name == p.Name;
                            }) > 1;
        QString label = Q(p.Name);
        if (shared) {
            QStringList details;
            for (const std::string& d : {p.Maker, p.Reference, std::string(salvo::CategoryName(p.Class))})
                if (!d.empty())
                    details << Q(d);
            label += QStringLiteral(" (") + details.join(QStringLiteral(", ")) + QLatin1Char(')');
        }
        // Still the same as another: numbered, so that every choice can be named.
        QString unique = label;
        for (int n = 2; labels.contains(unique); ++n)
            unique = label + QStringLiteral(" #%1").arg(n);
        labels << unique;
    }
    return labels;
}

} // namespace

TProduitsVoies::TProduitsVoies(const QString& programName, const std::vector<ChannelRow>& rows,
                               const std::map<int, ChannelProduct>& assigned,
                               const std::vector<Product>& catalogue, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TProduitsVoies"));
    setWindowTitle(U("Produits des voies - ") + programName);

    // What the show holds first, as it holds it; then the catalogue's other products.
    for (const auto& [channel, cp] : assigned)
        if (std::find(Choices.begin(), Choices.end(), cp.Item) == Choices.end())
            Choices.push_back(cp.Item);
    for (const Product& p : catalogue)
        if (std::find(Choices.begin(), Choices.end(), p) == Choices.end())
            Choices.push_back(p);
    ChoiceLabels = MakeLabels(Choices);
    const QStringList& labels = ChoiceLabels;
    // Channels the box does not show (a model of fewer channels) keep their product.
    for (const auto& [channel, cp] : assigned)
        if (channel < 1 || channel > int(rows.size()))
            Hidden[channel] = cp;

    auto* layout = new QVBoxLayout(this);
    LabelCatalogue = new QLabel(this);
    LabelCatalogue->setObjectName(QStringLiteral("LabelCatalogue"));
    LabelCatalogue->setWordWrap(true);
    LabelCatalogue->setText(
        catalogue.empty()
            ? U("Aucun catalogue n'est ouvert : ouvrez le vôtre par « Catalogue... » du menu "
                "Produits pour choisir parmi vos produits.")
            : U("Tapez une partie du nom du produit, puis choisissez-le dans la liste."));
    layout->addWidget(LabelCatalogue);

    Table = new QTableWidget(int(rows.size()), Columns, this);
    Table->setObjectName(QStringLiteral("TableVoies"));
    Table->setHorizontalHeaderLabels({U("Voie"), U("Type"), U("Retard"), U("Description"),
                                      U("Produit"), U("Quantité")});
    Table->verticalHeader()->hide();
    Table->setSelectionMode(QAbstractItemView::NoSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(Table);

    Chosen.assign(rows.size(), -1);
    Quantities.assign(rows.size(), 1);
    for (int r = 0; r < int(rows.size()); ++r) {
        const ChannelRow& row = rows[size_t(r)];
        const QString texts[] = {row.Number, row.Type, row.Delay, row.Description};
        for (int c = 0; c < 4; ++c)
            Table->setItem(r, c, new QTableWidgetItem(texts[c]));
        Table->item(r, ColNumber)->setTextAlignment(Qt::AlignCenter);
        Table->item(r, ColDelay)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);

        auto* combo = new QComboBox(Table);
        combo->setObjectName(QStringLiteral("ComboProduit%1").arg(r + 1));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems(labels);
        combo->setCurrentIndex(-1);
        auto* completer = new QCompleter(labels, combo);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setFilterMode(Qt::MatchContains);
        completer->setCompletionMode(QCompleter::PopupCompletion);
        combo->setCompleter(completer);
        // The wheel scrolls the list of channels; it changes a product or a quantity only in
        // the control that has the keyboard.
        combo->setFocusPolicy(Qt::StrongFocus);
        combo->installEventFilter(this);
        Table->setCellWidget(r, ColProduct, combo);
        Combos.push_back(combo);

        auto* spin = new QSpinBox(Table);
        spin->setObjectName(QStringLiteral("SpinQuantite%1").arg(r + 1));
        spin->setRange(1, salvo::MaxQuantity);
        spin->setFocusPolicy(Qt::StrongFocus);
        spin->installEventFilter(this);
        Table->setCellWidget(r, ColQuantity, spin);
        Spins.push_back(spin);

        const int channel = r + 1;
        if (auto it = assigned.find(channel); it != assigned.end()) {
            Choose(r, int(std::find(Choices.begin(), Choices.end(), it->second.Item) -
                          Choices.begin()));
            Quantities[size_t(r)] = std::max(1, it->second.Quantity);
        } else {
            Choose(r, -1);
        }
        spin->setValue(Quantities[size_t(r)]);

        connect(combo, QOverload<int>::of(&QComboBox::activated), this,
                [this, r](int index) { Choose(r, index); });
        connect(combo->lineEdit(), &QLineEdit::editingFinished, this, [this, r] { Commit(r); });
        connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this,
                [this, r](int value) { Quantities[size_t(r)] = value; });
    }
    Table->resizeColumnsToContents();
    Table->setColumnWidth(ColDescription, std::max(Table->columnWidth(ColDescription), 180));
    Table->setColumnWidth(ColProduct, 240);
    Table->horizontalHeader()->setStretchLastSection(false);

    CaseReprendreNom = new QCheckBox(U("Reprendre le nom du produit dans la description"), this);
    CaseReprendreNom->setObjectName(QStringLiteral("CaseReprendreNom"));
    layout->addWidget(CaseReprendreNom);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(U("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    QPushButton* cancel = buttons->addButton(U("Annuler"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ButtonAnnuler"));
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, [this] {
        // The row being typed counts; a name that leads nowhere keeps the box open.
        for (int r = 0; r < int(Combos.size()); ++r)
            if (!Commit(r))
                return;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(900, 560);
}

bool TProduitsVoies::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && watched->isWidgetType() &&
        !static_cast<QWidget*>(watched)->hasFocus()) {
        QCoreApplication::sendEvent(Table->viewport(), event);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

int TProduitsVoies::Resolve(const QString& text) const {
    const QStringList& labels = ChoiceLabels;
    if (int exact = labels.indexOf(text); exact >= 0)
        return exact;
    int found = -1;
    for (int i = 0; i < labels.size(); ++i)
        if (labels[i].contains(text, Qt::CaseInsensitive)) {
            if (found >= 0)
                return -2;
            found = i;
        }
    return found;
}

bool TProduitsVoies::Commit(int row) {
    QComboBox* combo = Combos[size_t(row)];
    const QString text = combo->currentText().trimmed();
    const int chosen = Chosen[size_t(row)];
    if (text == (chosen >= 0 ? ChoiceLabels[chosen] : QString()))
        return true; // left as it was
    if (text.isEmpty()) {
        Choose(row, -1);
        return true;
    }
    const int choice = Resolve(text);
    if (choice >= 0) {
        Choose(row, choice);
        return true;
    }
    // Nothing chosen by accident: the row keeps what it had, and says why.
    Choose(row, Chosen[size_t(row)]);
    if (choice == -1) {
        ShowError(this, U(MsgNoSuchProduct).arg(text));
    } else {
        const int n = int(std::count_if(ChoiceLabels.begin(), ChoiceLabels.end(),
                                        [&](const QString& l) {
                                            return l.contains(text, Qt::CaseInsensitive);
                                        }));
        ShowError(this, U(MsgSeveralProducts).arg(text).arg(n));
    }
    combo->setFocus();
    return false;
}

void TProduitsVoies::Choose(int row, int choice) {
    if (choice >= int(Choices.size()))
        choice = -1;
    Chosen[size_t(row)] = choice;
    QComboBox* combo = Combos[size_t(row)];
    combo->setCurrentIndex(choice);
    if (choice < 0)
        combo->setEditText(QString());
    combo->lineEdit()->setModified(false);
    Spins[size_t(row)]->setEnabled(choice >= 0);
}

std::map<int, ChannelProduct> TProduitsVoies::Result() const {
    std::map<int, ChannelProduct> result = Hidden;
    for (size_t r = 0; r < Chosen.size(); ++r)
        if (Chosen[r] >= 0)
            result[int(r) + 1] = ChannelProduct{Choices[size_t(Chosen[r])], Quantities[r]};
    return result;
}

bool TProduitsVoies::FillDescriptions() const {
    return CaseReprendreNom->isChecked();
}

QStringList TProduitsVoies::Labels() const {
    return ChoiceLabels;
}

QComboBox* TProduitsVoies::ProductBox(int channel) const {
    return channel >= 1 && channel <= int(Combos.size()) ? Combos[size_t(channel - 1)] : nullptr;
}

QSpinBox* TProduitsVoies::QuantityBox(int channel) const {
    return channel >= 1 && channel <= int(Spins.size()) ? Spins[size_t(channel - 1)] : nullptr;
}
