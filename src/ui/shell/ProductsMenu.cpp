// The "Produits" menu of the main window. The products of a program are kept with its music,
// in the show's companion file; the windows of the products know neither.

#include "ui/shell/ProductsMenu.h"

#include "model/products/ShowFile.h"
#include "model/program/TimeText.h"
#include "model/sheets/OperatorSheet.h"
#include "ui/common/Messages.h"
#include "ui/common/Strings.h"
#include "ui/editor/Printing.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/TMusique.h"
#include "ui/products/DossierPages.h"
#include "ui/products/TBilan.h"
#include "ui/products/TCatalogue.h"
#include "ui/products/TDossier.h"
#include "ui/products/TProduitsVoies.h"
#include "ui/sheets/SheetPages.h"
#include "ui/sheets/TFeuille.h"
#include "ui/shell/FileCommands.h"
#include "ui/shell/Workspace.h"

#include <QFileInfo>

namespace salvo::ui {

namespace {

const char* const MsgNamesNotKept =
    "Le nom du produit n'a pas été repris dans la description des voies %1 : il contient des "
    "caractères qu'un fichier de programme ne peut pas garder.";

QString ProgramName(const TFenetreEnfant* e) {
    return e->Title().trimmed().isEmpty() ? e->windowTitle() : e->Title().trimmed();
}

// The show's data beyond the program, when the program has any.
const TMusique* MusicOf(const TFenetreEnfant* e) {
    return TMusique::Of(const_cast<TFenetreEnfant*>(e), false);
}

ProgramProducts ProductsOf(const TFenetreEnfant* e) {
    ProgramProducts p;
    p.Title = S(ProgramName(e));
    p.ChannelCount = e->RowCount() - 1;
    if (const TMusique* m = MusicOf(e))
        p.Channels = m->Beyond.Channels;
    return p;
}

std::vector<ProgramProducts> ProductsOf(const QList<TFenetreEnfant*>& programs) {
    std::vector<ProgramProducts> all;
    for (const TFenetreEnfant* e : programs)
        all.push_back(ProductsOf(e));
    return all;
}

QString ShowTitleOf(const QList<TFenetreEnfant*>& programs) {
    QStringList titles;
    for (const TFenetreEnfant* e : programs)
        titles << ProgramName(e);
    return titles.join(QStringLiteral(" ; "));
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
    TBilan dialog({ProductsOf(e)}, ProductsOf(w.Editors()), w.Window());
    dialog.exec();
}

// The pages go out named after the program's file ("show - chargement.pdf"), beside it.
void Send(Workspace& w, TFenetreEnfant* e, PrintOutput way, const char* suffix,
          const PageDrawing& draw, Paper paper = Paper::AsSet) {
    const QString base =
        e->HasFileName() ? QFileInfo(e->FileName()).completeBaseName() : e->windowTitle();
    w.PrintDocument(draw, base + U(suffix),
                    e->HasFileName() ? QFileInfo(e->FileName()).absolutePath() : QString(), way,
                    paper);
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
    const QList<TFenetreEnfant*> programs =
        dialog.AllPrograms() ? w.Editors() : QList<TFenetreEnfant*>{e};
    DossierSheet sheet;
    sheet.Fields = after;
    sheet.Programs = ProductsOf(programs);
    sheet.ShowTitle = ShowTitleOf(programs);
    sheet.PrintedOn = PrintDate();
    Send(w, e, dialog.Way(), " - dossier",
         [sheet](PrintSurface& surface, const std::function<bool()>& newPage) {
             return DrawDossier(sheet, surface, newPage);
         });
}

// ---- The crew's sheets ----

SheetBox BoxOf(const TFenetreEnfant* e) {
    return {ProgramName(e), ModelNameOf(e->SelectedModel()), e->SerialNumber()};
}

// When a channel fires: in the music ("2:31,4") when the program is set to music, else from
// its sequence's press ("12,4 s").
std::vector<QString> FiringTimes(TFenetreEnfant* e) {
    EditableProgram& program = e->Document();
    const char sep = program.DecimalSeparator();
    const TMusique* music = MusicOf(e);
    std::vector<QString> times;
    const int count = program.ChannelCount();
    if (music && music->Active()) {
        const std::vector<SequenceSpan> sequences = music->Sequences();
        const std::vector<double> starts = music->Starts();
        for (int k = 0; k < count; ++k) {
            const int s = SequenceOfChannel(sequences, k);
            times.push_back(s < 0 ? QString()
                                  : Q(MinutesText(starts[size_t(s)] +
                                                      program.Channels().GetChannelTime(k),
                                                  sep)));
        }
    } else {
        for (int k = 0; k < count; ++k)
            times.push_back(Q(FormatTime(program.Channels().GetChannelTime(k), sep)) + U(" s"));
    }
    return times;
}

const ChannelProduct* ProductOn(const TFenetreEnfant* e, int channel) {
    const TMusique* music = MusicOf(e);
    if (!music)
        return nullptr;
    auto it = music->Beyond.Channels.find(channel);
    return it == music->Beyond.Channels.end() ? nullptr : &it->second;
}

struct SheetRun {
    QList<TFenetreEnfant*> Programs;
    PrintOutput Way = PrintOutput::Preview;
    int Layout = 0, FirstPlace = 0;
};

// The sheet's dialog; false when cancelled.
bool AskSheet(Workspace& w, TFenetreEnfant* e, const char* title, bool labels, SheetRun& run) {
    TFeuille dialog(U(title), w.Editors().size() > 1, labels, w.Window());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    run.Programs = dialog.AllPrograms() ? w.Editors() : QList<TFenetreEnfant*>{e};
    run.Way = dialog.Way();
    run.Layout = dialog.LayoutIndex();
    run.FirstPlace = dialog.FirstPlace();
    return true;
}

void LoadingSheetCommand(Workspace& w, TFenetreEnfant* e) {
    SheetRun run;
    if (!AskSheet(w, e, "Fiche de chargement", false, run))
        return;
    LoadingSheet sheet;
    sheet.ShowTitle = ShowTitleOf(run.Programs);
    sheet.PrintedOn = PrintDate();
    for (TFenetreEnfant* program : run.Programs) {
        LoadingSection section{BoxOf(program), {}};
        const std::vector<QString> times = FiringTimes(program);
        for (int n = 1; n < program->RowCount(); ++n) {
            LoadingRow row{program->CellText(0, n), program->CellText(1, n), times[size_t(n - 1)],
                           {}, {}, {}, program->CellText(3, n)};
            if (const ChannelProduct* p = ProductOn(program, n)) {
                row.Product = Q(p->Item.Name);
                if (p->Item.CalibreMm)
                    row.Calibre = QString::number(*p->Item.CalibreMm);
                row.Quantity = QString::number(p->Quantity);
            }
            section.Rows.push_back(row);
        }
        sheet.Sections.push_back(section);
    }
    Send(w, e, run.Way, " - chargement",
         [sheet](PrintSurface& s, const std::function<bool()>& n) {
             return DrawLoadingSheet(sheet, s, n);
         });
}

void LabelsCommand(Workspace& w, TFenetreEnfant* e) {
    SheetRun run;
    if (!AskSheet(w, e, "Étiquettes", true, run))
        return;
    std::vector<LabelText> labels;
    for (TFenetreEnfant* program : run.Programs) {
        const std::vector<QString> times = FiringTimes(program);
        const QString serial = program->SerialNumber().trimmed();
        for (int n = 1; n < program->RowCount(); ++n) {
            const ChannelProduct* p = ProductOn(program, n);
            labels.push_back({U("Voie %1").arg(n),
                              p && !p->Item.Name.empty() ? Q(p->Item.Name) : program->CellText(3, n),
                              times[size_t(n - 1)],
                              serial.isEmpty() ? QString() : U("N° ") + serial});
        }
    }
    const LabelLayout layout = LabelLayouts()[size_t(run.Layout)];
    const int first = run.FirstPlace;
    Send(w, e, run.Way, " - étiquettes",
         [labels, layout, first](PrintSurface& s, const std::function<bool()>& n) {
             return DrawLabels(labels, layout, first, s, n);
         },
         Paper::A4);
}

void OperatorSheetCommand(Workspace& w, TFenetreEnfant* e) {
    SheetRun run;
    if (!AskSheet(w, e, "Feuille de l'opérateur", false, run))
        return;
    OperatorSheet sheet;
    sheet.ShowTitle = ShowTitleOf(run.Programs);
    sheet.PrintedOn = PrintDate();
    sheet.Separator = e->Document().DecimalSeparator();
    for (TFenetreEnfant* program : run.Programs) {
        OperatorSection section{BoxOf(program), false, {}};
        const TMusique* music = MusicOf(program);
        if (music && music->Active()) {
            section.WithMusic = true;
            section.Rows = OperatorRows(music->Sequences(), music->Starts(), music->Data.Markers);
        } else {
            section.Rows = OperatorRows(SequencesOf(program->Document().Channels()), {}, {});
        }
        sheet.Sections.push_back(section);
    }
    Send(w, e, run.Way, " - opérateur",
         [sheet](PrintSurface& s, const std::function<bool()>& n) {
             return DrawOperatorSheet(sheet, s, n);
         });
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
    addCommand(nullptr, QString(), QString(), nullptr, false); // a separator
    add("ProduitsChargementItem", "Fiche de c&hargement...",
        "Imprimer la liste de chargement de chaque voie", LoadingSheetCommand);
    add("ProduitsEtiquettesItem", "É&tiquettes...",
        "Imprimer une étiquette par voie, à coller sur les lignes de tir", LabelsCommand);
    add("ProduitsOperateurItem", "Feuille de l'&opérateur...",
        "Imprimer la feuille du tireur : quand appuyer, séquence par séquence",
        OperatorSheetCommand);
}

} // namespace salvo::ui
