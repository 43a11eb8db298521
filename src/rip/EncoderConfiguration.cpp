#include "rip/EncoderConfiguration.h"

#include "base/IAudioCDGrabber2.h"
#include "base/IAudioFile2.h"
#include "base/IAudioFile2LameEnc.h"
#include "rip/EncoderTables.h"
#include "settings/SettingsFile.h"

#include <cstdlib>

namespace EncoderTables {

int position(const SettingsFile& settings, const Keys::IntKey& key, std::size_t size)
{
    const int stored = settings.read(key);
    return stored >= 0 && static_cast<std::size_t>(stored) < size ? stored : key.def;
}

int lookup(const SettingsFile& settings, const Keys::IntKey& key, std::span<const int> table)
{
    return table[static_cast<std::size_t>(position(settings, key, table.size()))];
}

} // namespace EncoderTables

namespace {

using EncoderTables::lookup;
using EncoderTables::position;

// Booleans of the components: true is -1.
int flag(bool value)
{
    return value ? -1 : 0;
}

// Entries of the dialog's fixed lists.
constexpr std::size_t Mp3ChannelModes = 5; // Mono, Stereo, Joint, Forced Joint, Dual
constexpr std::size_t CodingMethods = 5;   // None, Default, Old, New, MTRH
constexpr std::size_t AthModes = 4;        // default, only, disabled, only for short blocks
constexpr std::size_t DeEmphasisModes = 3; // none, 50/15 us, CCITT J.17
constexpr std::size_t Presets = 11;        // Phone .. R3Mix
constexpr std::size_t AltPresets = 5;      // Fast Standard .. Insane
constexpr std::size_t ChannelChoices = 2;  // Mono, Stereo
constexpr std::size_t GrabModes = 4;       // Burst, Synch, Secure, Paranoid
constexpr std::size_t ErrorActions = 3;    // Stop, Silence, Cut

int frequency(const SettingsFile& s, const Keys::IntKey& key)
{
    return lookup(s, key, EncoderTables::Frequencies);
}

int bitrate(const SettingsFile& s, const Keys::IntKey& key)
{
    return lookup(s, key, EncoderTables::Bitrates);
}

int channelCount(const SettingsFile& s, const Keys::IntKey& key)
{
    return position(s, key, ChannelChoices) + 1;
}

int filterFrequency(const SettingsFile& s, const Keys::BoolKey& on, const Keys::IntKey& hz)
{
    return s.read(on) ? s.read(hz) : -1;
}

void configureMp3Individually(const SettingsFile& s, IAudioFile2LameEnc& lame)
{
    using namespace Keys;
    lame.WriteVbrHeader(flag(s.read(Mp3Vbr::VbrHeader)));
    lame.EnforceMinBitrate(flag(s.read(Mp3Vbr::EnforceMin)));
    lame.CrcProtection(flag(s.read(Mp3Expert::Crc)));
    lame.AllowDiffBlockTypes(flag(s.read(Mp3Expert::AllowDiff)));
    lame.BitReservoir(flag(s.read(Mp3Expert::BitReservoir)));
    lame.ShortBlocks(flag(s.read(Mp3Expert::ShortBlocks)));
    lame.StrictIso(flag(s.read(Mp3Expert::Comply)));
    lame.HighpassFrequency(filterFrequency(s, Mp3Filt::HighpassOn, Mp3Filt::HighpassFreq));
    lame.LowpassFrequency(filterFrequency(s, Mp3Filt::LowpassOn, Mp3Filt::LowpassFreq));
    lame.VbrMethod(position(s, Mp3Vbr::CodingMethod, CodingMethods) - 1);
    lame.AthControl(position(s, Mp3Expert::Ath, AthModes));
    const int channel = position(s, Mp3::Channel, Mp3ChannelModes);
    if (channel == 0)
        lame.ChannelCount(1);
    else
        lame.ChannelMode(channel);
    lame.DeEmphasis(position(s, Mp3Expert::DeEmphasis, DeEmphasisModes));
    lame.Quality(s.read(Mp3::Quality));
    lame.Bitrate(bitrate(s, Mp3::Bitrate));
    lame.VbrBitrate(bitrate(s, Mp3Vbr::VbrBitrate));
    lame.HighpassWidth(s.read(Mp3Filt::HighpassWidth));
    lame.LowpassWidth(s.read(Mp3Filt::LowpassWidth));
    lame.VbrQuality(s.read(Mp3Vbr::VbrQuality));
    lame.SampleRate(frequency(s, Mp3::Frequency));
}

void configureMp3Presets(const SettingsFile& s, IAudioFile2LameEnc& lame)
{
    using namespace Keys;
    if (s.read(Mp3Prest::Preset))
        lame.ApplyPreset(position(s, Mp3Prest::PresetIndex, Presets) + 1);
    if (s.read(Mp3Prest::Alt))
        lame.ApplyAltPreset(position(s, Mp3Prest::AltIndex, AltPresets) + 1);
}

void configureMp3(const SettingsFile& s, IAudioFile2& audioFile, IAudioFile2LameEnc& lame,
                  const QString& commandLine)
{
    const bool preset = s.read(Keys::Mp3Prest::Preset);
    const bool alt = s.read(Keys::Mp3Prest::Alt);
    if (preset || alt)
        configureMp3Presets(s, lame);
    else
        configureMp3Individually(s, lame);
    if (!commandLine.isEmpty())
        lame.CommandLine(commandLine);
    audioFile.SetMp3Encoder(&lame);
}

void configureWav(const SettingsFile& s, IAudioFile2& audioFile)
{
    using namespace Keys;
    if (audioFile.IsOpen())
        audioFile.Close();
    switch (s.read(Wav::Mode)) {
    case 0: // CD quality
        audioFile.SetWaveFormat(44100, 2, 16);
        break;
    case 1: // best quality
        audioFile.SetWaveFormat(48000, 2, 32);
        break;
    case 2: // custom
        audioFile.SetWaveFormat(frequency(s, Wav::Frequency), channelCount(s, Wav::Channel),
                                lookup(s, Wav::Bit, EncoderTables::Bits));
        break;
    default: // any other mode leaves the previous format in place
        break;
    }
}

void configureWma(const SettingsFile& s, IAudioFile2& audioFile)
{
    audioFile.OptionFlag(-1);
    // The component numbers the formats from 1. A stored value outside the list (a hand-edited
    // file, or an older dialog that wrote -1 for an empty selection) stands for the default
    // format, so a bad value cannot make every later rip fail.
    audioFile.SetWmaFormat(position(s, Keys::Wma::Format, EncoderTables::WmaFormatCount) + 1);
}

void configureOgg(const SettingsFile& s, IAudioFile2& audioFile)
{
    using namespace Keys;
    const bool vbr = s.read(Ogg::Vbr);
    const bool quality = s.read(Ogg::QualityMode);
    const int rate = frequency(s, Ogg::Frequency);
    const int channels = channelCount(s, Ogg::Channel);
    if (!vbr && !quality)
        audioFile.SetOggVorbisFormat(rate, channels, bitrate(s, Ogg::Bitrate), 0, 0, -1);
    if (quality)
        audioFile.SetOggVorbisFormat(rate, channels, 0, 0, 0, s.read(Ogg::Quality));
    if (vbr)
        audioFile.SetOggVorbisFormat(rate, channels, bitrate(s, Ogg::Bitrate),
                                     bitrate(s, Ogg::MinBitrate), bitrate(s, Ogg::MaxBitrate), -1);
}

void configureFlac(const SettingsFile& s, IAudioFile2& audioFile)
{
    audioFile.SetFlacFormat(storedFlacLevel(s), s.read(Keys::Flac::Verify));
}

void configureOpus(const SettingsFile& s, IAudioFile2& audioFile)
{
    audioFile.SetOpusFormat(bitrate(s, Keys::Opus::Bitrate));
}

void configureAac(const SettingsFile& s, IAudioFile2& audioFile)
{
    audioFile.SetAacFormat(bitrate(s, Keys::Aac::Bitrate));
}

} // namespace

