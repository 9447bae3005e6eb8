#pragma once
// The live disk of the image tests (tests/images/loop-disk.sh) for a GUI test: a loop device over
// DIR/disk.img whose ext4 partition (holding one JPEG) is mounted at DIR/ext. Taken down with
// the object; reason says why it could not be made (no root, no FUSE, ...).

#include <QProcess>
#include <QString>

struct LiveDisk {
    explicit LiveDisk(const QString& folder) : dir(folder) {
        QProcess up;
        up.start(QStringLiteral("bash"), {script(), QStringLiteral("up"), dir});
        const bool ended = up.waitForFinished(120000);
        const QString last = QString::fromLocal8Bit(up.readAllStandardOutput()).trimmed().section(QLatin1Char('\n'), -1);
        if (ended && up.exitStatus() == QProcess::NormalExit && up.exitCode() == 0)
            loop = last;
        else
            reason = last.isEmpty() ? QStringLiteral("loop-disk.sh failed") : last;
    }
    ~LiveDisk() {
        if (!loop.isEmpty())
            QProcess::execute(QStringLiteral("bash"), {script(), QStringLiteral("down"), dir, loop});
    }
    LiveDisk(const LiveDisk&) = delete;
    LiveDisk& operator=(const LiveDisk&) = delete;

    static QString script() { return QStringLiteral(PICTORVA_SOURCE_DIR "/tests/images/loop-disk.sh"); }
    QString image() const { return dir + QStringLiteral("/disk.img"); }

    QString dir, loop, reason;
};
