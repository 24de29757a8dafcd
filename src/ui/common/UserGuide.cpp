#include "ui/common/UserGuide.h"

#include "ui/common/Messages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace salvo::ui {

QString UserGuidePath(const QString& programFolder) {
    // The installed copy is looked for relative to the program, so any prefix works.
    const QString candidates[] = {
        QDir(programFolder).filePath(QStringLiteral(SALVODESK_GUIDE_INSTALLED)),
        QStringLiteral(SALVODESK_GUIDE_SOURCE),
    };
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile())
            return QFileInfo(c).canonicalFilePath();
    return {};
}

QString UserGuidePath() {
    return UserGuidePath(QCoreApplication::applicationDirPath());
}

void OpenUserGuide(QWidget* parent) {
    QString path = UserGuidePath();
    if (path.isEmpty()) {
        ShowInformation(parent, QString::fromUtf8("Le guide de l'utilisateur est introuvable."));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        ShowInformation(parent, QString::fromUtf8("Aucun navigateur n'a pu ouvrir le guide de "
                                                  "l'utilisateur :\n") +
                                    QDir::toNativeSeparators(path));
}

} // namespace salvo::ui
