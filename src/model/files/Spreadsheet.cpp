#include "model/files/Spreadsheet.h"

#include "model/files/ProgramDocument.h"
#include "model/io/Text.h"
#include "model/io/Windows1252.h"
#include "model/program/TimeText.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>

namespace salvo {

const char* const SheetHeadings = "Voie;Type;Retard (s);Heure (s);Description";

namespace {

const char* const Bom = "\xEF\xBB\xBF";

// ---------------------------------------------------------------------------------------
// Writing

std::string Field(const std::string& text) {
    if (text.find_first_of(";\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

void AppendRow(std::string& out, std::initializer_list<std::string> fields) {
    bool first = true;
    for (const std::string& f : fields) {
        if (!first)
            out += ';';
        out += Field(f);
        first = false;
    }
    out += "\r\n";
}

// ---------------------------------------------------------------------------------------
// Reading

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Length of the valid UTF-8 sequence at i, or 0.
size_t Utf8SequenceAt(std::string_view s, size_t i) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (n == 0 || c > 0xF4 || i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points above U+10FFFF.
    if ((c == 0xE0 && b(i + 1) < 0xA0) || (c == 0xED && b(i + 1) > 0x9F) ||
        (c == 0xF0 && b(i + 1) < 0x90) || (c == 0xF4 && b(i + 1) > 0x8F))
        return 0;
    return n;
}

bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        size_t n = Utf8SequenceAt(s, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string Decode(std::string_view bytes, SheetEncoding encoding) {
    if (StartsWith(bytes, Bom))
        bytes.remove_prefix(3);
    if (encoding == SheetEncoding::Windows1252)
        return Windows1252ToUtf8(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        size_t n = Utf8SequenceAt(bytes, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD"; // the replacement character: the user sees where it went wrong
            ++i;
        } else {
            out.append(bytes.substr(i, n));
            i += n;
        }
    }
    return out;
}

// Lower case without the accents of French headings, for comparing names.
std::string Folded(std::string_view text) {
    static const std::pair<const char*, char> accents[] = {
        {"é", 'e'}, {"è", 'e'}, {"ê", 'e'}, {"ë", 'e'}, {"É", 'e'}, {"È", 'e'},
        {"Ê", 'e'}, {"à", 'a'}, {"â", 'a'}, {"À", 'a'}, {"î", 'i'}, {"ï", 'i'},
        {"ô", 'o'}, {"û", 'u'}, {"ù", 'u'}, {"ç", 'c'}, {"Ç", 'c'}, {"°", 'o'}};
    std::string out;
    text = TrimSpaceAndControls(text);
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [from, to] : accents) {
            if (StartsWith(text.substr(i), from)) {
                out += to;
                i += std::string_view(from).size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            char c = text[i++];
            out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return out;
}

bool EmptyRow(const std::vector<std::string>& row) {
    return std::all_of(row.begin(), row.end(),
                       [](const std::string& c) { return TrimSpaceAndControls(c).empty(); });
}

// Keys of the header block, folded.
enum class HeaderKey { None, Title, Serial, Version, Model };

HeaderKey HeaderKeyOf(const std::vector<std::string>& row) {
    if (row.empty() || row.size() > 2) // a key and its value
        return HeaderKey::None;
    std::string key = Folded(row[0]);
    if (key == "titre")
        return HeaderKey::Title;
    if (key == "numero de serie")
        return HeaderKey::Serial;
    if (key == "version")
        return HeaderKey::Version;
    if (key == "modele")
        return HeaderKey::Model;
    return HeaderKey::None;
}

// Collects refusals, the first ones in full and the rest counted.
class Refusals {
public:
    explicit Refusals(std::vector<std::string>& list) : List(list) {}
    void Finish() {
        if (Extra > 0)
            List.push_back("… et " + std::to_string(Extra) + " autres cellules refusées");
    }

    void Add(std::string text) {
        if (List.size() < MaxRefusalsListed)
            List.push_back(std::move(text));
        else
            ++Extra;
    }
    void Cell(int row, const char* column, std::string_view text, const std::string& why) {
        Add("Ligne " + std::to_string(row) + ", colonne " + column + " : « " + std::string(text) +
            " » " + why);
    }
    void Empty(int row, const char* column) {
        Add("Ligne " + std::to_string(row) + ", colonne " + column + " : la cellule est vide");
    }

private:
    std::vector<std::string>& List;
    size_t Extra = 0;
};

std::optional<int32_t> TypeOf(std::string_view text) {
    std::string t = Folded(text);
    if (t == "manuel" || t == "manual" || t == "m" || t == "0")
        return Manual;
    if (t == "automatique" || t == "automatic" || t == "auto" || t == "a" || t == "1")
        return Automatic;
    return std::nullopt;
}

// The double the grid's text of a time reads back as: a manual channel at 6553,4 must be
// given 6553.4, not the product 32767 * 0.2, which lies above it and would be refused.
double AsShown(double seconds) {
    return ParseTime(FormatTime(seconds, '.'), '.').value_or(seconds);
}

// The nearest point of the 0.2 s grid. Every time of a sequence goes to its own nearest
// point and the delays become the differences of those points, so no channel ends more than
// half a step from its time; rounding each delay on its own would add the errors up.
double NearestGridTime(double seconds) {
    return AsShown(std::nearbyint(seconds / TimeStep) * TimeStep);
}

} // namespace

std::string SpreadsheetBytes(const ProgramSource& program, const ChannelTable& table,
                             const ShownTimeArray& shownTimes, char decimalSeparator) {
    std::string out = Bom;
    int model = program.ModelIndex();
    if (model < 0 || model >= ModelCount)
        model = DefaultModel;
    AppendRow(out, {"Titre", program.Title()});
    AppendRow(out, {"Numéro de série", program.SerialNumber()});
    AppendRow(out, {"Version", program.Version()});
    AppendRow(out, {"Modèle", ModelNames[static_cast<size_t>(model)]});
    out += "\r\n";
    out += SheetHeadings;
    out += "\r\n";
    int count = std::min(program.ChannelCount(), SlotCount);
    for (int row = 1; row <= count; ++row) {
        const ChannelSlot& slot = table.Slots[static_cast<size_t>(row - 1)];
        AppendRow(out, {std::to_string(row), ChannelTypeNames[slot.Type == Automatic ? 1 : 0],
                        FormatTime(slot.Steps * TimeStep, decimalSeparator),
                        FormatTime(shownTimes[static_cast<size_t>(row - 1)], decimalSeparator),
                        program.Description(row)});
    }
    return out;
}

SheetOptions GuessSheetOptions(std::string_view bytes) {
    SheetOptions options;
    options.Encoding =
        StartsWith(bytes, Bom) || IsUtf8(bytes) ? SheetEncoding::Utf8 : SheetEncoding::Windows1252;
    // The separator found on most of the first lines, then the one they use most, quoted text
    // left out: a single text full of commas does not outweigh a semicolon on every line.
    // Commas that only ever stand between digits are decimal commas of a single column, not
    // separators.
    std::array<size_t, 3> counts{}, linesWith{};
    std::array<bool, 3> onLine{};
    const char candidates[3] = {';', '\t', ','};
    bool quoted = false, commaSeparates = false;
    int lines = 0;
    auto endLine = [&] {
        for (size_t k = 0; k < 3; ++k)
            linesWith[k] += onLine[k];
        onLine = {};
    };
    auto digit = [&](size_t i) { return i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; };
    for (size_t i = 0; i < bytes.size() && lines < 10; ++i) {
        char c = bytes[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '\n') {
            ++lines;
            endLine();
        } else {
            for (size_t k = 0; k < 3; ++k) {
                counts[k] += c == candidates[k];
                onLine[k] = onLine[k] || c == candidates[k];
            }
            bool betweenDigits = i > 0 && digit(i - 1) && digit(i + 1);
            if ((c == ',' && !betweenDigits) || (c == '.' && betweenDigits))
                commaSeparates = true;
        }
    }
    endLine();
    if (!commaSeparates)
        counts[2] = linesWith[2] = 0;
    size_t best = 0;
    for (size_t k = 1; k < 3; ++k)
        if (linesWith[k] > linesWith[best] ||
            (linesWith[k] == linesWith[best] && counts[k] > counts[best]))
            best = k;
    options.FieldSeparator = candidates[best];
    if (options.FieldSeparator == ',') {
        options.DecimalSeparator = '.';
        return options;
    }
    // Numbers written with points rather than commas.
    SheetTable table = ReadSheet(bytes, options);
    int points = 0, commas = 0;
    for (const auto& row : table.Rows)
        for (const std::string& cell : row) {
            std::string_view t = TrimSpaceAndControls(cell);
            if (t.find('.') != std::string_view::npos && ParseTime(t, '.'))
                ++points;
            else if (t.find(',') != std::string_view::npos && ParseTime(t, ','))
                ++commas;
        }
    options.DecimalSeparator = points > commas ? '.' : ',';
    return options;
}

int SheetTable::ColumnCount() const {
    size_t n = 0;
    for (const auto& row : Rows)
        n = std::max(n, row.size());
    return static_cast<int>(n);
}

SheetTable ReadSheet(std::string_view bytes, const SheetOptions& options) {
    SheetTable table;
    std::string text = Decode(bytes, options.Encoding);
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;    // inside a quoted part
    bool wasQuoted = false; // the field began with a quote
    auto endField = [&] {
        row.push_back(std::move(field));
        field.clear();
        wasQuoted = false;
    };
    auto endRow = [&] {
        endField();
        while (!row.empty() && row.back().empty())
            row.pop_back();
        table.Rows.push_back(std::move(row));
        row.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else
                quoted = false;
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == options.FieldSeparator) {
            endField();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            endRow();
        } else {
            field += c;
        }
    }
    if (quoted)
        table.Problems.push_back("Ligne " + std::to_string(table.Rows.size() + 1) +
                                 " : un guillemet ouvert n'est jamais fermé");
    if (!field.empty() || !row.empty() || wasQuoted)
        endRow();

    // Our own export starts with its header block; any other table with its headings.
    size_t r = 0;
    while (r < table.Rows.size() && EmptyRow(table.Rows[r]))
        ++r;
    // A table whose first heading happens to be "Titre" has more columns, or no key row next.
    size_t second = r + 1;
    while (second < table.Rows.size() && EmptyRow(table.Rows[second]))
        ++second;
    if (second < table.Rows.size() && HeaderKeyOf(table.Rows[r]) == HeaderKey::Title &&
        HeaderKeyOf(table.Rows[second]) != HeaderKey::None) {
        table.HasHeaderBlock = true;
        while (r < table.Rows.size() &&
               (EmptyRow(table.Rows[r]) || HeaderKeyOf(table.Rows[r]) != HeaderKey::None))
            ++r;
    }
    if (r < table.Rows.size())
        table.HeadingRow = static_cast<int>(r);
    return table;
}

ColumnMapping GuessColumns(const SheetTable& table) {
    ColumnMapping m;
    if (table.HeadingRow < 0)
        return m;
    const auto& headings = table.Rows[static_cast<size_t>(table.HeadingRow)];
    struct Rule {
        int ColumnMapping::*Role;
        std::vector<const char*> Prefixes;
    };
    const Rule rules[] = {
        {&ColumnMapping::Channel, {"voie", "canal", "channel", "numero", "no ", "no."}},
        {&ColumnMapping::Type, {"type"}},
        {&ColumnMapping::Delay, {"retard", "delai", "delay", "intervalle"}},
        {&ColumnMapping::Time, {"heure", "temps", "time", "instant", "top"}},
        {&ColumnMapping::Description,
         {"description", "designation", "produit", "libelle", "nom", "commentaire", "effet"}},
    };
    for (size_t c = 0; c < headings.size(); ++c) {
        std::string h = Folded(headings[c]) + ' '; // "no" alone, not "nom"
        for (const Rule& rule : rules) {
            bool match = std::any_of(rule.Prefixes.begin(), rule.Prefixes.end(),
                                     [&](const char* p) { return StartsWith(h, p); });
            if (match && m.*rule.Role < 0) {
                m.*rule.Role = static_cast<int>(c);
                break;
            }
        }
    }
    return m;
}

namespace {

void Plan(const SheetTable& table, const ColumnMapping& columns, char decimalSeparator,
          ImportPlan& plan, Refusals& refuse) {
    for (const std::string& p : table.Problems)
        refuse.Add(p);
    auto cellOf = [](const std::vector<std::string>& row, int c) -> std::string_view {
        return c >= 0 && static_cast<size_t>(c) < row.size()
                   ? TrimSpaceAndControls(row[static_cast<size_t>(c)])
                   : std::string_view();
    };

    int headingRow = table.HeadingRow < 0 ? static_cast<int>(table.Rows.size()) : table.HeadingRow;
    if (table.HasHeaderBlock) {
        for (int r = 0; r < headingRow; ++r) {
            const auto& row = table.Rows[static_cast<size_t>(r)];
            std::string value(cellOf(row, 1));
            switch (HeaderKeyOf(row)) {
            case HeaderKey::Title:
                plan.Title = value;
                break;
            case HeaderKey::Serial:
                plan.SerialNumber = value;
                break;
            case HeaderKey::Version:
                plan.Version = value;
                break;
            case HeaderKey::Model: {
                auto it = std::find(ModelNames.begin(), ModelNames.end(), value);
                if (it == ModelNames.end())
                    refuse.Cell(r + 1, "B", value, "n'est pas un modèle d'Ignivelle");
                else
                    plan.Model = static_cast<int>(it - ModelNames.begin());
                break;
            }
            case HeaderKey::None:
                break;
            }
        }
    }
    if (table.HeadingRow < 0) {
        refuse.Add("Le fichier ne contient aucun tableau");
        return;
    }
    bool useTime = columns.Time >= 0;
    if (!useTime && columns.Delay < 0) {
        refuse.Add("Aucune colonne ne donne l'heure ou le retard des voies");
        return;
    }
    const char* timeColumn = useTime ? "Heure" : "Retard";
    int count = ChannelCountByModel[static_cast<size_t>(plan.Model)];
    std::string range = "n'est pas une voie de 1 à " + std::to_string(count);

    std::array<double, SlotCount> delays{};
    int next = 1;
    for (size_t r = static_cast<size_t>(table.FirstDataRow()); r < table.Rows.size(); ++r) {
        const auto& row = table.Rows[r];
        if (EmptyRow(row))
            continue;
        int line = static_cast<int>(r) + 1;
        int channel = next++;
        if (columns.Channel >= 0) {
            std::string_view text = cellOf(row, columns.Channel);
            std::optional<int32_t> n = ParseInt32(text);
            if (text.empty()) {
                refuse.Empty(line, "Voie");
                continue;
            }
            if (!n || *n < 1 || *n > count) {
                refuse.Cell(line, "Voie", text, range);
                continue;
            }
            channel = *n;
            const PlannedChannel& earlier = plan.Channels[static_cast<size_t>(channel - 1)];
            if (earlier.Given) {
                refuse.Cell(line, "Voie", text,
                            "est déjà donnée ligne " + std::to_string(earlier.Row));
                continue;
            }
        } else if (channel > count) {
            refuse.Add("Ligne " + std::to_string(line) + " : l'" +
                       ModelNames[static_cast<size_t>(plan.Model)] + " n'a que " +
                       std::to_string(count) + " voies");
            continue;
        }
        PlannedChannel p;
        p.Given = true;
        p.Row = line;
        p.Type = channel == 1 ? Manual : Automatic;
        bool ok = true;
        if (columns.Type >= 0) {
            std::string_view text = cellOf(row, columns.Type);
            std::optional<int32_t> type = TypeOf(text);
            if (text.empty()) {
                refuse.Empty(line, "Type");
                ok = false;
            } else if (!type) {
                refuse.Cell(line, "Type", text, "n'est ni Manuel ni Automatique");
                ok = false;
            } else {
                p.Type = *type;
            }
        }
        // A number of seconds, 0 or more.
        auto seconds = [&](int column, const char* name, double& out) {
            std::string_view text = cellOf(row, column);
            std::optional<double> value = ParseTime(text, decimalSeparator);
            if (text.empty())
                refuse.Empty(line, name);
            else if (!value)
                refuse.Cell(line, name, text, "n'est pas un nombre");
            else if (*value < 0)
                refuse.Cell(line, name, text, "est négatif");
            else
                out = *value;
            return value && *value >= 0;
        };
        ok = seconds(useTime ? columns.Time : columns.Delay, timeColumn, p.Time) && ok;
        // Both given, as in our own export: the delay is checked against the times below.
        if (useTime && columns.Delay >= 0)
            ok = seconds(columns.Delay, "Retard", delays[static_cast<size_t>(channel - 1)]) && ok;
        p.Description = std::string(cellOf(row, columns.Description));
        if (!ok)
            continue;
        plan.Channels[static_cast<size_t>(channel - 1)] = p;
        plan.LastChannel = std::max(plan.LastChannel, channel);
    }
    if (plan.LastChannel == 0 && plan.Refused.empty())
        refuse.Add("Le tableau ne contient aucune voie");

    double previous = 0;
    for (size_t k = 0; k < static_cast<size_t>(plan.LastChannel); ++k) {
        PlannedChannel& p = plan.Channels[k];
        bool follows = p.Given && k > 0 && p.Type == Automatic;
        if (!useTime && follows) {
            // Own delays become times from the press, added up before any rounding.
            p.Time += previous;
        } else if (useTime && columns.Delay >= 0 && p.Given) {
            // A delay changed in the spreadsheet without its time (or the other way round)
            // must not be dropped without a word.
            double own = follows ? p.Time - previous : p.Time;
            if (std::fabs(own - delays[k]) > TimeStep / 2 + 1e-9)
                refuse.Add("Ligne " + std::to_string(p.Row) + " : le retard de " +
                           FormatTime(delays[k], decimalSeparator) +
                           " s ne correspond pas à l'heure de " +
                           FormatTime(p.Time, decimalSeparator) +
                           " s ; ne gardez que l'une des deux colonnes");
        }
        previous = p.Time; // a channel not given stays manual at 0
    }
}

} // namespace

ImportPlan PlanImport(const SheetTable& table, const ColumnMapping& columns,
                      char decimalSeparator) {
    ImportPlan plan;
    Refusals refuse(plan.Refused);
    Plan(table, columns, decimalSeparator, plan, refuse);
    refuse.Finish();
    return plan;
}

ImportOutcome ImportInto(const ImportPlan& plan, ProgramDocument& doc) {
    ImportOutcome outcome;
    doc.SetModel(plan.Model);
    doc.SetTitle(plan.Title);
    doc.SetSerialNumber(plan.SerialNumber);
    doc.SetVersion(plan.Version);
    for (int k = 0; k < plan.LastChannel; ++k) {
        const PlannedChannel& p = plan.Channels[static_cast<size_t>(k)];
        if (!p.Given)
            continue;
        doc.ChangeChannelType(k, p.Type);
        doc.ApplyChannelTime(k, NearestGridTime(p.Time));
        doc.SetDescription(k + 1, p.Description);
    }
    char sep = doc.Separator;
    for (int k = 0; k < plan.LastChannel; ++k) {
        const PlannedChannel& p = plan.Channels[static_cast<size_t>(k)];
        if (!p.Given)
            continue;
        double programmed = doc.Table.GetChannelTime(k);
        double residual = std::fabs(programmed - p.Time);
        if (residual < 1e-9)
            residual = 0; // what summing doubles leaves on a time that is on the grid
        if (residual > outcome.LargestResidual) {
            outcome.LargestResidual = residual;
            outcome.ResidualChannel = k + 1;
        }
        std::string name = "Voie " + std::to_string(k + 1) + " : ";
        if (k == 0 && p.Type == Automatic)
            outcome.Corrections.push_back(name + "la première voie reste Manuel");
        // Beyond half a step (and what the double sums may add), the rules moved it.
        if (residual > TimeStep / 2 + 1e-9)
            outcome.Corrections.push_back(name + FormatTime(p.Time, sep) + " s demandées, " +
                                          FormatTime(programmed, sep) + " s programmées");
    }
    return outcome;
}

void CopyProgram(EditableProgram& from, ProgramSink& to) {
    to.SetModel(from.ModelIndex());
    to.SetTitle(from.Title());
    to.SetSerialNumber(from.SerialNumber());
    to.SetVersion(from.Version());
    for (int k = 0; k < from.ChannelCount(); ++k) {
        to.ChangeChannelType(k, from.Channels().Slots[static_cast<size_t>(k)].Type);
        to.ApplyChannelTime(k, AsShown(from.Channels().GetChannelTime(k)));
        to.SetDescription(k + 1, from.Description(k + 1));
    }
}

} // namespace salvo
