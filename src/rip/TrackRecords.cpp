#include "rip/TrackRecords.h"

#include "base/IAudioCDGrabber2.h"
#include "base/PlainText.h"
#include "rip/TwoDigits.h"

QString formatTrackTime(int minutes, int seconds, int frames)
{
    return TwoDigits(minutes) + u':' + TwoDigits(seconds) + u':' + QString::number(frames);
}

QString readAlbumArtist(IAudioCDGrabber2& grabber)
{
    return plainText(grabber.albumArtist()).trimmed();
}

TrackRow readTrackRow(IAudioCDGrabber2& grabber, int index, const QString& comment)
{
    const int number = index + 1;
    grabber.CurrentTrack(index);
    TrackRow row;
    // Texts from the disc or a lookup are shown, named and written: no control characters.
    row.caption =
        grabber.hasTrackTitle() ? plainText(grabber.TrackTitle()) : u"Track" + TwoDigits(number);
    row.record.Title = row.caption;
    const QString artist = plainText(grabber.TrackArtist());
    row.record.Artist = artist.isEmpty() ? QStringLiteral("Unknown Artist") : artist;
    const QString album = plainText(grabber.TrackAlbum());
    row.record.Album = album.isEmpty() ? QStringLiteral("Unknown Album") : album;
    row.time =
        formatTrackTime(grabber.TrackLength1(), grabber.TrackLength2(), grabber.TrackLength3());
    row.sectors = grabber.trackSectors();
    row.record.Year = plainText(grabber.TrackYear());
    row.record.Genre = plainText(grabber.TrackGenre());
    row.record.Comment = comment;
    return row;
}
