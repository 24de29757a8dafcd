#pragma once
// "Régler la frappe": the operator taps along with a click track played through the music's
// own sound layer, and the median lag of the taps behind the clicks becomes the show's tap lag,
// by which markers dropped by ear and rehearsal presses are placed earlier. The value can also
// be typed, which is all there is without a sound output.

#include "model/music/TapLag.h"
#include "sound/Sound.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include <vector>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTimer;
class TMusique;

class TFrappe : public QDialog {
    Q_OBJECT
public:
    // output: null for the platform's own sound output.
    TFrappe(TMusique* music, std::unique_ptr<salvo::sound::Output> output = nullptr,
            QWidget* parent = nullptr);
    ~TFrappe() override;

    // Starts the clicks, or stops them.
    void Listen();
    // A tap at the given instant (a key press's own time); the first one starts the clicks.
    void Tap(salvo::sound::Instant when);
    // The lags of the taps kept, in seconds, oldest first.
    const std::vector<double>& Lags() const { return Kept; }
    const salvo::ClickTrack& Clicks() const { return Track; }
    // The tap lag the dialog would keep, in seconds.
    double Value() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void StopClicks();
    void ShowState();
    QString Seconds(double s) const;

    QPointer<TMusique> Music;
    std::unique_ptr<salvo::sound::Output> Out;
    std::shared_ptr<const salvo::sound::Samples> Sound; // made on the first listening
    salvo::ClickTrack Track;
    std::vector<double> Kept;
    int Ignored = 0;
    bool Setting = false; // the field set by the measure, not typed

    QLabel* LabelSansSon = nullptr;
    QPushButton* ButtonEcouter = nullptr;
    QPushButton* ButtonFrapper = nullptr;
    QLabel* LabelFrappes = nullptr;
    QLabel* LabelDecalage = nullptr;
    QDoubleSpinBox* EditDecalage = nullptr;
    QPushButton* ButtonOK = nullptr;
    QTimer* Watch = nullptr;
};
