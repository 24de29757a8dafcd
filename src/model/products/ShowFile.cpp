#include "model/products/ShowFile.h"

#include "model/io/SafeFile.h"
#include "model/program/ChannelTable.h"
#include "model/program/TimeText.h"

#include <tuple>
#include <vector>

namespace salvo {

namespace {

const char* const ProductKey = "Produit";
const char* const ChannelKey = "Voie";
const char* const PlaceKey = "Lieu";
const char* const DateKey = "Date";
const char* const OrganiserKey = "Organisateur";
const char* const ShooterKey = "Responsable";
const char* const CertificateKey = "Certificat";
const char* const LevelKey = "Niveau";

// Number, category, name, maker, reference, five figures, effect.
constexpr size_t ProductFields = 11;

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case ';':
            out += "\\;";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescaped(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case ';':
            out += ';';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

// The fields of " ; "-separated escaped texts: a ";" that is not escaped ends a field.
std::vector<std::string_view> Fields(std::string_view rest) {
    std::vector<std::string_view> out;
    for (;;) {
        size_t at = 0;
        while (at < rest.size() && rest[at] != ';')
            at += rest[at] == '\\' ? 2 : 1;
        const bool last = at >= rest.size();
        std::string_view f = rest.substr(0, at);
        if (!out.empty() && !f.empty() && f.front() == ' ')
            f.remove_prefix(1);
        if (!last && !f.empty() && f.back() == ' ')
            f.remove_suffix(1);
        out.push_back(f);
        if (last)
            return out;
        rest.remove_prefix(at + 1);
    }
}

template <typename T> std::string Number(const std::optional<T>& v, int decimals) {
    return v ? FormatFixed(*v, decimals, '.') : std::string();
}

// An empty field is an unknown figure; anything else must read.
template <typename T>
bool ReadNumber(std::string_view text, int decimals, int64_t max, std::optional<T>& into) {
    if (text.empty())
        return true;
    std::optional<int64_t> v = ParseFixed(text, decimals, '.');
    if (!v || *v > max)
        return false;
    into = static_cast<T>(*v);
    return true;
}

auto DossierFields(const Dossier& d) {
    return std::tie(d.Place, d.DateTime, d.Organiser, d.Shooter, d.CertificateNumber,
                    d.CertificateLevel);
}

struct Reader {
    ShowData& Show;
    std::vector<Product> Products;

    bool Line(std::string_view key, std::string_view rest) {
        if (key == ProductKey)
            return ProductLine(Fields(rest));
        if (key == ChannelKey)
            return ChannelLine(Fields(rest));
        if (key == LevelKey) {
            std::optional<int32_t> level = ParseInt32(rest);
            if (Show.Declaration.CertificateLevel != 0 || !level || *level < 1 || *level > 2)
                return false;
            Show.Declaration.CertificateLevel = *level;
            return true;
        }
        const std::pair<const char*, std::string*> texts[] = {
            {PlaceKey, &Show.Declaration.Place},
            {DateKey, &Show.Declaration.DateTime},
            {OrganiserKey, &Show.Declaration.Organiser},
            {ShooterKey, &Show.Declaration.Shooter},
            {CertificateKey, &Show.Declaration.CertificateNumber}};
        for (const auto& [name, field] : texts) {
            if (key != name)
                continue;
            std::optional<std::string> text = Unescaped(rest);
            if (!text || text->empty() || !field->empty())
                return false;
            *field = *text;
            return true;
        }
        return false;
    }

    bool ProductLine(const std::vector<std::string_view>& f) {
        if (f.size() != ProductFields ||
            ParseInt32(f[0]) != static_cast<int32_t>(Products.size() + 1))
            return false;
        Product p;
        std::optional<Category> c = ParseCategory(f[1]);
        std::optional<std::string> texts[] = {Unescaped(f[2]), Unescaped(f[3]), Unescaped(f[4]),
                                              Unescaped(f[10])};
        if (!c || !texts[0] || !texts[1] || !texts[2] || !texts[3])
            return false;
        p.Class = *c;
        p.Name = *texts[0];
        p.Maker = *texts[1];
        p.Reference = *texts[2];
        p.Effect = *texts[3];
        if (!ReadNumber(f[5], 0, MaxCalibreMm, p.CalibreMm) ||
            !ReadNumber(f[6], 0, MaxMassGrams, p.MassGrams) ||
            !ReadNumber(f[7], 3, MaxMilliseconds, p.DurationMs) ||
            !ReadNumber(f[8], 3, MaxMilliseconds, p.LiftMs) ||
            !ReadNumber(f[9], 2, MaxDistanceCm, p.SafetyDistanceCm))
            return false;
        Products.push_back(std::move(p));
        return true;
    }

    bool ChannelLine(const std::vector<std::string_view>& f) {
        if (f.size() != 3)
            return false;
        std::optional<int32_t> channel = ParseInt32(f[0]), product = ParseInt32(f[1]),
                               quantity = ParseInt32(f[2]);
        if (!channel || *channel < 1 || *channel > SlotCount || Show.Channels.count(*channel) ||
            !product || *product < 1 || static_cast<size_t>(*product) > Products.size() ||
            !quantity || *quantity < 1 || *quantity > MaxQuantity)
            return false;
        Show.Channels[*channel] = {Products[static_cast<size_t>(*product - 1)], *quantity};
        return true;
    }
};

} // namespace

bool Dossier::Empty() const {
    return *this == Dossier();
}
bool Dossier::operator==(const Dossier& o) const {
    return DossierFields(*this) == DossierFields(o);
}

std::string ShowFileBytes(const ShowData& show, const std::string& programPath) {
    if (show.Channels.empty() && show.Declaration.Empty())
        return MusicFileBytes(show.Music, programPath);
    std::string out = MusicFileBytes(show.Music, programPath, 2);
    std::vector<const Product*> written;
    std::string channels;
    for (const auto& [channel, cp] : show.Channels) {
        size_t number = 0;
        while (number < written.size() && *written[number] != cp.Item)
            ++number;
        if (number == written.size()) {
            written.push_back(&cp.Item);
            const Product& p = cp.Item;
            out += std::string(ProductKey) + " ; " + std::to_string(number + 1) + " ; " +
                   CategoryName(p.Class) + " ; " + Escaped(p.Name) + " ; " + Escaped(p.Maker) +
                   " ; " + Escaped(p.Reference) + " ; " + Number(p.CalibreMm, 0) + " ; " +
                   Number(p.MassGrams, 0) + " ; " + Number(p.DurationMs, 3) + " ; " +
                   Number(p.LiftMs, 3) + " ; " + Number(p.SafetyDistanceCm, 2) + " ; " +
                   Escaped(p.Effect) + "\n";
        }
        channels += std::string(ChannelKey) + " ; " + std::to_string(channel) + " ; " +
                    std::to_string(number + 1) + " ; " + std::to_string(cp.Quantity) + "\n";
    }
    out += channels;
    const Dossier& d = show.Declaration;
    const std::pair<const char*, const std::string*> texts[] = {
        {PlaceKey, &d.Place},
        {DateKey, &d.DateTime},
        {OrganiserKey, &d.Organiser},
        {ShooterKey, &d.Shooter},
        {CertificateKey, &d.CertificateNumber}};
    for (const auto& [key, text] : texts)
        if (!text->empty())
            out += std::string(key) + " ; " + Escaped(*text) + "\n";
    if (d.CertificateLevel != 0)
        out += std::string(LevelKey) + " ; " + std::to_string(d.CertificateLevel) + "\n";
    return out;
}

MusicReadResult ParseShowFile(const std::string& bytes, const std::string& programPath,
                              ShowData& show) {
    ShowData read;
    Reader reader{read, {}};
    MusicReadResult result = ParseMusicFile(
        bytes, programPath, read.Music,
        [&](std::string_view key, std::string_view rest) { return reader.Line(key, rest); });
    show = result.Status == MusicRead::Read ? std::move(read) : ShowData();
    return result;
}

MusicReadResult ReadShowFile(const std::string& programPath, ShowData& show) {
    show = ShowData();
    std::string bytes;
    if (const MusicRead r = ReadCompanionBytes(programPath, bytes); r != MusicRead::Read)
        return {r, 0};
    return ParseShowFile(bytes, programPath, show);
}

MusicWrite WriteShowFile(const ShowData& show, const std::string& programPath) {
    if (show.Channels.empty() && show.Declaration.Empty())
        return WriteMusicFile(show.Music, programPath);
    if (programPath.empty())
        return MusicWrite::Nothing;
    return WriteFileSafely(CompanionName(programPath), ShowFileBytes(show, programPath),
                           CompanionBackupName(programPath))
               ? MusicWrite::Written
               : MusicWrite::Failed;
}

} // namespace salvo
