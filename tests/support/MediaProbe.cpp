#include "support/MediaProbe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int TimeoutMs = 60000;

struct Output
{
    bool ok = false;
    QByteArray out;
    QByteArray err;
};

Output run(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(program, arguments);
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    Output output;
    if (!process.waitForFinished(TimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return output;
    }
    output.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    output.out = process.readAllStandardOutput();
    output.err = process.readAllStandardError();
    return output;
}

std::vector<std::int16_t> samplesOf(const QByteArray& bytes)
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

// Correlation of one channel of a and b, with b shifted by lag frames, over every step-th frame.
double correlation(std::span<const std::int16_t> a, std::span<const std::int16_t> b, int channels,
                   int channel, int lag, std::size_t firstFrame, std::size_t frames,
                   std::size_t step = 1)
{
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = firstFrame; i < firstFrame + frames; i += step) {
        const auto j = static_cast<std::ptrdiff_t>(i) + lag;
        if (j < 0 || static_cast<std::size_t>(j) * channels + channel >= b.size())
            continue;
        const double x = a[i * channels + channel];
        const double y = b[static_cast<std::size_t>(j) * channels + channel];
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

} // namespace

namespace MediaProbe {

bool makeSine(const QString& path, const QStringList& outputArguments)
{
    const QStringList arguments = QStringList{QStringLiteral("-v"),
                                              QStringLiteral("error"),
                                              QStringLiteral("-y"),
                                              QStringLiteral("-f"),
                                              QStringLiteral("lavfi"),
                                              QStringLiteral("-i"),
                                              QStringLiteral("sine=f=440:d=1")} +
                                  outputArguments + QStringList{path};
    return run(QStringLiteral("ffmpeg"), arguments).ok;
}

TagList tags(const QString& path)
{
    const Output output =
        run(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("stream_tags:format_tags"), QStringLiteral("-of"),
             QStringLiteral("default=noprint_wrappers=1"), path});
    TagList result;
    const QString prefix = QStringLiteral("TAG:");
    for (const QString& line : QString::fromUtf8(output.out).split(u'\n')) {
        const qsizetype equals = line.indexOf(u'=');
        if (line.startsWith(prefix) && equals > 0)
            result.append({line.mid(prefix.size(), equals - prefix.size()), line.mid(equals + 1)});
    }
    return result;
}

QString tag(const TagList& tags, const QString& key)
{
    for (const auto& [name, value] : tags) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return QString();
}

QByteArray decodeBytes(const QString& path, QString* errors)
{
    const Output output =
        run(QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
             QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
    if (errors)
        *errors = QString::fromUtf8(output.err);
    return output.ok ? output.out : QByteArray();
}

std::optional<MediaInfo> probe(const QString& path)
{
    const QByteArray json =
        run(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
             QStringLiteral("a:0"), QStringLiteral("-show_format"), QStringLiteral("-show_streams"),
             QStringLiteral("-show_entries"), QStringLiteral("packet=size"), QStringLiteral("-of"),
             QStringLiteral("json"), path})
            .out;
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const QJsonArray streams = root.value(QLatin1String("streams")).toArray();
    if (streams.isEmpty())
        return std::nullopt;
    const QJsonObject stream = streams.first().toObject();
    const QJsonObject format = root.value(QLatin1String("format")).toObject();
    auto number = [](const QJsonObject& o, const char* key) {
        return o.value(QLatin1String(key)).toString().toDouble();
    };
    MediaInfo info;
    info.formatName = format.value(QLatin1String("format_name")).toString();
    info.codecName = stream.value(QLatin1String("codec_name")).toString();
    info.sampleFormat = stream.value(QLatin1String("sample_fmt")).toString();
    info.sampleRate = static_cast<int>(number(stream, "sample_rate"));
    info.channels = stream.value(QLatin1String("channels")).toInt();
    info.duration = number(format, "duration");
    info.streamBitRate = static_cast<qint64>(number(stream, "bit_rate"));
    for (const auto& packet : root.value(QLatin1String("packets")).toArray()) {
        info.packetBytes += static_cast<qint64>(number(packet.toObject(), "size"));
        ++info.packetCount;
    }
    return info;
}

std::vector<std::int16_t> decode(const QString& path)
{
    return samplesOf(decodeBytes(path));
}

std::vector<std::int16_t> convertCdAudio(std::span<const std::int16_t> samples, int rate,
                                         int channels)
{
    const QByteArray input(reinterpret_cast<const char*>(samples.data()),
                           static_cast<qsizetype>(samples.size_bytes()));
    const Output output =
        run(QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
             QStringLiteral("s16le"), QStringLiteral("-ar"), QStringLiteral("44100"),
             QStringLiteral("-ac"), QStringLiteral("2"), QStringLiteral("-i"), QStringLiteral("-"),
             QStringLiteral("-ar"), QString::number(rate), QStringLiteral("-ac"),
             QString::number(channels), QStringLiteral("-f"), QStringLiteral("s16le"),
             QStringLiteral("-")},
            input);
    return samplesOf(output.ok ? output.out : QByteArray());
}

