#pragma once
// The about box: which program this is, its version and whom to contact.

#include <QDialog>

class QAction;
class QLabel;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QAction* LienSite = nullptr;
    QAction* MailTo = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* LabelNomSite = nullptr;
    QLabel* LabelMail = nullptr;
};
