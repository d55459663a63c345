// One game per player at a time. The game in progress and the settings are
// the player's own files: two games on them would each keep over the other,
// and quitting one on purpose would throw away the game the other keeps. So
// the running game holds a lock file beside the kept game, and listens on a
// local socket in XDG_RUNTIME_DIR named for that data folder; a second start
// (the launcher double-clicked, the menu entry pressed twice) asks it to come
// to the front, says so in one line and ends.
#pragma once

#include "worker.h"

#include <QByteArray>
#include <QList>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace kiramoku {

class OneGame : public QObject {
    Q_OBJECT
public:
    // The game's windows, the one to come to the front first (null where not open).
    using Windows = std::function<QList<QWidget *>()>;

    OneGame();
    // Closes the socket, then lets go of the lock, for the next start.
    ~OneGame() override = default;

    // True when this start is the player's game, which holds the lock from
    // now on; also when the data folder cannot hold a lock at all (the game
    // then runs unguarded, as it can keep nothing there either). False when
    // another game holds it: that game was asked to come to the front, or
    // runs where it cannot be asked (another display, another computer
    // sharing the home folder). One line says which; nothing of the
    // player's files has been read or written.
    bool Claim();
    // What a later start brings to the front: a question box that is open,
    // else the first of `windows` on screen; every one of them comes up.
    void BringForwardOnRequest(Windows windows) { windows_ = std::move(windows); }

private:
    bool TakeLock();
    QString HolderComputer() const;
    bool HolderGoneFromAnotherComputer() const;
    bool AskedToComeForward() const;
    void Listen();
    void Answer();
    void BringForward(const QByteArray &activationToken);
    void KeepRefreshingLock();

    QString lockPath_;
    QString serverPath_;
    QLockFile lock_;
    // After the lock: the socket is gone before the lock is let go, so that
    // closing never removes the socket of a game started after this one.
    QLocalServer server_;
    Windows windows_;
    // Last: it stops before the lock is let go.
    Worker refresher_;
};

}  // namespace kiramoku
