#include "components/audiofile/WmaWriter.h"

#include "base/ComponentError.h"
#include "components/audiofile/FfmpegEncoder.h"

void checkWmaFormat(const WmaFormats::Format& format)
{
    if (format.kind == WmaFormats::Kind::Lossless)
        throw ComponentError(
            QStringLiteral("WMA format %1 (\"%2\") cannot be produced: there is no lossless WMA "
                           "encoder")
                .arg(format.number)
                .arg(QLatin1String(format.text)));
}

std::unique_ptr<AudioWriter> openWmaWriter(const WmaFormats::Format& format, const QString& path)
{
    checkWmaFormat(format);
    return openFfmpegWriter({"wmav2", "asf", "WMA", format.sampleRate, format.channels,
                             AV_SAMPLE_FMT_FLTP, format.encodedKbps},
                            path);
}
