#pragma once

#include "Disc.h"
#include "ImageFiles.h"
#include "ImageLayout.h"

#include <QString>

#include <memory>
#include <vector>

/// A disc image read by the grabber's own reader: a cue sheet or a cdrdao TOC file and the
/// files they name. A stretch a file should hold but does not (a short or shrinking file)
/// cannot be read; pregaps and gaps the image does not hold are digital silence.
class ImageDisc final : public Disc
{
public:
    explicit ImageDisc(ImageLayout layout);

    DiscToc readToc() override { return m_layout.toc; }
    void readDiscCodes(DiscToc&) override {}
    QList<TrackTexts> readTexts(const QList<TocTrack>&) override
    {
        return m_layout.audioTrackTexts();
    }
    bool readAudio(int first, int count, std::uint8_t* out) override;
    int readableEnd() const override { return m_layout.toc.leadOut; }

    const ImageLayout& layout() const { return m_layout; }

private:
    /// Reads the extent's frames [from, from + count) into out; false when some are missing.
    bool readExtent(const ImageExtent& extent, qint64 from, qint64 count, std::int16_t* out);

    ImageLayout m_layout;
    std::vector<std::unique_ptr<ImageFileReader>> m_readers; // by file, opened when first read
};

/// Reads the sheet at path, a cue sheet or (kind "TOC") a cdrdao TOC file, with the files it
/// names. Throws ComponentError saying what is wrong, naming the sheet and, for a fault in it,
/// the line.
std::unique_ptr<ImageDisc> openImageDisc(const QString& path, const QString& kind);
