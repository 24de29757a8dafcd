// The read-back commands of the main window: "Vérifier l'appareil" compares a device with the
// active document, "Lire l'appareil" makes a new document of what a device holds.

#include "ui/shell/ReadBackCommands.h"

#include "ui/shell/Workspace.h"

#include "device/ReadBackSession.h"
#include "model/program/Document.h"
#include "ui/dialogs/TDlgLecture.h"
#include "ui/editor/TFenetreEnfant.h"

using namespace salvo;

void VerifyDevice(Workspace& w, TDlgLecture* dialog, int port) {
    TFenetreEnfant* editor = w.ActiveEditor();
    if (!editor)
        return;
    // The document's own link, as for a transfer: it may be the one holding the port.
    editor->Link().SetPort(port);
    dialog->SetMode(ReadBackMode::Verify);
    dialog->SetLink(&editor->Link());
    dialog->SetExpectedSerial(SerialNumberValue(editor->SerialNumber().toStdString()));
    dialog->SetDecimalSeparator(editor->DecimalSeparator());
    dialog->exec();
    dialog->SetLink(nullptr); // the document may close before the next command
}

void ReadDevice(TDlgLecture* dialog, int port) {
    // No document to lend its link: one of the command's own, which lets the port go at the
    // end, so the new documents can use it.
    CP02 link;
    link.SetPort(port);
    dialog->SetMode(ReadBackMode::Read);
    dialog->SetLink(&link);
    dialog->SetExpectedSerial(0);
    dialog->exec();
    dialog->SetLink(nullptr);
    link.ClosePort();
}

void NewDeviceWindow(Workspace& w, const DeviceContents& contents) {
    TFenetreEnfant* editor =
        w.NewEditorWindow(QString::fromUtf8("Appareil %1").arg(contents.SerialNumber));
    editor->SetModelIndex(contents.Model);
    editor->SetSerialNumber(QString::number(contents.SerialNumber));
    LoadDeviceChannels(editor->Link(), contents);
    editor->RefreshChannels(); // also marks it modified: closing it asks to save it
    w.EnableDocumentCommands(true);
}
