#pragma once

#include <QFile>
#include <QString>

#include <sys/types.h>

/// Writes all size bytes at data to device. A nearly full disk takes part of a write without an
/// error; the rest is written again, so the failure that follows carries the system's reason.
/// A file is written through its descriptor, after what it has buffered. Throws ComponentError
/// "<failure>: <reason>" ("No space left on device").
void writeFully(QIODevice& device, const char* data, qint64 size, const QString& failure);

/// Rewrites a file without putting it at risk: the new content is written into a sibling in the
/// same folder, which takes the original's place in one rename only once it is complete. Until
/// then the original stays byte for byte as it was; a rewrite that is not committed removes its
/// sibling. The sibling gets a fresh name and is created exclusively, so no file that was already
/// in the folder (nor the file a symbolic link there points to) is ever opened, replaced or
/// removed.
class SafeRewrite final
{
public:
    /// Creates the sibling beside original. A symbolic link is followed: the file it points to
    /// is rewritten. Throws ComponentError "Cannot create a file in <folder>: <reason>" when the
    /// sibling cannot be created. failure begins the message of every later failure ("Cannot
    /// write <file>"), which the system's reason follows.
    SafeRewrite(const QString& original, QString failure);
    ~SafeRewrite();
    Q_DISABLE_COPY_MOVE(SafeRewrite)

    /// The sibling, open for writing.
    QFile& file() { return m_sibling; }
    /// Where the sibling is.
    const QString& siblingPath() const { return m_siblingPath; }

    /// Appends bytes to the sibling. Throws ComponentError on a write error.
    void write(const QByteArray& bytes);

    /// Appends the rest of source to the sibling. Throws ComponentError on a read or write error.
    void append(QIODevice& source);

    /// Flushes the sibling to disk, gives it permissions and the original's owner, and renames it
    /// over the original. Throws ComponentError when any of it fails; the original is then
    /// unchanged.
    void commit(QFileDevice::Permissions permissions);

private:
    [[noreturn]] void fail(const QString& reason) const;
    void syncToDisk();
    void takeOwner();
    void rememberIdentity();
    void removeSibling();

    QString m_target;
    QString m_siblingPath;
    QFile m_sibling;
    QString m_failure;
    dev_t m_device = 0; // identity of the sibling, so that only our own file is ever removed
    ino_t m_inode = 0;
    bool m_committed = false;
};
