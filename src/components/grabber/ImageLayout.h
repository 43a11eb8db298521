#pragma once

#include "DiscToc.h"
#include "TrackTexts.h"

#include <QList>
#include <QString>

/// One file a disc image names, as opened: where its audio (or data) lies and how long it is.
struct ImageFile
{
    enum class Format {
        RawLittleEndian, // a cue sheet's BINARY file, a TOC's audio file with SWAP, data files
        RawBigEndian,    // a cue sheet's MOTOROLA file, a TOC's raw audio file
        Wave,            // RIFF/WAVE, 44100 Hz 16-bit stereo PCM
        Flac             // FLAC, 44100 Hz 16-bit stereo
    };

    QString path; // absolute
    Format format = Format::RawLittleEndian;
    qint64 dataOffset = 0; // bytes before the audio: a WAVE file's header; 0 for the others
    qint64 bytes = 0;      // bytes of audio or data from dataOffset on (FLAC: 4 a decoded frame)

    qint64 frames() const { return bytes / 4; }
};

/// A stretch of the disc's audio taken from one file. Frames are stereo sample pairs, 588 a
/// sector, counted from the disc's sector 0.
struct ImageExtent
{
    qint64 firstFrame = 0;
    qint64 frames = 0;
    int file = 0;         // index into ImageLayout::files
    qint64 fileFrame = 0; // the first frame in the file's audio; may lie past its end
};

/// The CD-Text of the disc or of one track, as a sheet gives it.
struct SheetTexts
{
    QString title;
    QString performer;
    QString songwriter;
};

/// A disc image as a drive would present the disc: its table of contents with the tracks where
/// they lie on the pressed disc, its texts, and where each stretch of audio comes from.
struct ImageLayout
{
    DiscToc toc;
    QList<ImageFile> files;
    QList<ImageExtent> extents; // ordered, not overlapping; audio no extent covers is silence
    SheetTexts discTexts;
    QList<SheetTexts> trackTexts; // one per entry of toc.tracks
    QString genre;
    QString date;
    QString comment;
    QString discId;

    /// The grabber's texts of each audio track: its title, its performer or the disc's, the disc
    /// title as album, genre and year. Empty when the sheet has no texts at all.
    QList<TrackTexts> audioTrackTexts() const;
};

/// Builds an ImageLayout from a sheet read from start to end: the sheet's reader places tracks,
/// index marks and stretches of audio, silence and data one after the other, and the builder
/// turns them into the disc's layout. Throws ComponentError (naming the sheet and line) where a
/// sheet asks for something no disc can hold.
class ImageLayoutBuilder final
{
public:
    static constexpr int FramesPerSector = 588;
    /// A multi-session (Enhanced) CD leaves the first session's lead-out (6750 sectors), the
    /// second's lead-in (4500) and its first track's pregap (150) between its audio and data.
    static constexpr int SessionGapSectors = 11400;
    /// Longer than any CD with both its sessions.
    static constexpr qint64 MaxDiscFrames = qint64{200} * 60 * 75 * FramesPerSector;
    static constexpr int MaxTracks = 99;

    explicit ImageLayoutBuilder(QString sheet) : m_sheet(std::move(sheet)) {}

    /// Errors name the sheet and this line from now on.
    void setLine(int line) { m_line = line; }
    [[noreturn]] void fail(const QString& what) const;

    /// Starts a track; its stretches follow. number: the sheet's track number.
    void beginTrack(int number, bool audio);
    /// The current track's pregap starts here (INDEX 00, a cue sheet's PREGAP, a TOC track's
    /// start); by default it starts at its INDEX 01.
    void markTrackStart();
    /// The current track's INDEX 01 is at frame (by default here); it must lie on a sector.
    void markIndex01();
    void markIndex01At(qint64 frame);

    int addFile(const ImageFile& file);
    const ImageFile& file(int index) const { return m_layout.files.at(index); }
    /// frames of the file's audio from fileFrame on; what lies past the file's end cannot be
    /// read later.
    void audio(int file, qint64 fileFrame, qint64 frames);
    void silence(qint64 frames);
    /// Data sectors: counted in the layout, never read as audio.
    void data(qint64 frames);
    void padToSector();

    qint64 position() const { return m_position; }
    qint64 trackStartFrame() const;
    bool inTrack() const { return !m_tracks.isEmpty(); }
    bool currentTrackIsAudio() const { return m_tracks.back().toc.audio; }

    /// The current track's codes and texts.
    TocTrack& currentTrack() { return m_tracks.back().toc; }
    SheetTexts& currentTexts() { return m_tracks.back().texts; }
    ImageLayout& layout() { return m_layout; }

    /// The layout, its tracks placed: INDEX 01 to the next INDEX 01, the lead-out after the last
    /// stretch, and a data session after the audio tracks moved where a pressed disc has it.
    ImageLayout finish();

private:
    struct Track
    {
        TocTrack toc;
        SheetTexts texts;
        qint64 start = -1;   // frame of the pregap's start
        qint64 index01 = -1; // frame of INDEX 01
        int line = 0;
    };

    void advance(qint64 frames);

    QString m_sheet;
    int m_line = 0;
    qint64 m_position = 0;
    QList<Track> m_tracks;
    ImageLayout m_layout;
};

/// "The disc image S, line N: what." for errors in a sheet.
[[noreturn]] void throwSheetError(const QString& sheet, int line, const QString& what);
