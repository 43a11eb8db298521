#pragma once

#include "ImageLayout.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>

/// How a sheet asks for a file to be read.
enum class SheetFileType {
    Binary,         // raw little-endian samples or data sectors
    Motorola,       // raw big-endian samples
    Audio,          // a WAVE or a FLAC file, whatever its name says
    TocAudio,       // a TOC's audio file: WAVE or FLAC by its content, else raw big-endian
    TocAudioSwapped // the same with SWAP: raw little-endian
};

/// Finds the files a sheet names (relative to the sheet's folder, '\' read as a folder
/// separator) and opens each once for its format and length, adding it to the builder.
class ImageFileOpener final
{
public:
    ImageFileOpener(QString sheet, ImageLayoutBuilder& builder);

    /// The builder's index of the file name, read as type, its audio or data starting offset
    /// bytes further in (a TOC's #offset). Throws ComponentError when it does not exist, is no
    /// regular file, or holds no 44100 Hz 16-bit stereo audio where audio is asked for.
    int open(const QString& name, SheetFileType type, qint64 offset = 0);

private:
    ImageFile probe(const QString& path, SheetFileType type) const;

    QString m_sheet;
    ImageLayoutBuilder& m_builder;
    QHash<QString, int> m_opened; // by path and format
};

/// Where a sheet's file name leads: beside the sheet, or (for a sheet written on another
/// machine) the file of that name in the sheet's folder, in any letter case. A name that leads
/// nowhere gives the path it names.
QString resolveImageFile(const QString& sheet, const QString& name);

/// Reads the audio of one file of an image.
class ImageFileReader
{
public:
    virtual ~ImageFileReader() = default;
    /// Reads count frames from frame from into out (interleaved 16-bit stereo, in the machine's
    /// byte order); returns how many could be read, fewer where the file ends or fails.
    virtual qint64 read(qint64 from, qint64 count, std::int16_t* out) = 0;
};

/// A reader of file; null when it cannot be opened (any more).
std::unique_ptr<ImageFileReader> openImageFileReader(const ImageFile& file);
