#include "ImageFiles.h"

#include "FlacDecoder.h"
#include "base/ComponentError.h"
#include "base/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

static_assert(std::endian::native == std::endian::little, "CD audio is read as little-endian");

constexpr unsigned CdRate = 44100;
/// A WAVE file's chunks before its audio: more than any writer puts there.
constexpr int MaxWaveChunks = 1000;

UniqueFd openForReading(const QString& path)
{
    // O_NONBLOCK: a FIFO put in the file's place is never waited on.
    UniqueFd fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat status
    {
    };
    if (fd.isValid() && (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)))
        fd.reset();
    return fd;
}

/// Reads exactly size bytes at offset; fewer only where the file ends. -1 on an error.
qint64 readAt(int fd, void* buffer, qint64 size, qint64 offset)
{
    qint64 done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < size) {
        const ssize_t got =
            ::pread(fd, bytes + done, static_cast<std::size_t>(size - done), offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

struct WaveFormat
{
    unsigned tag = 0;
    unsigned channels = 0;
    unsigned rate = 0;
    unsigned bits = 0;
};

QString describeFormat(const QString& kind, unsigned rate, unsigned bits, unsigned channels)
{
    return QStringLiteral("a %1 file of %2 Hz, %3 bits, %4 channel(s); only 44100 Hz 16-bit stereo "
                          "audio can be read")
        .arg(kind)
        .arg(rate)
        .arg(bits)
        .arg(channels);
}

bool isCdAudio(unsigned rate, unsigned bits, unsigned channels)
{
    return rate == CdRate && bits == 16 && channels == 2;
}

WaveFormat parseFmt(const unsigned char* body, qint64 size)
{
    WaveFormat format;
    if (size < 16)
        return format;
    format.tag = qFromLittleEndian<quint16>(body);
    format.channels = qFromLittleEndian<quint16>(body + 2);
    format.rate = qFromLittleEndian<quint32>(body + 4);
    format.bits = qFromLittleEndian<quint16>(body + 14);
    // WAVE_FORMAT_EXTENSIBLE names its real format in its sub-format's first two bytes.
    if (format.tag == 0xFFFE && size >= 26)
        format.tag = qFromLittleEndian<quint16>(body + 24);
    return format;
}

} // namespace

QString resolveImageFile(const QString& sheet, const QString& name)
{
    QString written = name;
    written.replace(u'\\', u'/');
    const QDir folder = QFileInfo(sheet).absoluteDir();
    const QString named = QDir::cleanPath(folder.absoluteFilePath(written));
    if (QFileInfo::exists(named))
        return named;
    const QString base = written.section(u'/', -1);
    if (base.isEmpty())
        return named;
    if (QFileInfo::exists(folder.filePath(base)))
        return QDir::cleanPath(folder.filePath(base));
    // Names are compared as written: a name may hold what a name filter takes for wildcards.
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(base, Qt::CaseInsensitive) == 0)
            return QDir::cleanPath(folder.filePath(entry));
    }
    return named;
}

ImageFileOpener::ImageFileOpener(QString sheet, ImageLayoutBuilder& builder)
    : m_sheet(std::move(sheet)), m_builder(builder)
{
}

int ImageFileOpener::open(const QString& name, SheetFileType type, qint64 offset)
{
    const QString path = resolveImageFile(m_sheet, name);
    const QString key =
        path + u'\n' + QString::number(static_cast<int>(type)) + u'\n' + QString::number(offset);
    if (const auto known = m_opened.constFind(key); known != m_opened.constEnd())
        return known.value();
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        throw ComponentError(
            QStringLiteral("The disc image %1 names %2, which does not exist.").arg(m_sheet, path));
    // Only the type is looked at: a FIFO is never opened, so nothing waits for a writer.
    if (!S_ISREG(status.st_mode))
        throw ComponentError(
            QStringLiteral("The disc image %1 names %2, which is not a regular file.")
                .arg(m_sheet, path));
    ImageFile file = probe(path, type);
    if (file.format == ImageFile::Format::Flac && offset != 0)
        m_builder.fail(QStringLiteral("%1 is a FLAC file, which has no byte offsets").arg(path));
    file.dataOffset += offset;
    file.bytes = std::max<qint64>(0, file.bytes - offset);
    const int index = m_builder.addFile(file);
    m_opened.insert(key, index);
    return index;
}

