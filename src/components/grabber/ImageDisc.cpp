#include "ImageDisc.h"

#include "CueSheet.h"
#include "SheetText.h"
#include "TocSheet.h"
#include "base/ComponentError.h"
#include "base/RegularFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int FramesPerSector = ImageLayoutBuilder::FramesPerSector;
constexpr int SectorBytes = FramesPerSector * 4;

} // namespace

ImageDisc::ImageDisc(ImageLayout layout)
    : m_layout(std::move(layout)), m_readers(static_cast<std::size_t>(m_layout.files.size()))
{
}

bool ImageDisc::readAudio(int first, int count, std::uint8_t* out)
{
    if (count <= 0)
        return true;
    std::memset(out, 0, static_cast<std::size_t>(count) * SectorBytes);
    if (first < 0 || first > readableEnd() - count)
        return false;
    const qint64 from = qint64{first} * FramesPerSector;
    const qint64 to = from + qint64{count} * FramesPerSector;
    auto* samples = reinterpret_cast<std::int16_t*>(out);
    const QList<ImageExtent>& extents = m_layout.extents;
    auto extent = std::upper_bound(
        extents.begin(), extents.end(), from,
        [](qint64 frame, const ImageExtent& e) { return frame < e.firstFrame + e.frames; });
    bool complete = true;
    for (; extent != extents.end() && extent->firstFrame < to; ++extent) {
        const qint64 begin = std::max(from, extent->firstFrame);
        const qint64 end = std::min(to, extent->firstFrame + extent->frames);
        complete = readExtent(*extent, begin - extent->firstFrame, end - begin,
                              samples + 2 * (begin - from)) &&
                   complete;
    }
    return complete;
}

bool ImageDisc::readExtent(const ImageExtent& extent, qint64 from, qint64 count, std::int16_t* out)
{
    std::unique_ptr<ImageFileReader>& reader = m_readers.at(static_cast<std::size_t>(extent.file));
    // A file that went away may be back at the next read.
    if (!reader)
        reader = openImageFileReader(m_layout.files.at(extent.file));
    return reader && reader->read(extent.fileFrame + from, count, out) == count;
}

std::unique_ptr<ImageDisc> openImageDisc(const QString& path, const QString& kind)
{
    const RegularFileContents sheet = readRegularFile(path, MaxSheetBytes);
    switch (sheet.status) {
    case RegularFileContents::Status::Read:
        break;
    case RegularFileContents::Status::Missing:
        return nullptr;
    case RegularFileContents::Status::NotRegular:
        throw ComponentError(QStringLiteral("The disc image %1 is not a regular file.").arg(path));
    case RegularFileContents::Status::TooLarge:
    case RegularFileContents::Status::Unreadable:
        throw ComponentError(QStringLiteral("Cannot read the disc image: ") + sheet.error + u'.');
    }
    return std::make_unique<ImageDisc>(kind == u"TOC" ? readTocFile(path, sheet.bytes)
                                                      : readCueSheet(path, sheet.bytes));
}
