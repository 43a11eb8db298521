#pragma once

#include <array>
#include <optional>

/// The WMA formats by number (1 .. 47), with the text the settings dialog lists for each and what
/// the audio file encodes for it (FFmpeg's wmav2 in an ASF file).
///
/// wmav2 refuses any bitrate below 24 kbps, whatever the sample rate and channels (checked for
/// every rate and channel count of the list). Formats listed below that floor are encoded at
/// 24 kbps with their own sample rate and channels. The VBR-quality formats are encoded at a fixed
/// bitrate per quality level:
///
///   Quality 98: 256 kbps    Quality 90: 192 kbps    Quality 75: 160 kbps
///   Quality 50: 128 kbps    Quality 25:  96 kbps    Quality 10:  64 kbps
///
/// "Lossless" (47) cannot be produced with wmav2; choosing it is an error, never a lossy file
/// under a lossless name.
namespace WmaFormats {

enum class Kind { ConstantBitrate, VbrQuality, Lossless };

struct Format
{
    int number;
    const char* text; // the dialog's list entry, verbatim
    int sampleRate;   // Hz
    int channels;     // 1 or 2
    int listedKbps;   // the bitrate the text names; 0 for the quality and lossless formats
    int encodedKbps;  // what wmav2 is asked for; 0 for Lossless
    Kind kind;
};

inline constexpr int FloorKbps = 24;

inline constexpr int encodedCbr(int kbps)
{
    return kbps < FloorKbps ? FloorKbps : kbps;
}

// clang-format off
inline constexpr std::array<Format, 47> All{{
    { 1, "WMA9 48KHz, 192Kbps, Stereo, CBR",   48000, 2, 192, encodedCbr(192), Kind::ConstantBitrate},
    { 2, "WMA9 48KHz, 160Kbps, Stereo, CBR",   48000, 2, 160, encodedCbr(160), Kind::ConstantBitrate},
    { 3, "WMA9 48KHz, 128Kbps, Stereo, CBR",   48000, 2, 128, encodedCbr(128), Kind::ConstantBitrate},
    { 4, "WMA9 48KHz, 96Kbps, Stereo, CBR",    48000, 2,  96, encodedCbr(96),  Kind::ConstantBitrate},
    { 5, "WMA9 48KHz, 64Kbps, Stereo, CBR",    48000, 2,  64, encodedCbr(64),  Kind::ConstantBitrate},
    { 6, "WMA9 44KHz, 320Kbps, Stereo, CBR",   44100, 2, 320, encodedCbr(320), Kind::ConstantBitrate},
    { 7, "WMA9 44KHz, 256Kbps, Stereo, CBR",   44100, 2, 256, encodedCbr(256), Kind::ConstantBitrate},
    { 8, "WMA9 44KHz, 192Kbps, Stereo, CBR",   44100, 2, 192, encodedCbr(192), Kind::ConstantBitrate},
    { 9, "WMA9 44KHz, 160Kbps, Stereo, CBR",   44100, 2, 160, encodedCbr(160), Kind::ConstantBitrate},
    {10, "WMA9 44KHz, 128Kbps, Stereo, CBR",   44100, 2, 128, encodedCbr(128), Kind::ConstantBitrate},
    {11, "WMA9 44KHz, 96Kbps, Stereo, CBR",    44100, 2,  96, encodedCbr(96),  Kind::ConstantBitrate},
    {12, "WMA9 44KHz, 80Kbps, Stereo, CBR",    44100, 2,  80, encodedCbr(80),  Kind::ConstantBitrate},
    {13, "WMA9 44KHz, 64Kbps, Stereo, CBR",    44100, 2,  64, encodedCbr(64),  Kind::ConstantBitrate},
    {14, "WMA9 44KHz, 48Kbps, Stereo, CBR",    44100, 2,  48, encodedCbr(48),  Kind::ConstantBitrate},
    {15, "WMA9 44KHz, 32Kbps, Stereo, CBR",    44100, 2,  32, encodedCbr(32),  Kind::ConstantBitrate},
    {16, "WMA9 44KHz, 48Kbps, Mono, CBR",      44100, 1,  48, encodedCbr(48),  Kind::ConstantBitrate},
    {17, "WMA9 44KHz, 32Kbps, Mono, CBR",      44100, 1,  32, encodedCbr(32),  Kind::ConstantBitrate},
    {18, "WMA9 44KHz, 20Kbps, Mono, CBR",      44100, 1,  20, encodedCbr(20),  Kind::ConstantBitrate},
    {19, "WMA9 32KHz, 48Kbps, Stereo, CBR",    32000, 2,  48, encodedCbr(48),  Kind::ConstantBitrate},
    {20, "WMA9 32KHz, 40Kbps, Stereo, CBR",    32000, 2,  40, encodedCbr(40),  Kind::ConstantBitrate},
    {21, "WMA9 32KHz, 32Kbps, Stereo, CBR",    32000, 2,  32, encodedCbr(32),  Kind::ConstantBitrate},
    {22, "WMA9 32KHz, 20Kbps, Mono, CBR",      32000, 1,  20, encodedCbr(20),  Kind::ConstantBitrate},
    {23, "WMA9 32KHz, 32Kbps, Stereo, CBR",    32000, 2,  32, encodedCbr(32),  Kind::ConstantBitrate},
    {24, "WMA9 32KHz, 22Kbps, Stereo, CBR",    32000, 2,  22, encodedCbr(22),  Kind::ConstantBitrate},
    {25, "WMA9 22KHz, 20Kbps, Stereo, CBR",    22050, 2,  20, encodedCbr(20),  Kind::ConstantBitrate},
    {26, "WMA9 22KHz, 20Kbps, Mono, CBR",      22050, 1,  20, encodedCbr(20),  Kind::ConstantBitrate},
    {27, "WMA9 22KHz, 16Kbps, Mono, CBR",      22050, 1,  16, encodedCbr(16),  Kind::ConstantBitrate},
    {28, "WMA9 16KHz, 20Kbps, Stereo, CBR",    16000, 2,  20, encodedCbr(20),  Kind::ConstantBitrate},
    {29, "WMA9 16KHz, 16Kbps, Stereo, CBR",    16000, 2,  16, encodedCbr(16),  Kind::ConstantBitrate},
    {30, "WMA9 16KHz, 16Kbps, Mono, CBR",      16000, 1,  16, encodedCbr(16),  Kind::ConstantBitrate},
    {31, "WMA9 16KHz, 12Kbps, Mono, CBR",      16000, 1,  12, encodedCbr(12),  Kind::ConstantBitrate},
    {32, "WMA9 16KHz, 10Kbps, Mono, CBR",      16000, 1,  10, encodedCbr(10),  Kind::ConstantBitrate},
    {33, "WMA9 11KHz, 10Kbps, Mono, CBR",      11025, 1,  10, encodedCbr(10),  Kind::ConstantBitrate},
    {34, "WMA9 11KHz, 8Kbps, Mono, CBR",       11025, 1,   8, encodedCbr(8),   Kind::ConstantBitrate},
    {35, "WMA9 8KHz,  12Kbps, Stereo, CBR",     8000, 2,  12, encodedCbr(12),  Kind::ConstantBitrate},
    {36, "WMA9 8KHz,  8Kbps, Mono, CBR",        8000, 1,   8, encodedCbr(8),   Kind::ConstantBitrate},
    {37, "WMA9 8KHz,  6Kbps, Mono, CBR",        8000, 1,   6, encodedCbr(6),   Kind::ConstantBitrate},
    {38, "WMA9 8KHz,  5Kbps, Mono, CBR",        8000, 1,   5, encodedCbr(5),   Kind::ConstantBitrate},
    {39, "WMA9 48KHz, Stereo, VBR Quality 98", 48000, 2,   0, 256, Kind::VbrQuality},
    {40, "WMA9 48KHz, Stereo, VBR Quality 90", 48000, 2,   0, 192, Kind::VbrQuality},
    {41, "WMA9 44KHz, Stereo, VBR Quality 98", 44100, 2,   0, 256, Kind::VbrQuality},
    {42, "WMA9 44KHz, Stereo, VBR Quality 90", 44100, 2,   0, 192, Kind::VbrQuality},
    {43, "WMA9 44KHz, Stereo, VBR Quality 75", 44100, 2,   0, 160, Kind::VbrQuality},
    {44, "WMA9 44KHz, Stereo, VBR Quality 50", 44100, 2,   0, 128, Kind::VbrQuality},
    {45, "WMA9 44KHz, Stereo, VBR Quality 25", 44100, 2,   0,  96, Kind::VbrQuality},
    {46, "WMA9 44KHz, Stereo, VBR Quality 10", 44100, 2,   0,  64, Kind::VbrQuality},
    {47, "WMA9 44KHz, Stereo, Lossless",       44100, 2,   0,   0, Kind::Lossless},
}};
// clang-format on

/// The format with this number, if the list has one.
inline constexpr std::optional<Format> byNumber(int number)
{
    if (number < 1 || number > static_cast<int>(All.size()))
        return std::nullopt;
    return All[static_cast<std::size_t>(number - 1)];
}

static_assert([] {
    for (std::size_t i = 0; i < All.size(); ++i)
        if (All[i].number != static_cast<int>(i) + 1)
            return false;
    return true;
}());

} // namespace WmaFormats
