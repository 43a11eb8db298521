#pragma once

#include <array>
#include <optional>
#include <vector>

/// The sample rates an MP3 file can have.
inline constexpr std::array<int, 9> Mp3SampleRates{8000,  11025, 12000, 16000, 22050,
                                                   24000, 32000, 44100, 48000};

/// One option of an MP3 command line, in the order given (later ones win, as in the LAME tool).
struct LameOption
{
    enum class Kind {
        Bitrate,        // -b kbps: constant bitrate, and the VBR minimum
        MaxBitrate,     // -B kbps: VBR maximum
        VbrQuality,     // -V 0..9.999: VBR with this quality
        Quality,        // -q 0..9, -h (2), -f (7)
        Mode,           // -m s|j|f|d|m|a (value: ChannelMode number, 0 mono)
        Preset,         // --preset: value is a LAME preset id
        MonoPreset,     // --preset phone|sw|am|voice: LAME preset id, mono
        Abr,            // --abr kbps
        VbrNew,         // --vbr-new
        VbrOld,         // --vbr-old
        Cbr,            // --cbr
        Lowpass,        // --lowpass kHz (values of 50 and above are taken as Hz)
        Highpass,       // --highpass kHz (likewise)
        Resample,       // --resample kHz (likewise)
        Crc,            // -p
        StrictIso,      // --strictly-enforce-ISO
        EnforceMinimum, // -F
        NoVbrHeader,    // -t
        NoReservoir,    // --nores
    };

    Kind kind;
    double value = 0;

    bool operator==(const LameOption&) const = default;
};

/// Everything the LAME encoder component has been given. An unset member leaves LAME's own
/// choice. See TAudioFile2LameEnc for how each value is used.
struct LameSettings
{
    // Presets chosen with ApplyPreset (1..11) and ApplyAltPreset (1..5). While one is chosen
    // (presetMode), the presets configure LAME and the individual values below are kept unused.
    bool presetMode = false;
    std::optional<int> preset;
    std::optional<int> altPreset;

    std::optional<int> bitrate;     // kbps; CBR bitrate and VBR minimum
    std::optional<int> vbrBitrate;  // kbps; VBR maximum
    std::optional<int> vbrQuality;  // 0..9
    std::optional<int> vbrMethod;   // -1 CBR, 0 default, 1 old, 2 new, 3 MTRH
    std::optional<int> channelMode; // 0 mono (ChannelCount 1), 1 stereo .. 4 dual channels
    std::optional<int> quality;     // 0..9
    std::optional<bool> writeVbrHeader;
    std::optional<bool> bitReservoir;
    std::optional<bool> allowDiffBlockTypes;
    std::optional<bool> shortBlocks;
    std::optional<int> deEmphasis; // 0 none, 1 50/15 us, 2 CCITT J.17
    std::optional<bool> strictIso;
    std::optional<bool> enforceMinBitrate;
    std::optional<int> athControl;        // 0 default, 1 only, 2 disabled, 3 short blocks
    std::optional<int> lowpassFrequency;  // Hz, -1 none of the user's
    std::optional<int> highpassFrequency; // Hz, -1 none of the user's
    std::optional<int> lowpassWidth;
    std::optional<int> highpassWidth;
    std::optional<bool> crcProtection;
    std::optional<int> sampleRate; // Hz of the MP3 file

    std::vector<LameOption> commandLine; // applied last, over presets or individual values
};
