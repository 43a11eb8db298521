#pragma once

#include <QFile>
#include <QString>

/// Rewrites a file without putting it at risk: the new content is written into a sibling in the
/// same folder, which takes the original's place in one rename only once it is complete. Until
/// then the original stays byte for byte as it was; a rewrite that is not committed removes its
/// sibling.
class SafeRewrite final
{
public:
    /// Creates the sibling siblingName (removing a file of that name first) beside original, or a
    /// sibling under a fresh hidden name when siblingName is empty. A symbolic link is followed:
    /// the file it points to is rewritten. Throws ComponentError
    /// "Cannot open <sibling>: <reason>" when the sibling cannot be created.
    explicit SafeRewrite(const QString& original, const QString& siblingName = QString());
    ~SafeRewrite();
    Q_DISABLE_COPY_MOVE(SafeRewrite)

    /// The sibling, open for writing.
    QFile& file() { return m_sibling; }

    /// Appends bytes to the sibling; false on a write error.
    bool write(const QByteArray& bytes);

    /// Appends the rest of source to the sibling; false on a read or write error.
    bool append(QIODevice& source);

    /// Flushes the sibling to disk, gives it permissions and the original's owner, and renames it
    /// over the original. False when any of it fails; the original is then unchanged.
    bool commit(QFileDevice::Permissions permissions);

    /// What went wrong in the last failed call.
    QString errorString() const { return m_error; }

private:
    bool fail(const QString& error);
    bool syncToDisk();
    void takeOwner();

    QString m_target;
    QFile m_sibling;
    QString m_error;
    bool m_committed = false;
};