ImageFile ImageFileOpener::probe(const QString& path, SheetFileType type) const
{
    const UniqueFd fd = openForReading(path);
    if (!fd.isValid())
        m_builder.fail(QStringLiteral("cannot read %1: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat status
    {
    };
    ::fstat(fd.get(), &status);
    const qint64 size = status.st_size;
    ImageFile file{path, ImageFile::Format::RawLittleEndian, 0, size};
    if (type == SheetFileType::Binary || type == SheetFileType::Motorola) {
        if (type == SheetFileType::Motorola)
            file.format = ImageFile::Format::RawBigEndian;
        return file;
    }
    unsigned char magic[12] = {};
    const qint64 got = readAt(fd.get(), magic, sizeof magic, 0);
    const bool wave =
        got == 12 && std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "WAVE", 4) == 0;
    // A FLAC stream may follow an ID3v2 tag, which libFLAC skips; a TOC's raw samples may start
    // with those bytes too.
    const bool flac =
        got >= 4 && (std::memcmp(magic, "fLaC", 4) == 0 ||
                     (type == SheetFileType::Audio && std::memcmp(magic, "ID3", 3) == 0));
    const bool namedWave = path.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive);
    if (wave || (namedWave && type != SheetFileType::Audio)) {
        file.format = ImageFile::Format::Wave;
        qint64 at = 12;
        WaveFormat format;
        bool haveFormat = false;
        for (int chunk = 0; chunk < MaxWaveChunks && at + 8 <= size; ++chunk) {
            unsigned char header[8];
            if (readAt(fd.get(), header, 8, at) != 8)
                break;
            const qint64 chunkSize = qFromLittleEndian<quint32>(header + 4);
            const qint64 body = at + 8;
            if (std::memcmp(header, "fmt ", 4) == 0) {
                unsigned char fmt[40] = {};
                const qint64 length = std::min<qint64>(chunkSize, sizeof fmt);
                haveFormat = readAt(fd.get(), fmt, length, body) == length;
                format = parseFmt(fmt, length);
            } else if (std::memcmp(header, "data", 4) == 0) {
                file.dataOffset = body;
                // Writers that stream leave the size open (0 or all ones): the file's end.
                file.bytes = chunkSize == 0 || chunkSize == 0xFFFFFFFF ? size - body : chunkSize;
                if (haveFormat)
                    break;
            }
            at = body + chunkSize + (chunkSize & 1);
        }
        if (!haveFormat || file.dataOffset == 0)
            m_builder.fail(QStringLiteral("%1 is no readable WAVE file (its format or its audio is "
                                          "missing)")
                               .arg(path));
        if (format.tag != 1 || !isCdAudio(format.rate, format.bits, format.channels))
            m_builder.fail(path + QStringLiteral(" is ") +
                           describeFormat(format.tag == 1 ? QStringLiteral("WAVE")
                                                          : QStringLiteral("compressed WAVE"),
                                          format.rate, format.bits, format.channels));
        return file;
    }
    if (flac) {
        file.format = ImageFile::Format::Flac;
        FlacDecoder::Format format;
        quint64 frames = 0;
        QString problem;
        try {
            FlacDecoder decoder(path);
            format = decoder.format();
            if (isCdAudio(format.sampleRate, format.bitsPerSample, format.channels))
                frames = format.frames > 0 ? format.frames : decoder.countFrames();
        } catch (const ComponentError& error) {
            problem = error.message();
        }
        if (!problem.isEmpty())
            m_builder.fail(QStringLiteral("%1 cannot be read as FLAC: %2").arg(path, problem));
        if (!isCdAudio(format.sampleRate, format.bitsPerSample, format.channels))
            m_builder.fail(path + QStringLiteral(" is ") +
                           describeFormat(QStringLiteral("FLAC"), format.sampleRate,
                                          format.bitsPerSample, format.channels));
        file.bytes =
            static_cast<qint64>(std::min<quint64>(frames, ImageLayoutBuilder::MaxDiscFrames)) * 4;
        return file;
    }
    if (type == SheetFileType::Audio)
        m_builder.fail(QStringLiteral("%1 is neither a WAVE nor a FLAC file").arg(path));
    if (type == SheetFileType::TocAudio)
        file.format = ImageFile::Format::RawBigEndian;
    return file;
}

namespace {

class RawFileReader final : public ImageFileReader
{
public:
    RawFileReader(UniqueFd fd, const ImageFile& file) : m_fd(std::move(fd)), m_file(file) {}

    qint64 read(qint64 from, qint64 count, std::int16_t* out) override
    {
        const qint64 frames = std::clamp<qint64>(std::min(count, m_file.frames() - from), 0, count);
        if (from < 0 || frames == 0)
            return 0;
        const qint64 got = readAt(m_fd.get(), out, frames * 4, m_file.dataOffset + from * 4);
        if (got < 0)
            return 0;
        const qint64 whole = got / 4;
        if (m_file.format == ImageFile::Format::RawBigEndian) {
            for (qint64 i = 0; i < whole * 2; ++i)
                out[i] = static_cast<std::int16_t>(qFromBigEndian<quint16>(&out[i]));
        }
        return whole;
    }

private:
    UniqueFd m_fd;
    ImageFile m_file;
};

class FlacFileReader final : public ImageFileReader
{
public:
    FlacFileReader(const ImageFile& file) : m_decoder(file.path), m_frames(file.frames()) {}

    qint64 read(qint64 from, qint64 count, std::int16_t* out) override
    {
        return m_decoder.read(from, std::clamp<qint64>(m_frames - from, 0, count), out);
    }

private:
    FlacDecoder m_decoder;
    qint64 m_frames;
};

} // namespace

std::unique_ptr<ImageFileReader> openImageFileReader(const ImageFile& file)
{
    if (file.format == ImageFile::Format::Flac) {
        try {
            return std::make_unique<FlacFileReader>(file);
        } catch (const ComponentError&) {
            return nullptr;
        }
    }
    UniqueFd fd = openForReading(file.path);
    if (!fd.isValid())
        return nullptr;
    return std::make_unique<RawFileReader>(std::move(fd), file);
}
