// The "Musique" menu of the main window: each item acts on the active editor window's music.

#include "ui/shell/MusicMenu.h"

#include "model/io/SafeFile.h"
#include "sound/Sound.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/Messages.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/EventTime.h"
#include "ui/music/TFrappe.h"
#include "ui/music/TMusique.h"
#include "ui/music/TPisteSignaux.h"
#include "ui/music/TReperes.h"
#include "ui/music/TRepetition.h"
#include "ui/shell/FileCommands.h"
#include "ui/shell/Workspace.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QStatusBar>

namespace salvo::ui {

namespace {

const char* const CueFilter = "Fichiers son WAV (*.wav)|*.wav";
const char* const LabelFilter = "Repères (*.txt)|*.txt|Tous les fichiers (*.*)|*";

// Only the formats this build reads.
QString SoundFilter() {
    QStringList names, patterns;
    for (const std::string& e : sound::ReadableExtensions()) {
        names << QStringLiteral("*.") + QString::fromStdString(e);
        patterns << QStringLiteral("*.") + QString::fromStdString(e);
    }
    return QString::fromUtf8("Fichiers son (%1)|%2")
        .arg(names.join(QStringLiteral(", ")), patterns.join(QLatin1Char(' ')));
}

QString Folder(TFenetreEnfant* editor, const TMusique* music) {
    if (music && music->HasSound())
        return QFileInfo(QString::fromStdString(music->Data.SoundPath)).absolutePath();
    return editor->HasFileName() ? QFileInfo(editor->FileName()).absolutePath() : QString();
}

// Outside a desktop session (no XDG_RUNTIME_DIR), the sound system's client library keeps a
// link to its runtime folder in ~/.config/pulse, and the program writes nothing in the home
// but what the user saves: it gets the temporary runtime folder Qt uses instead. Where such a
// link is already there, a sound server may be found through it, and it is left alone.
void KeepSoundOutOfHome() {
#ifdef Q_OS_LINUX
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") ||
        !qEnvironmentVariableIsEmpty("PULSE_RUNTIME_PATH"))
        return;
    const QString config = qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME")
                               ? QDir::homePath() + QStringLiteral("/.config")
                               : qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir(config + QStringLiteral("/pulse"))
             .entryList({QStringLiteral("*-runtime")}, QDir::AllEntries | QDir::System)
             .isEmpty())
        return;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        qputenv("PULSE_RUNTIME_PATH", QFile::encodeName(runtime + QStringLiteral("/pulse")));
#endif
}

} // namespace

