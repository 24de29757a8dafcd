// The safety bilan of a show, offscreen:
//   bilan_model_us  the bilan of two 30-channel programs (every channel with a product, some
//                   F4, some without a mass) computed and put in words, no window
//   bilan_shown_ms  "Bilan de sécurité" of that show for every open program: the dialog made,
//                   computed, filled and painted (the figure that must fit one 16 ms frame)
//   bilan_toggle_ms "Tous les programmes ouverts" ticked in that dialog, until repainted
//   empty_dialog_ms the baseline: an empty dialog of the same size made and painted
//   bench_products RUNS
#include "Probe.h"
#include "model/products/Bilan.h"
#include "ui/products/TBilan.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<salvo::ProgramProducts> Show() {
    using namespace salvo;
    std::vector<ProgramProducts> show(2);
    for (size_t b = 0; b < show.size(); ++b) {
        show[b].Title = "Boîte " + std::to_string(b + 1);
        for (int n = 1; n <= 30; ++n) {
            Product p;
            p.Name = "Produit " + std::to_string(n);
            p.Maker = "Artifices du Midi";
            p.Class = n % 7 == 0 ? Category::F4 : n % 3 == 0 ? Category::F2 : Category::F3;
            p.CalibreMm = 30 + n * 3;
            if (n % 11 != 0)
                p.MassGrams = 100 + n * 37;
            p.SafetyDistanceCm = 1000 + n * 150;
            show[b].Channels[n] = {p, 1 + n % 4};
        }
    }
    return show;
}

// Turns the event loop until the widget has been painted, then once more.
void WaitForPaint(QWidget& w) {
    bool painted = false;
    bench::FirstPaint probe(w, [&] { painted = true; });
    while (!painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 30;
    const std::vector<salvo::ProgramProducts> show = Show();

    std::vector<double> model, shown, toggled, empty;
    for (int i = 0; i < runs; ++i) {
        long long t0 = bench::NowNs();
        const salvo::Bilan b = salvo::ComputeBilan(show);
        const salvo::BilanText text = salvo::DescribeBilan(b, show);
        model.push_back((bench::NowNs() - t0) / 1e3);
        if (text.Verdict.empty())
            return 1;

        t0 = bench::NowNs();
        {
            QDialog d;
            d.resize(640, 620);
            d.show();
            WaitForPaint(d);
            empty.push_back((bench::NowNs() - t0) / 1e6);
        }

        t0 = bench::NowNs();
        TBilan d({show[1]}, show);
        d.show();
        WaitForPaint(d);
        shown.push_back((bench::NowNs() - t0) / 1e6);

        t0 = bench::NowNs();
        d.CaseTousProgrammes->setChecked(true);
        d.repaint();
        toggled.push_back((bench::NowNs() - t0) / 1e6);
    }
    bench::Report("bilan_model_us", model, "us");
    bench::Report("bilan_shown_ms", shown, "ms");
    bench::Report("bilan_toggle_ms", toggled, "ms");
    bench::Report("empty_dialog_ms", empty, "ms");
    return 0;
}
