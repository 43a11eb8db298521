#pragma once

#include "base/IAudioCDGrabber2.h"
#include "base/IFreeDBInformation2.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class BoundedFetch;
class QNetworkAccessManager;

/// A disc as the AccurateRip database files it: its audio tracks, two sums of their start
/// sectors, and the CDDB id.
struct AccurateRipDiscId
{
    int trackCount = 0;
    quint32 id1 = 0; // the audio tracks' start sectors and the lead-out, added
    quint32 id2 = 0; // the same, each multiplied by its track number (at least 1)
    quint32 cddb = 0;

    /// "dBAR-003-0000c2a4-00024a6f-1f02d103.bin".
    QString fileName() const;
    /// The file's path below the server: three folders named by the last three digits of id1.
    QString path() const;
    /// "003-0000c2a4-00024a6f-1f02d103".
    QString text() const;

    friend bool operator==(const AccurateRipDiscId&, const AccurateRipDiscId&) = default;
};

/// The disc's ids. Only its audio tracks count; the lead-out is that of the whole disc, so an
/// Enhanced CD's data session (whose start the lookups place after the gap between the
/// sessions) counts into it. The CDDB id counts every track.
AccurateRipDiscId accurateRipDiscId(const FreeDBDisc& disc);

/// One track of a pressing's entry.
struct AccurateRipTrackEntry
{
    int confidence = 0; // how many rips agreed
    quint32 checksum = 0;
    quint32 frame450 = 0;
};

/// The entry of one pressing of the disc.
struct AccurateRipPressing
{
    AccurateRipDiscId disc;
    QList<AccurateRipTrackEntry> tracks;
};

/// What the database says of a disc.
struct AccurateRipAnswer
{
    enum class Status {
        Found,    // pressings holds its entries
        Unknown,  // the database has no entry of the disc
        Failed,   // it could not be asked; message says why
        Rejected, // its file was truncated or inconsistent; message says how
    };
    Status status = Status::Failed;
    AccurateRipDiscId disc;
    QList<AccurateRipPressing> pressings;
    QString message;

    bool found() const { return status == Status::Found; }
    /// The line the rip log gives the lookup.
    QString logLine() const;
};

/// The entries of a database file for disc, or why it is rejected: a file that ends inside an
/// entry, an entry of another disc or track count, or no entry at all.
AccurateRipAnswer parseAccurateRipFile(const QByteArray& bytes, const AccurateRipDiscId& disc);

/// Fetches and reads the database file of a disc from the server of the settings (AccurateRip /
/// server, the time-out of the lookups) while the event loop runs; answered() follows once,
/// also when the database could not be asked. A 404 answer means the database does not know
/// the disc. Destroyed before it answers, it answers nobody.
class AccurateRipLookup final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccurateRipLookup)
public:
    explicit AccurateRipLookup(QObject* parent = nullptr);
    ~AccurateRipLookup() override;

    void start(const QString& settingsPath, const AccurateRipDiscId& disc);

signals:
    void answered(const AccurateRipAnswer& answer);

private:
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<BoundedFetch> m_fetch;
};

/// The same, waiting in a local event loop for the answer.
AccurateRipAnswer fetchAccurateRip(const QString& settingsPath, const AccurateRipDiscId& disc);

/// How a track's checksums compare with the database.
struct AccurateRipVerdict
{
    enum class Kind { Accurate, NotAccurate, NotPresent };
    Kind kind = Kind::NotPresent;
    int confidence = 0; // of the matching entry; for NotAccurate the best in the database
    int version = 0;    // 1 or 2: the checksum that matched

    bool accurate() const { return kind == Kind::Accurate; }
    /// "Accurately ripped (confidence 4) with the v2 checksum", "Not accurately ripped (best
    /// confidence in the database 4)", "Not present in the database".
    QString text() const;
};

/// The verdict on audio track index (0-based) with sums, against every pressing of answer; a
/// disc the database does not know gives NotPresent. nullopt when the database gave no answer.
std::optional<AccurateRipVerdict> judgeAccurateRip(const AccurateRipAnswer& answer, int index,
                                                   const AccurateRipSums& sums);

/// The verdict's text, or the text for a track that was not checked because the database gave
/// no answer.
QString accurateRipVerdictText(const std::optional<AccurateRipVerdict>& verdict);

/// A checksum as the log writes it: 8 upper-case hexadecimal digits.
QString accurateRipChecksumText(quint32 checksum);