void configureEncoder(const SettingsFile& settings, OutputFormatNumber outputFormat,
                      IAudioFile2& audioFile, IAudioFile2LameEnc& lame, const QString& commandLine)
{
    switch (outputFormat) {
    case OutputFormatNumber::Mp3:
        configureMp3(settings, audioFile, lame, commandLine);
        break;
    case OutputFormatNumber::Wav:
        configureWav(settings, audioFile);
        break;
    case OutputFormatNumber::Wma:
        configureWma(settings, audioFile);
        break;
    case OutputFormatNumber::OggVorbis:
        configureOgg(settings, audioFile);
        break;
    case OutputFormatNumber::Flac:
        configureFlac(settings, audioFile);
        break;
    case OutputFormatNumber::Opus:
        configureOpus(settings, audioFile);
        break;
    case OutputFormatNumber::Aac:
        configureAac(settings, audioFile);
        break;
    default:
        break;
    }
}

int storedFlacLevel(const SettingsFile& settings)
{
    const int stored = settings.read(Keys::Flac::Compression);
    return stored >= 0 && stored <= 8 ? stored : Keys::Flac::Compression.def;
}

StoredGrabOptions storedGrabOptions(const SettingsFile& settings)
{
    // Format/mode and retries default to 1 here, and the settings dialog shows these when unset.
    const Keys::IntKey mode{Keys::Format::Section, Keys::Format::Mode, 1};
    const Keys::IntKey retries{Keys::Format::Section, Keys::Format::Retries, 1};
    // An offset beyond what any drive has is a typing error: no offset is safer than it.
    const int offset = settings.read(Keys::Main::ReadOffset);
    return {readModeFromValue(position(settings, mode, GrabModes)), settings.read(retries),
            position(settings, Keys::Format::Stop, ErrorActions),
            std::abs(offset) <= MaxReadOffset ? offset : 0};
}

void applyGrabOptions(const SettingsFile& settings, IAudioCDGrabber2& grabber)
{
    const StoredGrabOptions options = storedGrabOptions(settings);
    grabber.GrabMode(readModeValue(options.mode));
    grabber.ReadRetries(options.retries);
    grabber.ErrorAction(options.errorAction);
    grabber.setReadOffset(options.offset);
}
