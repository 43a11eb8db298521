#include "tags/Ogg.h"

#include "base/ComponentError.h"
#include "tags/FlacPicture.h"
#include "tags/SafeRewrite.h"
#include "tags/VcEdit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vorbis/codec.h>

namespace {

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
    for (const auto& [name, value] : tag.extra)
        addComment(comments, (name + u'=').toUtf8().constData(), value);
    if (!tag.picture.isEmpty())
        addComment(comments, "METADATA_BLOCK_PICTURE=",
                   QString::fromLatin1(flacPictureBlock(tag.picture, tag.pictureType).toBase64()));
}

ComponentError cannotOpen(const QString& path, const QString& error)
{
    return ComponentError(QStringLiteral("Cannot open ") + path + QStringLiteral(": ") + error);
}

ComponentError cannotWrite(const QString& path, const QString& error)
{
    return ComponentError(QStringLiteral("Cannot write comments to ") + path +
                          QStringLiteral(": ") + error);
}

} // namespace

void writeOggComments(const QString& path, const OGGTag& tag)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        throw cannotOpen(path, input.errorString());
    SafeRewrite rewrite(path);

    VcEdit edit;
    if (!edit.open(input))
        throw cannotOpen(path, edit.lastError());
    replaceComments(edit.comments(), tag);
    if (!edit.write(rewrite.file()))
        throw cannotWrite(path, edit.lastError());
    if (!rewrite.commit(input.permissions()))
        throw cannotWrite(path, rewrite.errorString());
}

bool WriteOGGTag(const QString& path, const OGGTag& tag)
{
    writeOggComments(path, tag);
    return true;
}