double similarity(std::span<const std::int16_t> reference, std::span<const std::int16_t> decoded,
                  int channels, int maxLag)
{
    const std::size_t frames = reference.size() / static_cast<std::size_t>(channels);
    if (frames < 4 * static_cast<std::size_t>(maxLag) || decoded.empty())
        return 0;
    // Find the codec's delay on a window in the middle, coarsely and then to the frame, and
    // compare everything at that delay.
    const std::size_t window = std::min<std::size_t>(frames / 2, 8192);
    const std::size_t windowStart = (frames - window) / 2;
    auto bestLagAround = [&](int centre, int reach, int step) {
        int bestLag = centre;
        double best = -2;
        for (int lag = centre - reach / step * step; lag <= centre + reach; lag += step) {
            const double c = correlation(reference, decoded, channels, 0, lag, windowStart, window,
                                         static_cast<std::size_t>(step));
            if (c > best) {
                best = c;
                bestLag = lag;
            }
        }
        return bestLag;
    };
    constexpr int Coarse = 4;
    const int bestLag = bestLagAround(bestLagAround(0, maxLag, Coarse), Coarse, 1);
    // Leave out the edges, where codecs fade in and pad.
    const std::size_t edge = static_cast<std::size_t>(maxLag);
    double worst = 1;
    for (int ch = 0; ch < channels; ++ch)
        worst = std::min(
            worst, correlation(reference, decoded, channels, ch, bestLag, edge, frames - 2 * edge));
    return worst;
}

std::optional<Loudness> loudness(const QStringList& files)
{
    QStringList arguments{QStringLiteral("-v"), QStringLiteral("error")};
    QString inputs;
    for (qsizetype i = 0; i < files.size(); ++i) {
        arguments << QStringLiteral("-i") << files[i];
        inputs += QStringLiteral("[%1:a]").arg(i);
    }
    // The meter's values after the last frame, printed with three decimals.
    arguments << QStringLiteral("-filter_complex")
              << inputs + QStringLiteral("concat=n=%1:v=0:a=1,ebur128=metadata=1:peak=sample,"
                                         "ametadata=mode=print:file=-")
                              .arg(files.size())
              << QStringLiteral("-f") << QStringLiteral("null") << QStringLiteral("-");
    const Output output = run(QStringLiteral("ffmpeg"), arguments);
    if (!output.ok)
        return std::nullopt;
    Loudness result;
    const auto valueOf = [&output](const char* key) {
        const QByteArray prefix = QByteArray("lavfi.r128.") + key + '=';
        const qsizetype at = output.out.lastIndexOf(prefix);
        return at < 0 ? std::nan("")
                      : output.out.mid(at + prefix.size()).split('\n').first().toDouble();
    };
    result.integrated = valueOf("I");
    result.samplePeak = valueOf("sample_peak");
    if (std::isnan(result.integrated) || std::isnan(result.samplePeak))
        return std::nullopt;
    return result;
}

} // namespace MediaProbe
