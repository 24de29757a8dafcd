#pragma once
// The command line: a file named alone is opened as "Ouvrir..." opens it, and a copy of the
// program already running is handed that file rather than a second window being started.

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class Workspace;

// The file to open: the only argument after the program's name, when it names an existing
// file (made absolute); any other command line opens nothing.
QString FileToOpen(const QStringList& arguments);

// The name the running copy listens under, one per user (a local socket on Linux, a window
// of the user's desktop on Windows).
QString InstanceName();

// Hands path to the copy listening under name; true once that copy has taken it.
bool HandToRunningCopy(const QString& name, const QString& path);

// Held by a starting copy from before it looks for a running one until it listens itself, so
// that copies started together (several files opened at once) end in one. A copy that does
// not let go within seconds, or dies holding it, does not keep the next one waiting.
class StartUpTurn {
public:
    explicit StartUpTurn(const QString& name);
    ~StartUpTurn();
    StartUpTurn(const StartUpTurn&) = delete;
    StartUpTurn& operator=(const StartUpTurn&) = delete;
    void Release();

private:
    struct Hold; // the system's side
    std::unique_ptr<Hold> Own;
};

// The running copy's side: files handed over by later copies are opened in the workspace,
// each once no dialog is open.
class RunningCopy : public QObject {
    Q_OBJECT
public:
    explicit RunningCopy(Workspace& workspace, QObject* parent = nullptr);
    ~RunningCopy() override;
    // False when another copy already listens. A socket left by a copy that crashed is taken
    // over.
    bool Listen(const QString& name);

    // A file handed over; opened as soon as no dialog is open.
    void Received(const QString& path);

private:
    void OpenPending();

    Workspace& W;
    QStringList Pending;
    struct Channel; // the system's side
    std::unique_ptr<Channel> Own;
};
