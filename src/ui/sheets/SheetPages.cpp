#include "ui/sheets/SheetPages.h"

#include "model/program/TimeText.h"
#include "ui/common/PageFlow.h"
#include "ui/common/Strings.h"

#include <algorithm>
#include <cmath>

namespace salvo::ui {

namespace {

using Layout = std::function<int(PrintSurface&, const std::function<bool()>&, int)>;

QString BoxLine(const SheetBox& box) {
    QString line = box.Model;
    if (!box.Serial.trimmed().isEmpty())
        line += U(" n° ") + box.Serial.trimmed();
    return line;
}

QString Footer(const QString& show, const SheetBox& box, const QString& printedOn) {
    return (show.isEmpty() ? box.Title : show) + U(" - ") + BoxLine(box) + U(" - imprimé le ") +
           printedOn;
}

// Each box's part begins on a page of its own, under its title and its box, its footer naming
// them; body draws the rest.
struct SectionStyle {
    const char* Title;
    TextStyle TitleFont, BoxFont;
    double GapMm;
};
template <class Section>
int LaySections(const std::vector<Section>& sections, const QString& show,
                const QString& printedOn, const SectionStyle& style, PrintSurface& s,
                const std::function<bool()>& newPage, int pages,
                const std::function<void(PageFlow&, const Section&)>& body) {
    if (sections.empty())
        return 0;
    PageFlow flow(s, newPage, pages, QString());
    if (!flow.Valid())
        return 0;
    for (size_t i = 0; i < sections.size(); ++i) {
        const Section& section = sections[i];
        if (i > 0)
            flow.Break();
        flow.SetFooter(Footer(show, section.Box, printedOn));
        flow.Paragraph(U(style.Title) + section.Box.Title, style.TitleFont);
        flow.Paragraph(BoxLine(section.Box), style.BoxFont);
        flow.Gap(style.GapMm);
        body(flow, section);
    }
    return flow.Finish();
}

// ---- The loading sheet ----

const SectionStyle Loading{"Fiche de chargement - ", {15, true, false}, {10, false, false}, 4};
const TextStyle LoadingCells{8, false, false};
const TextStyle LoadingHeads{8, true, false};

void LoadingBody(PageFlow& flow, const LoadingSection& section) {
    flow.BeginTable({{U("Voie"), 6, true},
                     {U("Type"), 13, false},
                     {U("Heure"), 9, true},
                     {U("Produit"), 25, false},
                     {U("Calibre (mm)"), 8, true},
                     {U("Quantité"), 9, true},
                     {U("Description"), 20, false},
                     {U("Chargé"), 10, false}},
                    LoadingHeads, int(8 * flow.Mm()));
    for (const LoadingRow& r : section.Rows)
        flow.Row({r.Channel, r.Type, r.Time, r.Product, r.Calibre, r.Quantity, r.Description,
                  QString()},
                 LoadingCells);
    flow.EndTable();
}

// ---- The operator's sheet ----

// Large and bold: read at night, under a red torch.
const SectionStyle Operator{"Feuille de l'opérateur - ", {20, true, false}, {16, true, false}, 5};
const TextStyle OperatorHeads{16, true, false};
const TextStyle OperatorCells{18, true, false};

void OperatorBody(PageFlow& flow, const OperatorSection& section, char separator) {
    if (section.Rows.empty()) {
        flow.Paragraph(U("Aucune séquence : aucune voie n'est programmée."), Operator.BoxFont);
        return;
    }
    std::vector<FlowColumn> columns = {{U("Séquence"), 20, true}};
    if (section.WithMusic) {
        columns.push_back({U("Appui"), 18, true});
        columns.push_back({U("Repère"), 26, false});
    }
    columns.push_back({U("Voies"), section.WithMusic ? 18 : 44, false});
    columns.push_back({U("Durée"), section.WithMusic ? 18 : 36, true});
    flow.BeginTable(columns, OperatorHeads, int(14 * flow.Mm()));
    for (const OperatorRow& r : section.Rows) {
        std::vector<QString> cells = {QString::number(r.Number)};
        if (section.WithMusic) {
            cells.push_back(r.Start ? Q(MinutesText(*r.Start, separator)) : QString());
            cells.push_back(Q(r.Marker));
        }
        cells.push_back(Q(ChannelRange(r.FirstChannel, r.LastChannel)));
        cells.push_back(Q(FormatTime(r.Duration, separator)) + U(" s"));
        flow.Row(cells, OperatorCells);
    }
    flow.EndTable();
}

// ---- The labels ----

const TextStyle LabelChannel{20, true, false};
const TextStyle LabelWhat{11, false, false};
const TextStyle LabelSmall{10, false, false};
constexpr double LabelPaddingMm = 5; // clear of most printers' unprintable margins

} // namespace

bool DrawLoadingSheet(const LoadingSheet& sheet, PrintSurface& surface,
                      const std::function<bool()>& newPage) {
    return DrawNumberedPages(surface, newPage,
                             [&sheet](PrintSurface& s, const std::function<bool()>& n, int p) {
                                 return LaySections<LoadingSection>(
                                     sheet.Sections, sheet.ShowTitle, sheet.PrintedOn, Loading,
                                     s, n, p, LoadingBody);
                             });
}

bool DrawOperatorSheet(const OperatorSheet& sheet, PrintSurface& surface,
                       const std::function<bool()>& newPage) {
    return DrawNumberedPages(
        surface, newPage, [&sheet](PrintSurface& s, const std::function<bool()>& n, int p) {
            return LaySections<OperatorSection>(
                sheet.Sections, sheet.ShowTitle, sheet.PrintedOn, Operator, s, n, p,
                [&sheet](PageFlow& flow, const OperatorSection& section) {
                    OperatorBody(flow, section, sheet.Separator);
                });
        });
}

bool DrawLabels(const std::vector<LabelText>& labels, const LabelLayout& layout, int firstPlace,
                PrintSurface& s, const std::function<bool()>& newPage) {
    const DeviceMeasures m = s.Measures();
    if (labels.empty() || m.DpiY <= 0 || m.PrintableWidth <= 0 || m.PrintableHeight <= 0)
        return false;
    firstPlace = std::clamp(firstPlace, 0, layout.PerSheet() - 1);
    const double mm = m.DpiY / 25.4;
    // Label positions are measured from the paper's corner; the surface's origin is the
    // printable area's.
    auto x = [&](double fromPaperMm) { return int(std::lround(fromPaperMm * mm)) - m.OffsetLeft; };
    auto y = [&](double fromPaperMm) { return int(std::lround(fromPaperMm * mm)) - m.OffsetTop; };
    int sheet = 0;
    for (size_t i = 0; i < labels.size(); ++i) {
        const LabelSpot spot = SpotOf(layout, firstPlace, int(i));
        if (spot.Sheet != sheet) {
            if (!newPage())
                return false;
            sheet = spot.Sheet;
        }
        const LabelRect r = LabelAt(layout, spot.Place);
        const LabelText& label = labels[i];
        const int left = x(r.X + LabelPaddingMm), right = x(r.X + r.Width - LabelPaddingMm);
        const int top = y(r.Y + LabelPaddingMm * 0.6), bottom = y(r.Y + r.Height - LabelPaddingMm * 0.6);
        const int width = right - left;
        s.Text(left, top, CutToWidth(s, label.Channel, LabelChannel, width), LabelChannel);
        const int whatY = top + s.TextHeight(label.Channel, LabelChannel);
        s.Text(left, whatY, CutToWidth(s, label.What, LabelWhat, width), LabelWhat);
        const int lastY = bottom - s.TextHeight(label.Time, LabelSmall);
        s.Text(left, lastY, CutToWidth(s, label.Time, LabelSmall, width / 2), LabelSmall);
        const QString serial = CutToWidth(s, label.Serial, LabelSmall, width / 2);
        s.Text(right - s.TextWidth(serial, LabelSmall), lastY, serial, LabelSmall);
    }
    return true;
}

} // namespace salvo::ui
