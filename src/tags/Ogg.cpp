#include "tags/Ogg.h"

#include "base/Utf8Names.h"
#include "components/ComponentError.h"
#include "tags/SafeRewrite.h"
#include "tags/VcEdit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vorbis/codec.h>

namespace {

const QString TempSuffix = QStringLiteral("temp");

void addComment(vorbis_comment* comments, const char* key, const QString& value)
{
    if (!value.isEmpty()) {
        const QByteArray text = key + value.toUtf8();
        vorbis_comment_add(comments, text.constData());
    }
}

void replaceComments(vorbis_comment* comments, const OGGTag& tag)
{
    vorbis_comment_clear(comments);
    vorbis_comment_init(comments);
    addComment(comments, "Title=", tag.title);
    addComment(comments, "Artist=", tag.artist);
    addComment(comments, "Album=", tag.album);
    addComment(comments, "TrackNumber=", tag.tracknumber);
    addComment(comments, "Date=", tag.date);
    addComment(comments, "Genre=", tag.genre);
    addComment(comments, "Comment=", tag.comment);
}

ComponentError cannotOpen(const QString& path, const QString& error)
{
    return ComponentError(QStringLiteral("Cannot open ") + path + QStringLiteral(": ") + error);
}

ComponentError cannotWrite(const QString& error)
{
    if (error.isEmpty())
        return ComponentError(QStringLiteral("Cannot write comments"));
    return ComponentError(QStringLiteral("Cannot write comments: ") + error);
}

} // namespace

QString OGGTempPath(const QString& path)
{
    const QFileInfo file(path);
    // The sibling must never be the file itself, and its name must fit the file system like the
    // file's own name did.
    const QString stem = file.suffix() == TempSuffix ? file.fileName() : file.completeBaseName();
    const QString suffix = u'.' + TempSuffix;
    const int room = MaxNameBytes - static_cast<int>(suffix.size());
    return file.dir().filePath(cutToUtf8Bytes(stem, room) + suffix);
}

bool WriteOGGTag(const QString& path, const OGGTag& tag)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        throw cannotOpen(path, input.errorString());
    SafeRewrite rewrite(path, QFileInfo(OGGTempPath(path)).fileName());

    VcEdit edit;
    if (!edit.open(input))
        throw cannotOpen(path, edit.lastError());
    replaceComments(edit.comments(), tag);
    if (!edit.write(rewrite.file()))
        throw cannotWrite(edit.lastError());
    return rewrite.commit(input.permissions());
}
