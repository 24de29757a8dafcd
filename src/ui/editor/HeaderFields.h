#pragma once
// The header of a program above its grid: title, serial number, version and the device model,
// each with its label. The texts are kept whole however long they are; what the user types is
// limited and filtered as the file needs.

#include <QString>
#include <QWidget>

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
namespace salvo::ui {
struct PrintSheet;
}

class HeaderFields : public QWidget {
    Q_OBJECT
public:
    explicit HeaderFields(QWidget* parent);

    QString Title() const;
    QString SerialNumber() const;
    QString VersionText() const;
    void SetTitle(const QString& text);
    void SetSerialNumber(const QString& text);
    void SetVersionText(const QString& text);
    int SelectedModel() const;
    void SetSelectedModel(int model);

    // The header of the printed sheet: the texts and the captions as the user sees them.
    void Describe(salvo::ui::PrintSheet& sheet) const;
    // The keyboard goes through the fields, then the grid, then the model list.
    void SetTabOrder(QWidget* grid);

signals:
    // A text changed, or a key was pressed in the serial number, refused or not.
    void Edited();
    // The user chose a model in the list.
    void ModelChosen(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The labels' texts and places beside their fields, the fields' tips.
    void WriteCaptions();
    bool NumeroSerieKeyPress(QKeyEvent* event);

    QLabel* LabelTitre = nullptr;
    QLineEdit* StringTitre = nullptr;
    QLabel* LabelNumSerie = nullptr;
    QLineEdit* NumeroSerie = nullptr;
    QLabel* LabelVersion = nullptr;
    QLineEdit* Version = nullptr;
    QLabel* LabelTypeIgnivellique = nullptr;
    QComboBox* ComboBoxType = nullptr;
};
