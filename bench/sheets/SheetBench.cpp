// The import box of "Importer d'un tableur" for the largest files the reader takes (4 MB),
// from the menu command to the box painted, against a 30-channel export:
//   sheet_small_ms    a 30-channel export (the baseline)
//   sheet_wide_ms     256 columns of numbers, as many rows as fit in 4 MB
//   sheet_long_ms     a timed script of two columns, as many rows as fit in 4 MB
//   sheet_utf16_ms    that script in UTF-16 with its byte-order mark
//   sheet_refused_ms  one line of 2 million cells, to its refusal box
//   bench_sheets RUNS
#include "Boxes.h"
#include "Driver.h"
#include "Probe.h"
#include "ScriptedDialogs.h"
#include "ui/dialogs/TImportTableur.h"
#include "ui/shell/Main.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr size_t Limit = 4 << 20;

std::string Small() {
    std::string out = "\xEF\xBB\xBFTitre;Feu\r\nMod\xC3\xA8le;Ignivelle V30\r\n\r\n"
                      "Voie;Type;Retard (s);Heure (s);Description\r\n";
    for (int n = 1; n <= 30; ++n)
        out += std::to_string(n) + (n == 1 ? ";Manuel;0;0;" : ";Automatique;1,2;") +
               std::to_string((n - 1) * 6 / 5) + ",2;Bombe\r\n";
    return out;
}

std::string Wide() {
    std::string row;
    for (int c = 0; c < 256; ++c)
        row += c ? ";1,5" : "1,5";
    row += "\r\n";
    std::string out;
    while (out.size() + row.size() <= Limit)
        out += row;
    return out;
}

std::string Long() {
    std::string out = "Heure;Effet\r\n";
    for (int k = 0; out.size() + 32 <= Limit; ++k)
        out += std::to_string(k) + ",4;Bombe " + std::to_string(k) + "\r\n";
    return out;
}

std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string Refused() {
    std::string out;
    out.reserve(Limit);
    while (out.size() + 2 <= Limit)
        out += "x;";
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int runs = std::max(3, (argc > 1 ? std::atoi(argv[1]) : 5) / 6);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QTemporaryDir dir;
    TMainForm form;
    ScriptedDialogs dialogs;
    BoxAnswers boxes;
    form.SetDialogProvider(&dialogs);
    driver::ShowActive(form);

    struct File {
        const char* Name;
        std::string Bytes;
        bool Box; // refused: a box instead of the import box
    };
    const std::string script = Long();
    const File files[] = {{"sheet_small_ms", Small(), false},
                          {"sheet_wide_ms", Wide(), false},
                          {"sheet_long_ms", script, false},
                          {"sheet_utf16_ms", Utf16(script.substr(0, Limit / 2 - 2)), false},
                          {"sheet_refused_ms", Refused(), true}};
    for (const File& f : files) {
        if (f.Bytes.size() > Limit) {
            std::fprintf(stderr, "%s: %zu bytes, more than the reader takes\n", f.Name,
                         f.Bytes.size());
            return 1;
        }
        const QString path = dir.filePath(QString::fromLatin1(f.Name) + QStringLiteral(".csv"));
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(f.Bytes.data(), qint64(f.Bytes.size())) != qint64(f.Bytes.size()))
            return 1;
        out.close();
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            dialogs.OpenPaths << path;
            boxes.Seen.clear();
            boxes.Queue({QStringLiteral("OK")});
            double shown = -1;
            long long t0 = 0;
            QTimer::singleShot(0, [&] {
                auto* d = qobject_cast<TImportTableur*>(QApplication::activeModalWidget());
                if (!d)
                    return;
                d->repaint(); // painted, not only shown
                shown = double(bench::NowNs() - t0) / 1e6;
                d->reject();
            });
            t0 = bench::NowNs();
            driver::Trigger(form, "FileImportTableur");
            if (f.Box) {
                shown = double(bench::NowNs() - t0) / 1e6;
                if (boxes.Seen.size() != 1) {
                    std::fprintf(stderr, "%s: no refusal box\n", f.Name);
                    return 1;
                }
            } else if (shown < 0 || !boxes.Seen.empty()) {
                std::fprintf(stderr, "%s: the import box was not shown\n", f.Name);
                return 1;
            }
            times.push_back(shown);
        }
        bench::Report(f.Name, times, "ms");
    }
    return 0;
}
