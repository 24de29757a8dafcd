#pragma once
// "Produits des voies": one row per channel of a program, as its grid shows it, with the
// product it fires and how many. A product is chosen from the catalogue of this run or from
// those the show already holds, by typing part of its name.

#include "model/products/Product.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QTableWidget;

class TProduitsVoies : public QDialog {
    Q_OBJECT
public:
    struct ChannelRow {
        QString Number, Type, Delay, Description; // the grid's cells
    };

    TProduitsVoies(const QString& programName, const std::vector<ChannelRow>& rows,
                   const std::map<int, salvo::ChannelProduct>& assigned,
                   const std::vector<salvo::Product>& catalogue, QWidget* parent = nullptr);

    // Channel number (from 1) -> its product, as chosen.
    std::map<int, salvo::ChannelProduct> Result() const;
    // Whether empty descriptions take the product's name.
    bool FillDescriptions() const;

    // The choices, as their labels read.
    QStringList Labels() const;
    // The product combo and the quantity of a channel (from 1), for tests.
    QComboBox* ProductBox(int channel) const;
    QSpinBox* QuantityBox(int channel) const;

    QTableWidget* Table = nullptr;
    QCheckBox* CaseReprendreNom = nullptr;
    QLabel* LabelCatalogue = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The product the text names: an exact label, or the only one holding it; -1 for none.
    int Resolve(const QString& text) const;
    // The typed name taken; false, after a box, when it names no single product.
    bool Commit(int row);
    void Choose(int row, int choice);

    std::vector<salvo::Product> Choices;
    QStringList ChoiceLabels;
    std::map<int, salvo::ChannelProduct> Hidden;
    std::vector<int> Chosen; // per row, an index in Choices or -1
    std::vector<int> Quantities;
    std::vector<QComboBox*> Combos;
    std::vector<QSpinBox*> Spins;
};

// The box's text when a typed name matches no product (%1) or several (%2 of them).
extern const char* const MsgNoSuchProduct;
extern const char* const MsgSeveralProducts;
