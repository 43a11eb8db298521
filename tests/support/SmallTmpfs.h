#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

/// A small tmpfs mounted on a fresh folder, so that a test can fill a disk for real (a file-size
/// limit gives EFBIG, not ENOSPC). Mounting needs root, which the CI runs tests as; elsewhere
/// the test is skipped with the reason.
class SmallTmpfsTest : public ::testing::Test
{
protected:
    static constexpr qint64 DefaultSize = 2 << 20;

    /// Mounts a tmpfs of sizeBytes; the calling test skips itself when this returns false.
    bool mountTmpfs(qint64 sizeBytes = DefaultSize)
    {
        const QByteArray options = "size=" + QByteArray::number(sizeBytes) + ",mode=0755";
        if (::mount("tunecrest-test", QFile::encodeName(m_dir.path()).constData(), "tmpfs",
                    MS_NOSUID | MS_NODEV, options.constData()) != 0) {
            m_skipReason = QStringLiteral("cannot mount a tmpfs (root is needed): ") +
                           QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        m_mounted = true;
        return true;
    }

    void TearDown() override
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }

    /// Takes every byte still free with a file named "filler", so the next write fails.
    void fillDisk()
    {
        QFile filler(path(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        // Whatever part of a block still fits.
        while (filler.write(block.left(1)) == 1) {
        }
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString root() const { return m_dir.path(); }
    QStringList entries() const
    {
        return QDir(root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot |
                                      QDir::System);
    }

    QTemporaryDir m_dir;
    QString m_skipReason;
    bool m_mounted = false;
};

#define MOUNT_TMPFS_OR_SKIP(...)                                                                   \
    if (!mountTmpfs(__VA_ARGS__))                                                                  \
    GTEST_SKIP() << m_skipReason.toStdString()
