// The read-back commands of the main window: "Vérifier l'appareil" compares a device with the
// active document, "Lire l'appareil" makes a new document of what a device holds.

#include "ui/shell/Main.h"

#include "device/ReadBackSession.h"
#include "model/program/Document.h"
#include "ui/dialogs/TDlgLecture.h"
#include "ui/editor/TFenetreEnfant.h"

using namespace salvo;

TDlgLecture* TMainForm::ReadBackDialog() {
    // Made on first use, so that it costs nothing at start-up.
    if (!ReadBackDlg) {
        ReadBackDlg = new TDlgLecture(this);
        ReadBackDlg->OnProgramRead = [this](const DeviceContents& c) { NewDeviceWindow(c); };
    }
    return ReadBackDlg;
}

void TMainForm::ConnectionVerifierItemClick() {
    TFenetreEnfant* editor = ActiveEditor();
    if (!editor)
        return;
    // The document's own link, as for a transfer: it may be the one holding the port.
    editor->Link.SetPort(PortIndex);
    TDlgLecture* dialog = ReadBackDialog();
    dialog->SetMode(ReadBackMode::Verify);
    dialog->SetLink(&editor->Link);
    dialog->SetExpectedSerial(SerialNumberValue(editor->SerialNumber().toStdString()));
    dialog->SetDecimalSeparator(editor->DecimalSeparator());
    dialog->exec();
    dialog->SetLink(nullptr); // the document may close before the next command
}

void TMainForm::ConnectionLireItemClick() {
    // No document to lend its link: one of the command's own, which lets the port go at the
    // end, so the new documents can use it.
    CP02 link;
    link.SetPort(PortIndex);
    TDlgLecture* dialog = ReadBackDialog();
    dialog->SetMode(ReadBackMode::Read);
    dialog->SetLink(&link);
    dialog->SetExpectedSerial(0);
    dialog->exec();
    dialog->SetLink(nullptr);
    link.ClosePort();
}

void TMainForm::NewDeviceWindow(const DeviceContents& contents) {
    TFenetreEnfant* editor =
        NewEditorWindow(QString::fromUtf8("Appareil %1").arg(contents.SerialNumber));
    editor->SetModelIndex(contents.Model);
    editor->SetSerialNumber(QString::number(contents.SerialNumber));
    LoadDeviceChannels(editor->Link, contents);
    editor->RefreshChannels(); // also marks it modified: closing it asks to save it
    EnableDocumentCommands(true);
}
