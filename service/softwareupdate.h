#pragma once

#include "notify.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <optional>

class HttpController;

// The next download percentage worth reporting: received / total truncated, when it is above the
// last one reported (which it then becomes). An unknown total (0 or -1) reports nothing.
std::optional<int> nextProgressPercent(int &lastPercent, qint64 received, qint64 total);

// Update states sent as global.notifyUpdateState; a success ends the application instead.
enum UpdateState {
    UpdateDownloadFailed = 1,
    UpdateDownloadEmpty = 2,
    UpdateMd5Mismatch = 3,
    UpdateUnpackFailed = 4,
    UpdateSaveFailed = 5,
};

// Downloads a new version's package, checks it, unpacks it beside the running installation with
// the installation's 7-Zip, points launcher.ini at it, starts the launcher and asks the
// application to quit. Runs in the service's worker thread; the download lets that thread handle
// other requests meanwhile, so a second update during a download returns at once.
class SoftwareUpdate : public QObject
{
    Q_OBJECT
public:
    // `appDir` is the folder of the running executable, without a trailing slash.
    SoftwareUpdate(HttpController &downloader, NotifyFn notify, QString appDir,
                   QObject *parent = nullptr);

    void run(const QString &version, const QString &ossurl, const QString &md5);

    // For the application's teardown, from any thread: a run in progress stops at its next step,
    // with 7-Zip killed and the download dropped, and no later run starts. Nothing more is
    // reported to the pages.
    void cancel();

    // How long 7-Zip may take; 30 s unless a test shortens it.
    void setUnpackTimeoutMs(int ms) { unpackTimeoutMs = ms; }

signals:
    void sigQuit();

private:
    QByteArray downloadPackage(const QString &ossurl);
    bool unpack(const QString &packagePath, const QString &targetPath);
    void recordVersions(const QString &version);
    void fail(UpdateState state);
    bool cancelledNow() const;

    HttpController &downloader;
    NotifyFn notify;
    QString appDir;
    int unpackTimeoutMs = 30000;
    bool updateInProgress = false;
    std::atomic_bool cancelled{false};
};
