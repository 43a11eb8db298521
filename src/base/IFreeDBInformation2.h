#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

/// The statuses a disc lookup reports, in the order they come.
namespace FreeDBStatus {
inline constexpr int Connecting = 1;
inline constexpr int Querying = 2;
inline constexpr int Loaded = 3;
inline constexpr int ConnectionFailed = -1; // refused, timed out, an HTTP or a server error
inline constexpr int NoEntry = -2;          // no entry, or none that could be used
// A MusicBrainz lookup that follows (or replaces) the CDDB one reports these.
inline constexpr int MusicBrainzQuerying = 4;
inline constexpr int MusicBrainzLoaded = 5;
inline constexpr int MusicBrainzNoRelease = -3;
inline constexpr int MusicBrainzFailed = -4;
/// Whether a lookup ends with status.
inline constexpr bool isFinal(int status)
{
    return status == Loaded || status == MusicBrainzLoaded || status < 0;
}
/// Whether a lookup that ends with status loaded an entry.
inline constexpr bool isLoaded(int status)
{
    return status == Loaded || status == MusicBrainzLoaded;
}
} // namespace FreeDBStatus

/// A disc as the lookup sees it: where each track starts and where the disc ends, in frames (75
/// a second) from the start of the disc, the 2-second lead-in included.
struct FreeDBDisc
{
    FreeDBDisc() = default;
    FreeDBDisc(QList<int> offsets, int leadOutFrame, QList<bool> data = {})
        : trackOffsets(std::move(offsets)), leadOut(leadOutFrame), dataTracks(std::move(data))
    {
    }

    QList<int> trackOffsets; // every track, data tracks included
    int leadOut = 0;
    QList<bool> dataTracks; // one per track when known: true for a data track

    friend bool operator==(const FreeDBDisc&, const FreeDBDisc&) = default;
};

/// One track of a looked-up entry.
struct FreeDBTrack
{
    QString title;
    QString artist;      // empty: the disc's artist
    QString recordingId; // MusicBrainz identifiers, when the entry came from there
    QString artistId;
};

/// A looked-up entry, its texts cleaned of control characters and of overlong lengths.
struct FreeDBEntry
{
    FreeDBDisc disc; // the disc that was looked up
    QString discId;  // 8 hexadecimal digits
    QString artist;
    QString album;
    QString year;
    QString genre;
    QList<FreeDBTrack> tracks; // one per track of the disc that was looked up, in order
    // From MusicBrainz only: the identifiers, the disc's place in a set, the front cover.
    QString releaseId;
    QString releaseGroupId;
    QString albumArtistId;
    int discNumber = 0; // 0: not part of a set of several discs
    int discTotal = 0;
    QByteArray cover; // a JPEG or PNG image that was checked, or empty
};

/// Looks discs up. Every call returns at once; the statuses follow on the object's thread, each
/// query's in order, queries one after the other.
class IFreeDBInformation2 : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~IFreeDBInformation2() override = default;

    /// Starts a lookup of disc.
    virtual void query(const FreeDBDisc& disc) = 0;

signals:
    /// One of FreeDBStatus.
    void status(int status);
    /// The entry of a lookup that succeeded; comes just before its status Loaded.
    void entryLoaded(const FreeDBEntry& entry);
    /// A line for the lookup's log beyond the statuses (other matches, why a server refused).
    void logLine(const QString& line);
};
