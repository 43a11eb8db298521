#include "components/audiofile/OutputFormat.h"

#include "base/ComponentError.h"
#include "components/audiofile/Mp3Writer.h"
#include "components/audiofile/WmaWriter.h"

namespace {

template <class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

[[noreturn]] void noFormat()
{
    throw ComponentError(QStringLiteral("No output format has been chosen"));
}

} // namespace

void checkFormat(const OutputFormat& format)
{
    std::visit(Overloaded{[](std::monostate) { noFormat(); },
                          [](const WaveFormat& f) { checkWaveFormat(f); },
                          [](const LameSettings& s) { checkLameSettings(s); },
                          [](const VorbisFormat& f) { checkVorbisFormat(f); },
                          [](const WmaFormats::Format& f) { checkWmaFormat(f); },
                          [](const FlacFormat& f) { checkFlacFormat(f); },
                          [](const OpusFormat& f) { checkOpusFormat(f); },
                          [](const AacFormat& f) { checkAacFormat(f); }},
               format);
}

std::unique_ptr<AudioWriter> openWriter(const OutputFormat& format, const QString& path)
{
    return std::visit(
        Overloaded{[](std::monostate) -> std::unique_ptr<AudioWriter> { noFormat(); },
                   [&](const WaveFormat& f) { return openWavWriter(f, path); },
                   [&](const LameSettings& s) { return openMp3Writer(s, path); },
                   [&](const VorbisFormat& f) { return openVorbisWriter(f, path); },
                   [&](const WmaFormats::Format& f) { return openWmaWriter(f, path); },
                   [&](const FlacFormat& f) { return openFlacWriter(f, path); },
                   [&](const OpusFormat& f) { return openOpusWriter(f, path); },
                   [&](const AacFormat& f) { return openAacWriter(f, path); }},
        format);
}
