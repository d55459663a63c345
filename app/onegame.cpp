#include "onegame.h"

#include "report.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QSysInfo>
#include <QWidget>

#include <utime.h>

#include <chrono>

namespace kiramoku {

namespace {

const char *const HandedOverLine = "the game is already running; its window is brought to the front";
const char *const RunningThereLine = "the game is already running on %1";
// Where the launcher hands a Wayland window the right to take the focus
// (xdg-activation); Qt's Wayland plugin takes it from there on activation.
constexpr char ActivationVariable[] = "XDG_ACTIVATION_TOKEN";
// What the running game answers once its window is brought forward.
const QByteArray Raised = QByteArrayLiteral("raised\n");
constexpr char LineEnd = '\n';
// How long a second start waits for the running game to answer.
constexpr int AnswerWaitMs = 5000;
// The running game touches its lock this often, so that a start on another
// computer sharing the home folder sees it is alive; a lock from another
// computer left untouched for several of these was left by a game that
// ended there without letting go (a crash, a power cut).
constexpr std::chrono::minutes LockRefresh{1};
constexpr int RefreshesMissed = 5;
constexpr auto OtherComputerGone = RefreshesMissed * LockRefresh;
// How long the end waits for a refresh under way; a home folder on a network
// disk that stalls it is left to it.
constexpr std::chrono::milliseconds RefreshEndWait{500};

QString DataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/kiramoku");
}

// The socket guards one data folder, whatever path leads there: games of
// different folders (other players, tests side by side) never share it. The
// folder's hash keeps the name short, as socket paths must be.
QString ServerPath(const QString &dataFolder)
{
    const QByteArray hash =
        QCryptographicHash::hash(QFileInfo(dataFolder).canonicalFilePath().toUtf8(), QCryptographicHash::Md5);
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/kiramoku-")
           + QString::fromLatin1(hash.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

}  // namespace

OneGame::OneGame()
    : lockPath_(DataFolder() + QStringLiteral("/kiramoku.lock")), lock_(lockPath_), refresher_(RefreshEndWait)
{
    // Age alone never makes the lock stale: a game may run for hours. A
    // holder on this computer that has ended is found by QLockFile itself
    // (its process is gone); one on another computer, by HolderGoneFromAnotherComputer.
    lock_.setStaleLockTime(std::chrono::milliseconds::zero());
}

bool OneGame::Claim()
{
    QDir().mkpath(DataFolder());
    serverPath_ = ServerPath(DataFolder());
    if (TakeLock()) {
        Listen();
        KeepRefreshingLock();
        return true;
    }
    if (lock_.error() != QLockFile::LockFailedError)
        return true;
    Say(AskedToComeForward() ? QString::fromLatin1(HandedOverLine)
                             : QString::fromLatin1(RunningThereLine).arg(HolderComputer()));
    return false;
}

bool OneGame::TakeLock()
{
    if (lock_.tryLock())
        return true;
    if (lock_.error() != QLockFile::LockFailedError || !HolderGoneFromAnotherComputer())
        return false;
    lock_.removeStaleLockFile();
    return lock_.tryLock();
}

QString OneGame::HolderComputer() const
{
    QString host;  // stays empty when the lock cannot be read
    lock_.getLockInfo(nullptr, &host, nullptr);
    return host;
}

bool OneGame::HolderGoneFromAnotherComputer() const
{
    if (HolderComputer() == QSysInfo::machineHostName())
        return false;
    const qint64 untouchedMs = QFileInfo(lockPath_).lastModified().msecsTo(QDateTime::currentDateTime());
    return untouchedMs > std::chrono::milliseconds(OtherComputerGone).count();
}

bool OneGame::AskedToComeForward() const
{
    QLocalSocket running;
    running.connectToServer(serverPath_);
    if (!running.waitForConnected(AnswerWaitMs))
        return false;
    running.write(qgetenv(ActivationVariable) + LineEnd);
    return running.waitForReadyRead(AnswerWaitMs) && running.readLine() == Raised;
}

void OneGame::Listen()
{
    // A socket left by a game that was killed would keep the name taken;
    // the lock says no game of this folder is running.
    QLocalServer::removeServer(serverPath_);
    connect(&server_, &QLocalServer::newConnection, this, &OneGame::Answer);
    server_.listen(serverPath_);
}

void OneGame::Answer()
{
    while (QLocalSocket *caller = server_.nextPendingConnection()) {
        connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
        connect(caller, &QLocalSocket::readyRead, this, [this, caller] {
            if (!caller->canReadLine())
                return;
            BringForward(caller->readLine().trimmed());
            caller->write(Raised);
        });
    }
}

void OneGame::BringForward(const QByteArray &activationToken)
{
    const QList<QWidget *> windows = windows_ ? windows_() : QList<QWidget *>();
    QWidget *front = nullptr;
    // From the back to the front, so that they keep their order among themselves.
    for (auto window = windows.crbegin(); window != windows.crend(); ++window) {
        if (*window && (*window)->isVisible()) {
            (*window)->raise();
            front = *window;
        }
    }
    if (QWidget *question = QApplication::activeModalWidget()) {
        question->raise();
        front = question;
    }
    if (!front)
        return;
    // Empty when the launcher gave none: Qt then asks for a token of its own.
    qputenv(ActivationVariable, activationToken);
    front->activateWindow();
}

void OneGame::KeepRefreshingLock()
{
    // Off the window's thread: a home folder on a network disk may stall.
    refresher_.WhileIdle(LockRefresh, [path = QFile::encodeName(lockPath_)] {
        ::utime(path.constData(), nullptr);
        return true;
    });
    refresher_.Post([] {});  // the first refresh comes a LockRefresh after it
}

}  // namespace kiramoku
