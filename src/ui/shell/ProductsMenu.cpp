// The "Produits" menu of the main window. The products of a program are kept with its music,
// in the show's companion file; the windows of the products know neither.

#include "ui/shell/ProductsMenu.h"

#include "model/products/ShowFile.h"
#include "ui/common/Messages.h"
#include "ui/common/Strings.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/TMusique.h"
#include "ui/products/DossierPages.h"
#include "ui/products/TBilan.h"
#include "ui/products/TCatalogue.h"
#include "ui/products/TDossier.h"
#include "ui/products/TProduitsVoies.h"
#include "ui/shell/FileCommands.h"
#include "ui/shell/Workspace.h"

#include <QDate>
#include <QFileInfo>
#include <QLocale>

namespace salvo::ui {

namespace {

const char* const MsgNamesNotKept =
    "Le nom du produit n'a pas été repris dans la description des voies %1 : il contient des "
    "caractères qu'un fichier de programme ne peut pas garder.";

QString ProgramName(const TFenetreEnfant* e) {
    return e->Title().trimmed().isEmpty() ? e->windowTitle() : e->Title().trimmed();
}

ProgramProducts ProductsOf(const TFenetreEnfant* e) {
    ProgramProducts p;
    p.Title = S(ProgramName(e));
    p.ChannelCount = e->RowCount() - 1;
    if (const TMusique* m = TMusique::Of(const_cast<TFenetreEnfant*>(e), false))
        p.Channels = m->Beyond.Channels;
    return p;
}

std::vector<ProgramProducts> EveryProgram(Workspace& w) {
    std::vector<ProgramProducts> all;
    for (const TFenetreEnfant* e : w.Editors())
        all.push_back(ProductsOf(e));
    return all;
}

void ChannelProducts(Workspace& w, TFenetreEnfant* e) {
    const int count = e->RowCount() - 1;
    std::vector<TProduitsVoies::ChannelRow> rows;
    for (int n = 1; n <= count; ++n)
        rows.push_back({e->CellText(0, n), e->CellText(1, n), e->CellText(2, n), e->CellText(3, n)});
    TMusique* music = TMusique::Of(e, false);
    const std::map<int, ChannelProduct> before =
        music ? music->Beyond.Channels : std::map<int, ChannelProduct>();
    TProduitsVoies dialog(ProgramName(e), rows, before, w.Catalogue().Products, w.Window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::map<int, ChannelProduct> after = dialog.Result();
    if (after != before) {
        music = TMusique::Of(e);
        music->Beyond.Channels = after;
        music->BeyondEdited();
    }
    if (!dialog.FillDescriptions())
        return;
    QStringList refused;
    for (const auto& [channel, assigned] : after)
        if (channel <= count && e->Description(channel).isEmpty() &&
            !e->FillDescription(channel, Q(assigned.Item.Name)))
            refused << QString::number(channel);
    if (!refused.isEmpty())
        ShowWarning(w.Window(), U(MsgNamesNotKept).arg(refused.join(QStringLiteral(", "))));
}

void SafetyBilan(Workspace& w, TFenetreEnfant* e) {
    TBilan dialog({ProductsOf(e)}, EveryProgram(w), w.Window());
    dialog.exec();
}

void DeclarationPages(Workspace& w, TFenetreEnfant* e) {
    TMusique* music = TMusique::Of(e, false);
    const Dossier before = music ? music->Beyond.Declaration : Dossier();
    TDossier dialog(before, w.Editors().size() > 1, w.Window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Dossier after = dialog.Result();
    if (!(after == before)) {
        music = TMusique::Of(e);
        music->Beyond.Declaration = after;
        music->BeyondEdited();
    }
    DossierSheet sheet;
    sheet.Fields = after;
    QStringList titles;
    if (dialog.AllPrograms()) {
        sheet.Programs = EveryProgram(w);
        for (const TFenetreEnfant* each : w.Editors())
            titles << ProgramName(each);
    } else {
        sheet.Programs = {ProductsOf(e)};
        titles << ProgramName(e);
    }
    sheet.ShowTitle = titles.join(QStringLiteral(" ; "));
    const QLocale locale;
    sheet.PrintedOn = locale.toString(QDate::currentDate(), locale.dateFormat(QLocale::ShortFormat));
    const QString base =
        e->HasFileName() ? QFileInfo(e->FileName()).completeBaseName() : e->windowTitle();
    const Workspace::PrintWay way = dialog.Way() == TDossier::Output::Preview
                                        ? Workspace::PrintWay::Preview
                                    : dialog.Way() == TDossier::Output::Printer
                                        ? Workspace::PrintWay::Printer
                                        : Workspace::PrintWay::Pdf;
    w.PrintDocument(
        [sheet](PrintSurface& surface, const std::function<bool()>& newPage) {
            return DrawDossier(sheet, surface, newPage);
        },
        base + U(" - dossier"),
        e->HasFileName() ? QFileInfo(e->FileName()).absolutePath() : QString(), way);
}

} // namespace

void BuildProductsMenu(Workspace& w, const AddProductCommand& addCommand) {
    auto add = [&](const char* name, const char* caption, const char* status,
                   void (*handler)(Workspace&, TFenetreEnfant*)) {
        addCommand(
            name, U(caption), U(status),
            [&w, handler] {
                if (TFenetreEnfant* editor = w.ActiveEditor())
                    handler(w, editor);
            },
            true);
    };
    // The catalogue is the user's own, beside any document.
    addCommand(
        "ProduitsCatalogueItem", U("&Catalogue..."),
        U("Les produits que vous tirez : ajouter, modifier, importer d'un tableur"),
        [&w] {
            // The catalogue is proposed in Documents, or where the user last chose a file.
            const QString folder = w.LastFolder().isEmpty() ? DocumentsFolder() : w.LastFolder();
            TCatalogue dialog(w.Catalogue(), w.Dialogs(), folder, w.Window());
            dialog.exec();
        },
        false);
    addCommand(nullptr, QString(), QString(), nullptr, false); // a separator
    add("ProduitsVoiesItem", "Produits des &voies...",
        "Choisir le produit et la quantité de chaque voie", ChannelProducts);
    add("ProduitsBilanItem", "&Bilan de sécurité...",
        "Masse active par catégorie, distance de sécurité et déclaration", SafetyBilan);
    add("ProduitsDossierItem", "Imprimer le &dossier de déclaration...",
        "Liste des produits et bilan pour le dossier du spectacle", DeclarationPages);
}

} // namespace salvo::ui
