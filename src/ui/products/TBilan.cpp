#include "ui/products/TBilan.h"

#include "ui/common/Strings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace salvo;

const char* const MsgNothingMissing = "Chaque voie a son produit, et chaque produit sa masse active.";

namespace {

QLabel* NewLabel(QWidget* parent, const char* name, bool bold = false) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

QString Lines(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& l : lines)
        out << Q(l);
    return out.join(QLatin1Char('\n'));
}

QString Articles(int64_t n) {
    return QString::number(n);
}

} // namespace

TBilan::TBilan(std::vector<ProgramProducts> active, std::vector<ProgramProducts> all,
               QWidget* parent)
    : QDialog(parent), Active(std::move(active)), All(std::move(all)) {
    setObjectName(QStringLiteral("TBilan"));
    setWindowTitle(U("Bilan de sécurité"));
    auto* layout = new QVBoxLayout(this);

    CaseTousProgrammes = new QCheckBox(U("&Tous les programmes ouverts"), this);
    CaseTousProgrammes->setObjectName(QStringLiteral("CaseTousProgrammes"));
    CaseTousProgrammes->setEnabled(All.size() > 1);
    layout->addWidget(CaseTousProgrammes);

    LabelVerdict = NewLabel(this, "LabelVerdict", true);
    LabelRaisons = NewLabel(this, "LabelRaisons");
    layout->addWidget(LabelVerdict);
    layout->addWidget(LabelRaisons);

    TableCategories = new QTableWidget(CategoryCount + 1, 3, this);
    TableCategories->setObjectName(QStringLiteral("TableCategories"));
    TableCategories->setHorizontalHeaderLabels(
        {U("Catégorie"), U("Articles"), U("Masse active nette")});
    TableCategories->verticalHeader()->hide();
    TableCategories->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableCategories->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(TableCategories);

    LabelDistance = NewLabel(this, "LabelDistance");
    LabelCertificat = NewLabel(this, "LabelCertificat");
    LabelManques = NewLabel(this, "LabelManques");
    layout->addWidget(LabelDistance);
    layout->addWidget(LabelCertificat);
    layout->addWidget(LabelManques);
    layout->addStretch(1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(U("Fermer"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("ButtonFermer"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(CaseTousProgrammes, &QCheckBox::toggled, this, [this] { Show(); });
    Show();
    resize(680, sizeHint().height());
}

void TBilan::Show() {
    const std::vector<ProgramProducts>& show = CaseTousProgrammes->isChecked() ? All : Active;
    const Bilan b = ComputeBilan(show);
    const BilanText t = DescribeBilan(b, show);

    LabelVerdict->setText(Q(t.Verdict));
    LabelRaisons->setText(Lines(t.VerdictReasons));
    LabelRaisons->setVisible(!t.VerdictReasons.empty());

    auto set = [this](int row, int column, const QString& text) {
        auto* item = new QTableWidgetItem(text);
        if (column == 1)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        TableCategories->setItem(row, column, item);
    };
    for (int c = 0; c < CategoryCount; ++c) {
        const CategoryFigures& f = b.ByCategory[size_t(c)];
        set(c, 0, QString::fromLatin1(CategoryName(Category(c))));
        set(c, 1, Articles(f.Articles));
        // A mass that is missing stays missing: said beside the known part, never as zero.
        QString mass = Q(KilogramText(f.MassGrams));
        if (f.ArticlesWithoutMass > 0)
            mass += U(" (masse inconnue pour %1)").arg(f.ArticlesWithoutMass);
        set(c, 2, f.Articles == 0 ? QString() : mass);
    }
    const auto& by = b.ByCategory;
    const int64_t regulated = by[size_t(Category::F2)].Articles +
                              by[size_t(Category::F3)].Articles + by[size_t(Category::T1)].Articles;
    set(CategoryCount, 0, U("F2 + F3 + T1"));
    set(CategoryCount, 1, Articles(regulated));
    QString total = Q(KilogramText(b.RegulatedGrams));
    if (!b.RegulatedWithoutMass.empty())
        total += U(" (incomplet)");
    set(CategoryCount, 2, total);
    QFont bold = TableCategories->font();
    bold.setBold(true);
    for (int column = 0; column < 3; ++column)
        TableCategories->item(CategoryCount, column)->setFont(bold);
    TableCategories->resizeColumnsToContents();
    TableCategories->horizontalHeader()->setStretchLastSection(true);
    // As tall as its rows: the figures below it stay in view without scrolling.
    int height = TableCategories->horizontalHeader()->height() + 2 * TableCategories->frameWidth();
    for (int row = 0; row < TableCategories->rowCount(); ++row)
        height += TableCategories->rowHeight(row);
    TableCategories->setFixedHeight(height);

    LabelDistance->setText(Q(t.Distance));
    QString certificate = Q(t.Certificate);
    for (const std::string& reason : t.CertificateReasons)
        certificate += QStringLiteral("\n- ") + Q(reason);
    LabelCertificat->setText(certificate);
    LabelManques->setText(t.Missing.empty() ? U(MsgNothingMissing) : Lines(t.Missing));
}
