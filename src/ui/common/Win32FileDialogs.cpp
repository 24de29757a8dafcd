// Windows' own file dialogs, called directly: Qt's QFileDialog, when it is destroyed, writes
// its last folder and history into the user's registry (HKCU\Software\QtProject), and the
// program keeps no settings.

#include "ui/common/FileDialogs.h"
#include "ui/common/Messages.h"

#include <QDialog>
#include <QDir>
#include <QPrinterInfo>
#include <QStringList>
#include <QWidget>

#include <windows.h>

#include <shobjidl.h>

#include <string>
#include <vector>

namespace {

template <class T> struct ComPtr {
    T* P = nullptr;
    ~ComPtr() {
        if (P)
            P->Release();
    }
    T* operator->() const { return P; }
};

std::wstring Wide(const QString& text) {
    return text.toStdWString();
}

QString RunDialog(bool save, const QString& title, QWidget* parent, const QString& folder,
                  const QString& proposedName, const QString& pipeFilter,
                  const QString& defaultExtension) {
    ComPtr<IFileDialog> dialog;
    HRESULT made = save ? CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IFileSaveDialog, reinterpret_cast<void**>(&dialog.P))
                        : CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IFileOpenDialog, reinterpret_cast<void**>(&dialog.P));
    if (FAILED(made) || !dialog.P) {
        salvo::ui::ShowError(parent, QString::fromUtf8("La fenêtre de choix du fichier ne peut pas "
                                                       "s'ouvrir (erreur %1).")
                                         .arg(static_cast<unsigned long>(made), 8, 16,
                                              QLatin1Char('0')));
        return {};
    }
    // "description|pattern|description|pattern": the patterns are matched without regard to case.
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    std::vector<std::wstring> texts;
    for (const QString& part : parts)
        texts.push_back(Wide(part));
    std::vector<COMDLG_FILTERSPEC> types;
    for (size_t i = 0; i + 1 < texts.size(); i += 2)
        types.push_back({texts[i].c_str(), texts[i + 1].c_str()});
    if (!types.empty())
        dialog->SetFileTypes(static_cast<UINT>(types.size()), types.data());
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    options |= FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR;
    // Replacing a file is asked by the program itself; a name that does not exist yet may be
    // opened, to be created.
    options &= save ? ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_OVERWRITEPROMPT)
                    : ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_FILEMUSTEXIST);
    dialog->SetOptions(options);
    const std::wstring caption =
        !title.isEmpty() ? Wide(title) : save ? L"Enregistrer sous" : L"Ouvrir";
    dialog->SetTitle(caption.c_str());
    if (!folder.isEmpty()) {
        ComPtr<IShellItem> start;
        if (SUCCEEDED(SHCreateItemFromParsingName(Wide(QDir::toNativeSeparators(folder)).c_str(),
                                                  nullptr, IID_IShellItem,
                                                  reinterpret_cast<void**>(&start.P))))
            dialog->SetFolder(start.P);
    }
    if (!proposedName.isEmpty())
        dialog->SetFileName(Wide(proposedName).c_str());
    if (!defaultExtension.isEmpty())
        dialog->SetDefaultExtension(Wide(defaultExtension).c_str());

    // Qt's windows take no input meanwhile, and a file handed over by another copy waits, as
    // under any other modal dialog.
    QDialog blocker(parent ? parent->window() : nullptr);
    blocker.setAttribute(Qt::WA_DontShowOnScreen);
    blocker.setModal(true);
    blocker.show();
    HWND owner = parent ? reinterpret_cast<HWND>(parent->window()->winId()) : nullptr;
    const HRESULT shown = dialog->Show(owner);
    blocker.hide();
    if (FAILED(shown))
        return {}; // cancelled
    ComPtr<IShellItem> chosen;
    if (FAILED(dialog->GetResult(&chosen.P)) || !chosen.P)
        return {};
    PWSTR path = nullptr;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path)
        return {};
    const QString result = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    CoTaskMemFree(path);
    return result;
}

} // namespace

QString SystemDialogProvider::OpenFileName(QWidget* parent, const QString& folder,
                                           const QString& filter, const QString& title) {
    return RunDialog(false, title, parent, folder, QString(), filter, QString());
}

QString SystemDialogProvider::SaveFileName(QWidget* parent, const QString& folder,
                                           const QString& proposedName, const QString& filter,
                                           const QString& defaultExtension) {
    return RunDialog(true, QString(), parent, folder, proposedName, filter, defaultExtension);
}

bool SystemDialogProvider::PrinterInstalled() {
    // Windows' print dialog offers nothing without one.
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}
