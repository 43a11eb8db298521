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

} // namespace

void writeOggComments(const QString& path, const OGGTag& tag)
{
    const QString cannotOpen = QStringLiteral("Cannot open ") + path;
    const QString cannotWrite = QStringLiteral("Cannot write comments: ") + path;
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        throw ComponentError(cannotOpen + QStringLiteral(": ") + input.errorString());
    SafeRewrite rewrite(path, cannotWrite);

    VcEdit edit;
    edit.open(input, cannotOpen);
    replaceComments(edit.comments(), tag);
    edit.write(rewrite.file(), cannotWrite);
    rewrite.commit(input.permissions());
}

bool WriteOGGTag(const QString& path, const OGGTag& tag)
{
    writeOggComments(path, tag);
    return true;
}
