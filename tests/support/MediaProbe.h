#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <vector>

/// Lets GoogleTest print texts readably in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

/// What ffprobe reports about the first audio stream of a file.
struct MediaInfo
{
    QString formatName;   // container: "wav", "mp3", "ogg", "asf"
    QString codecName;    // "pcm_s16le", "mp3", "vorbis", "wmav2", ...
    QString sampleFormat; // "s16", "u8", "s32", "fltp", ...
    int sampleRate = 0;
    int channels = 0;
    double duration = 0;      // seconds, as the container tells
    qint64 streamBitRate = 0; // bit/s from the stream header; 0 when absent
    qint64 packetBytes = 0;   // sum of the sizes of all audio packets
    int packetCount = 0;

    /// The bitrate the packets make over the duration, in kbps.
    double measuredKbps() const { return duration > 0 ? packetBytes * 8 / duration / 1000 : 0; }
};

/// Runs ffmpeg and ffprobe, the outside tools that make test audio and check what the program
/// wrote.
namespace MediaProbe {

using TagList = QList<QPair<QString, QString>>;

/// Encodes one second of a 440 Hz sine into path; outputArguments (codec, metadata, muxer
/// options) go in front of the output name. True when ffmpeg succeeded.
bool makeSine(const QString& path, const QStringList& outputArguments);

/// The tags ffprobe lists, in its order (those of the streams, then those of the container),
/// with their keys as stored.
TagList tags(const QString& path);

/// The value of the first tag named key (compared without case); a null string when none is.
QString tag(const TagList& tags, const QString& key);

/// The decoded audio as signed 16-bit samples. errors receives what ffmpeg reported as errors.
QByteArray decodeBytes(const QString& path, QString* errors = nullptr);

/// nullopt when ffprobe cannot read the file or it has no audio stream.
std::optional<MediaInfo> probe(const QString& path);

/// The decoded audio as interleaved signed 16-bit samples, at the file's own sample rate and
/// channel count; empty when ffmpeg cannot decode the file.
std::vector<std::int16_t> decode(const QString& path);

/// Interleaved 16-bit stereo 44100 Hz samples converted by ffmpeg to rate and channels: the
/// reference a lossy file is compared with.
std::vector<std::int16_t> convertCdAudio(std::span<const std::int16_t> samples, int rate,
                                         int channels);

/// What ffmpeg's EBU R128 meter (the ebur128 filter) measures over the decoded audio of files,
/// joined in their order: the integrated loudness in LUFS and the largest sample peak.
struct Loudness
{
    double integrated = 0;
    double samplePeak = 0;
};
std::optional<Loudness> loudness(const QStringList& files);

/// How alike two interleaved signals are: the smallest over the channels of the normalised
/// correlation at the best alignment within maxLag frames (codecs add delay). 1 is identical in
/// shape.
double similarity(std::span<const std::int16_t> reference, std::span<const std::int16_t> decoded,
                  int channels, int maxLag);

} // namespace MediaProbe
