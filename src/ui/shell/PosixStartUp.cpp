// The running copy listens on a local socket.

#include "ui/shell/StartUp.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace {
// A copy that does not answer within this time is taken as gone.
constexpr int AnswerMs = 5000;
// A starting copy takes longer than this only when something is wrong with it.
constexpr int TurnMs = 10000;
const char Taken = '1';
} // namespace

QString InstanceName() {
    // The user's own runtime folder when there is one: other users cannot take the name.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/salvodesk");
    return QStringLiteral("salvodesk-") + qEnvironmentVariable("USER");
}

bool HandToRunningCopy(const QString& name, const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(AnswerMs))
        return false;
    socket.write(path.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(AnswerMs))
        return false;
    while (socket.bytesAvailable() == 0)
        if (!socket.waitForReadyRead(AnswerMs))
            return false;
    return socket.read(1) == QByteArray(1, Taken);
}

struct StartUpTurn::Hold {
    explicit Hold(const QString& path) : File(path) {}
    QLockFile File; // gone with its holder: a dead one's is taken over
};

StartUpTurn::StartUpTurn(const QString& name)
    : Own(std::make_unique<Hold>(QDir(QDir::tempPath()).absoluteFilePath(name + ".lock"))) {
    Own->File.setStaleLockTime(0);
    Own->File.tryLock(TurnMs);
}

StartUpTurn::~StartUpTurn() = default;

void StartUpTurn::Release() {
    Own->File.unlock();
}

struct RunningCopy::Channel {
    QLocalServer Server;
};

RunningCopy::RunningCopy(Workspace& workspace, QObject* parent)
    : QObject(parent), W(workspace), Own(std::make_unique<Channel>()) {
    QLocalServer& server = Own->Server;
    server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server, &QLocalServer::newConnection, this, [this, &server] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            auto read = [this, socket] {
                if (!socket->canReadLine())
                    return;
                Received(QString::fromUtf8(socket->readLine()).chopped(1));
                socket->write(QByteArray(1, Taken));
                socket->flush();
                socket->disconnectFromServer();
            };
            connect(socket, &QLocalSocket::readyRead, this, read);
            read();
        }
    });
}

RunningCopy::~RunningCopy() {
    Own->Server.close(); // removes the socket
}

bool RunningCopy::Listen(const QString& name) {
    // A copy that answers keeps the name; a socket left by one that crashed is replaced (Qt
    // would put a new one in its place even over a copy that answers).
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(AnswerMs))
        return false;
    QLocalServer::removeServer(name);
    return Own->Server.listen(name);
}
