#pragma once
// The port selection dialog: COM1 to COM4, what each one reaches, those that do not exist greyed.

#include <QDialog>

class QLabel;
class QRadioButton;

class TConfPort : public QDialog {
    Q_OBJECT
public:
    explicit TConfPort(QWidget* parent = nullptr);

    // Checks radio button n (1 to 4) and unchecks the others; any other value changes nothing.
    void SelectPort(int n);
    // The first checked radio button, 1 to 4; 0 when none is.
    int SelectedPort() const;
    QRadioButton* Radio(int n) const { return RadioPort[n - 1]; }
    QLabel* Description(int n) const { return LabelPort[n - 1]; }

    // Probes the four ports anew: a missing one is greyed, a present one offered, and each says
    // what it reaches. A checked button stays checked, even when greyed.
    void ProbePorts();

public slots:
    void ValidationClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QRadioButton* RadioPort[4];
    QLabel* LabelPort[4];
};
