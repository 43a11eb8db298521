#pragma once

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
} // namespace FreeDBStatus

/// A disc as the lookup sees it: where each track starts and where the disc ends, in frames (75
/// a second) from the start of the disc, the 2-second lead-in included.
struct FreeDBDisc
{
    QList<int> trackOffsets; // every track, data tracks included
    int leadOut = 0;

    friend bool operator==(const FreeDBDisc&, const FreeDBDisc&) = default;
};

/// One track of a looked-up entry.
struct FreeDBTrack
{
    QString title;
    QString artist; // empty: the disc's artist
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