void BuildMusicMenu(Workspace& w, const AddCommand& addCommand) {
    KeepSoundOutOfHome();
    // Each command needs the active window; without one (a dialog of ours in front) it does
    // nothing, like the other document commands. All of them read the program as it stands,
    // the value being typed included.
    auto add = [&](const char* name, const char* caption, const char* status,
                   void (*handler)(Workspace&, TFenetreEnfant*), CommandKeys keys = {}) {
        addCommand(
            name, QString::fromUtf8(caption), QString::fromUtf8(status),
            [&w, handler] {
                if (TFenetreEnfant* editor = w.ActiveEditor())
                    handler(w, editor);
            },
            keys);
    };
    add("MusiqueAssocierItem", "&Associer une musique...", "Choisir le fichier son du spectacle",
        [](Workspace& f, TFenetreEnfant* e) {
            const QString path =
                f.Dialogs().OpenFileName(f.Window(), Folder(e, TMusique::Of(e, false)),
                                         SoundFilter(), QString::fromUtf8("Associer une musique"));
            // The keyboard then goes to the timeline, where Space and M act on the music.
            if (!path.isEmpty() && TMusique::Of(e)->Attach(path))
                e->FocusTimeline();
        });
    add("MusiqueDetacherItem", "&Détacher la musique", "Retirer le fichier son de ce programme",
        [](Workspace&, TFenetreEnfant* e) {
            if (TMusique* m = TMusique::Of(e, false); m && m->HasSound())
                m->Detach();
        });
    addCommand(nullptr, QString(), QString(), nullptr, {}); // a separator
    // Function keys: no cell or header field takes them, the grid's own is F2, and neither
    // Ctrl+Space (an input method switch on many desktops, a selection key in item views) nor
    // Ctrl+M (a carriage return to some keyboards' drivers) is safe. Both run while a cell is
    // typed and leave it being typed.
    add("MusiqueLectureItem", "&Lecture", "Écouter la musique depuis la tête de lecture",
        [](Workspace&, TFenetreEnfant* e) { TMusique::Of(e)->TogglePlay(); },
        {QKeySequence(Qt::Key_F5), true});
    add("MusiqueMarquerItem", "&Marquer", "Poser un repère à l'instant écouté",
        [](Workspace&, TFenetreEnfant* e) { TMusique::Of(e)->Mark(KeyPressInstant(Qt::Key_F6)); },
        {QKeySequence(Qt::Key_F6), true});
    add("MusiqueReperesItem", "Importer des &repères...",
        "Lire des repères d'un fichier de marqueurs", [](Workspace& f, TFenetreEnfant* e) {
            const QString path = f.Dialogs().OpenFileName(
                f.Window(), Folder(e, TMusique::Of(e, false)), QString::fromUtf8(LabelFilter));
            if (!path.isEmpty())
                TMusique::Of(e)->ImportMarkers(path);
        });
    add("MusiqueListeReperesItem", "Re&pères...", "Voir et corriger la liste des repères",
        [](Workspace& f, TFenetreEnfant* e) {
            TReperes dialog(TMusique::Of(e), f.Window());
            dialog.exec();
        });
    addCommand(nullptr, QString(), QString(), nullptr, {}); // a separator
    add("MusiqueCalerItem", "&Caler la séquence sur les repères",
        "Ajuster les retards de la séquence aux repères suivants",
        [](Workspace& f, TFenetreEnfant* e) {
            const QString residual = TMusique::Of(e)->FitSequence(e->CurrentRow() - 1);
            if (!residual.isEmpty())
                f.ShowStatus(residual);
        });
    addCommand(nullptr, QString(), QString(), nullptr, {}); // a separator
    add("MusiqueRepetitionItem", "Ré&pétition...", "Répéter le spectacle avec la musique",
        [](Workspace& f, TFenetreEnfant* e) {
            TMusique* music = TMusique::Of(e);
            if (!music->HasSound()) {
                ShowInformation(f.Window(), QString::fromUtf8("Aucune musique n'est associée à ce "
                                                              "programme."));
                return;
            }
            TRepetition dialog(e, music, nullptr, f.Window());
            // Over the grid, low: the timeline, where the channels light, stays in view.
            const QRect area = f.Window()->geometry();
            dialog.move(area.left() + 16, area.bottom() - dialog.height() - 48);
            dialog.exec();
        });
    add("MusiqueFrappeItem", "Régler la &frappe...",
        "Mesurer le retard de votre frappe sur le rythme", [](Workspace& f, TFenetreEnfant* e) {
            TFrappe dialog(TMusique::Of(e), nullptr, f.Window());
            dialog.exec();
        });
    add("MusiqueSignauxItem", "Piste de &signaux...",
        "Enregistrer une piste son avec le décompte des séquences",
        [](Workspace& f, TFenetreEnfant* e) {
            TMusique* music = TMusique::Of(e);
            const QString status = WriteCueTrackFor(f.Window(), e, music, [&f, e, music] {
                const QString base =
                    e->HasFileName() ? QFileInfo(e->FileName()).completeBaseName() : e->Title();
                const QString path = f.Dialogs().SaveFileName(
                    f.Window(), Folder(e, music), base + QString::fromUtf8(" - signaux.wav"),
                    QString::fromUtf8(CueFilter), QStringLiteral("wav"));
                return path.isEmpty() || !MayWriteFile(f, path) ? QString() : path;
            });
            if (!status.isEmpty())
                f.ShowStatus(status);
        });
}

// The music lives beside the file the program's name leads to, as its backup does. A companion
// written beside a link by an earlier version is still read.
void LoadMusic(TFenetreEnfant* editor) {
    if (!editor || !editor->HasFileName())
        return;
    const std::string named = editor->FileName().toStdString();
    std::string program = FollowLinks(named);
    if (!IsFile(CompanionName(program)))
        program = named;
    if (!IsFile(CompanionName(program)))
        return;
    TMusique* music = TMusique::Of(editor);
    music->LoadFor(QString::fromStdString(program));
    if (!music->Holds())
        delete music; // nothing read (or unreadable): the timeline as without music
}

bool SaveMusic(TFenetreEnfant* editor, const QString& programPath) {
    const TMusique* music = TMusique::Of(editor, false);
    return TMusique::SaveData(editor, music ? music->Show() : ShowData(),
                              QString::fromStdString(FollowLinks(programPath.toStdString())));
}

} // namespace salvo::ui
