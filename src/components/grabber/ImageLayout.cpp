#include "ImageLayout.h"

#include "base/ComponentError.h"

#include <algorithm>

void throwSheetError(const QString& sheet, int line, const QString& what)
{
    // What the sheet says may hold control characters, which a terminal would act on.
    QString said = what;
    for (QChar& c : said) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    throw ComponentError(
        QStringLiteral("The disc image %1, line %2: %3.").arg(sheet).arg(line).arg(said));
}

QList<TrackTexts> ImageLayout::audioTrackTexts() const
{
    const bool anyTrackText =
        std::any_of(trackTexts.begin(), trackTexts.end(), [](const SheetTexts& t) {
            return !t.title.isEmpty() || !t.performer.isEmpty();
        });
    if (!anyTrackText && discTexts.title.isEmpty() && discTexts.performer.isEmpty() &&
        genre.isEmpty() && date.isEmpty())
        return {};
    // A year is what a date starts with ("1999", "1999-05-01"); anything else is kept whole.
    QString year = date.trimmed();
    if (year.size() > 4 && year.left(4).toInt() > 0 && !year.at(4).isDigit())
        year = year.left(4);
    QList<TrackTexts> texts;
    for (qsizetype i = 0; i < toc.tracks.size(); ++i) {
        if (!toc.tracks.at(i).audio)
            continue;
        const SheetTexts& own = trackTexts.at(i);
        texts.append({own.title, own.performer.isEmpty() ? discTexts.performer : own.performer,
                      discTexts.title, genre, year, discTexts.performer});
    }
    return texts;
}

void ImageLayoutBuilder::fail(const QString& what) const
{
    throwSheetError(m_sheet, m_line, what);
}

void ImageLayoutBuilder::beginTrack(int number, bool audio)
{
    if (m_tracks.size() >= MaxTracks)
        fail(QStringLiteral("a disc holds at most %1 tracks").arg(MaxTracks));
    Track track;
    track.toc.number = number;
    track.toc.audio = audio;
    track.line = m_line;
    m_tracks.append(track);
}

void ImageLayoutBuilder::markTrackStart()
{
    if (m_tracks.back().start < 0)
        m_tracks.back().start = m_position;
}

void ImageLayoutBuilder::markIndex01()
{
    markIndex01At(m_position);
}

void ImageLayoutBuilder::markIndex01At(qint64 frame)
{
    Track& track = m_tracks.back();
    if (frame % FramesPerSector != 0)
        fail(QStringLiteral("INDEX 01 of track %1 does not start on a sector")
                 .arg(track.toc.number));
    track.index01 = frame;
    if (track.start < 0 || track.start > frame)
        track.start = frame;
}

qint64 ImageLayoutBuilder::trackStartFrame() const
{
    const Track& track = m_tracks.back();
    return track.start >= 0 ? track.start : m_position;
}

int ImageLayoutBuilder::addFile(const ImageFile& file)
{
    m_layout.files.append(file);
    return static_cast<int>(m_layout.files.size() - 1);
}

void ImageLayoutBuilder::advance(qint64 frames)
{
    if (frames < 0 || frames > MaxDiscFrames - m_position)
        fail(QStringLiteral("the image would be longer than any CD"));
    m_position += frames;
}

void ImageLayoutBuilder::audio(int file, qint64 fileFrame, qint64 frames)
{
    if (frames <= 0)
        return;
    const qint64 at = m_position;
    advance(frames);
    // A stretch that goes on where the last one ended extends it.
    if (!m_layout.extents.isEmpty()) {
        ImageExtent& last = m_layout.extents.back();
        if (last.file == file && last.firstFrame + last.frames == at &&
            last.fileFrame + last.frames == fileFrame) {
            last.frames += frames;
            return;
        }
    }
    m_layout.extents.append({at, frames, file, fileFrame});
}

void ImageLayoutBuilder::silence(qint64 frames)
{
    advance(frames);
}

void ImageLayoutBuilder::data(qint64 frames)
{
    advance(frames);
}

void ImageLayoutBuilder::padToSector()
{
    advance((FramesPerSector - m_position % FramesPerSector) % FramesPerSector);
}

ImageLayout ImageLayoutBuilder::finish()
{
    padToSector();
    if (m_tracks.isEmpty())
        fail(QStringLiteral("the sheet names no track"));
    QList<TocTrack> tracks;
    QList<qint64> starts;
    for (const Track& track : std::as_const(m_tracks)) {
        if (track.index01 < 0)
            throwSheetError(m_sheet, track.line,
                            QStringLiteral("track %1 has no INDEX 01").arg(track.toc.number));
        // Whatever lies before the first track's INDEX 01 is its pregap.
        const qint64 start = tracks.isEmpty() ? 0 : track.start;
        TocTrack toc = track.toc;
        toc.firstSector = static_cast<int>(track.index01 / FramesPerSector);
        toc.pregapSectors = static_cast<int>((track.index01 - start) / FramesPerSector);
        tracks.append(toc);
        starts.append(start);
    }
    int leadOut = static_cast<int>(m_position / FramesPerSector);

    // Audio tracks followed only by data tracks: an Enhanced CD, whose data session starts
    // SessionGapSectors after the audio session's end (where the first data track's own
    // stretch begins in the image).
    qsizetype lastAudio = tracks.size() - 1;
    while (lastAudio >= 0 && !tracks.at(lastAudio).audio)
        --lastAudio;
    int audioEnd = leadOut;
    if (lastAudio >= 0 && lastAudio + 1 < tracks.size()) {
        audioEnd = static_cast<int>(starts.at(lastAudio + 1) / FramesPerSector);
        const int shift =
            std::max(0, audioEnd + SessionGapSectors - tracks.at(lastAudio + 1).firstSector);
        for (qsizetype i = lastAudio + 1; i < tracks.size(); ++i)
            tracks[i].firstSector += shift;
        leadOut += shift;
    }
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        const int end = i == lastAudio          ? audioEnd
                        : i + 1 < tracks.size() ? tracks.at(i + 1).firstSector
                                                : leadOut;
        tracks[i].sectorCount = std::max(0, end - tracks.at(i).firstSector);
    }
    m_layout.toc.tracks = tracks;
    m_layout.toc.leadOut = leadOut;
    m_layout.trackTexts.clear();
    for (const Track& track : std::as_const(m_tracks))
        m_layout.trackTexts.append(track.texts);
    return std::move(m_layout);
}
