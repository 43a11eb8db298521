#include "rip/ReleaseTags.h"

#include "base/ComponentError.h"

#include "base/CoverImage.h"

#include <QDir>
#include <QFile>

namespace {

// The entry's track of the audio track audioIndex: data tracks have entries too.
const FreeDBTrack* audioTrack(const FreeDBEntry& entry, int audioIndex)
{
    int audio = -1;
    for (qsizetype i = 0; i < entry.tracks.size(); ++i) {
        const bool data = i < entry.disc.dataTracks.size() && entry.disc.dataTracks.at(i);
        if (!data && ++audio == audioIndex)
            return &entry.tracks.at(i);
    }
    return nullptr;
}

void addIdentifier(TagRecord& tag, const char* name, const QString& value)
{
    if (!value.isEmpty())
        tag.identifiers.insert(QLatin1StringView(name), value);
}

} // namespace

void addEntryTags(TagRecord& tag, const FreeDBEntry& entry, int audioIndex, bool embedCover)
{
    addIdentifier(tag, "MUSICBRAINZ_ALBUMID", entry.releaseId);
    addIdentifier(tag, "MUSICBRAINZ_RELEASEGROUPID", entry.releaseGroupId);
    addIdentifier(tag, "MUSICBRAINZ_ALBUMARTISTID", entry.albumArtistId);
    if (const FreeDBTrack* track = audioTrack(entry, audioIndex)) {
        addIdentifier(tag, "MUSICBRAINZ_TRACKID", track->recordingId);
        addIdentifier(tag, "MUSICBRAINZ_ARTISTID", track->artistId);
    }
    if (entry.discNumber > 0) {
        tag.discNumber = entry.discNumber;
        tag.discTotal = entry.discTotal;
    }
    const QString type = coverImageType(entry.cover);
    if (embedCover && !type.isEmpty()) {
        tag.picture = entry.cover;
        tag.pictureType = type;
    }
}

QString saveCover(const FreeDBEntry& entry, const QString& folder)
{
    const QString type = coverImageType(entry.cover);
    if (type.isEmpty())
        return {};
    const QString path = QDir(folder).filePath(QStringLiteral("cover") + coverImageExtension(type));
    QFile file(path);
    // NewOnly: a file of that name, whoever made it, is kept as it is.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (QFile::exists(path))
            return {};
        throw ComponentError(
            QStringLiteral("The cover could not be saved as %1: %2").arg(path, file.errorString()));
    }
    if (file.write(entry.cover) != entry.cover.size() || !file.flush()) {
        const QString error = file.errorString();
        file.close();
        file.remove();
        throw ComponentError(
            QStringLiteral("The cover could not be saved as %1: %2").arg(path, error));
    }
    return QStringLiteral("The cover was saved as %1.").arg(path);
}
