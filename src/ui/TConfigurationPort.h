#pragma once
// The port selection dialog: COM1 to COM4, those that do not exist greyed.

#include <QDialog>

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

public slots:
    void ValidationClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QRadioButton* RadioPort[4];
};
