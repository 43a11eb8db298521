#pragma once

// Sections and keys of the settings file, with the default every reader agrees on. Where readers
// differ, the default is given at the reader and noted here.

namespace Keys {

struct IntKey
{
    const char* section;
    const char* key;
    int def;
};

struct BoolKey
{
    const char* section;
    const char* key;
    bool def;
};

struct StringKey
{
    const char* section;
    const char* key;
    const char* def;
};

namespace Main {
// Path's default is the user's music folder: see defaultOutputPath().
inline constexpr const char* Section = "Main";
inline constexpr const char* Path = "Path";
inline constexpr IntKey Driver{Section, "Driver", 0};
inline constexpr IntKey Output{Section, "Output", 0};
// A rip log and a cue sheet beside the files of every run.
inline constexpr BoolKey Log{Section, "Log", true};
// Each track read a second time and the CRCs of the two reads compared.
inline constexpr BoolKey TestCopy{Section, "TestCopy", false};
// The drive's read offset in samples, -3000 .. 3000: an image reads exactly, a drive needs its own.
inline constexpr IntKey ReadOffset{Section, "ReadOffset", 0};
// Tracks read at full speed first and again in Paranoid mode only when the AccurateRip database
// does not confirm them.
inline constexpr BoolKey Verify{Section, "Verify", false};
// ReplayGain 2.0 values measured while the tracks are written, and tagged into them.
inline constexpr BoolKey ReplayGain{Section, "ReplayGain", false};
// How a track's file is named, without its extension ("%N %T"; empty: the row's caption alone).
inline constexpr StringKey FileTemplate{Section, "FileTemplate", ""};
// A playlist (.m3u8) of the finished tracks beside them.
inline constexpr BoolKey Playlist{Section, "Playlist", true};
// The 50/15 us de-emphasis of the tracks the disc flags as pre-emphasised.
inline constexpr BoolKey RemoveEmphasis{Section, "RemoveEmphasis", false};
} // namespace Main

namespace Images {
// The disc images opened last, most recent first: Recent1 .. Recent5.
inline constexpr const char* Section = "Images";
inline constexpr int RecentCount = 5;
inline constexpr const char* RecentKeys[RecentCount] = {"Recent1", "Recent2", "Recent3", "Recent4",
                                                        "Recent5"};
} // namespace Images

namespace Format {
inline constexpr const char* Section = "Format";
// mode and retries: 1 and 1 when unset, as rips read them and the settings dialog shows them;
// the dialog's Default button sets 0 and 5.
inline constexpr const char* Mode = "mode";
inline constexpr const char* Retries = "retries";
inline constexpr IntKey Stop{Section, "stop", 0};
} // namespace Format

namespace Mp3 {
inline constexpr const char* Section = "mp3";
inline constexpr IntKey Bitrate{Section, "bitrate", 9};
inline constexpr IntKey Channel{Section, "channel", 1};
inline constexpr IntKey Frequency{Section, "frequency", 7};
inline constexpr IntKey Quality{Section, "quality", 5};
} // namespace Mp3

namespace Mp3Vbr {
inline constexpr const char* Section = "MP3VBR";
inline constexpr IntKey CodingMethod{Section, "Coding Method", 0};
inline constexpr IntKey VbrBitrate{Section, "vbr bitrate", 9};
inline constexpr IntKey VbrQuality{Section, "vbr quality", 5};
inline constexpr BoolKey VbrHeader{Section, "vbrck", true};
inline constexpr BoolKey EnforceMin{Section, "semb", false};
} // namespace Mp3Vbr

namespace Mp3Filt {
inline constexpr const char* Section = "MP3Filt";
inline constexpr BoolKey HighpassOn{Section, "chHFilt", false};
inline constexpr BoolKey LowpassOn{Section, "chLFilt", false};
inline constexpr IntKey HighpassFreq{Section, "udHFiltF", 30};
inline constexpr IntKey HighpassWidth{Section, "udHFiltW", 5};
inline constexpr IntKey LowpassFreq{Section, "udLFiltF", 15160};
inline constexpr IntKey LowpassWidth{Section, "udLFiltW", 750};
} // namespace Mp3Filt

namespace Mp3Expert {
inline constexpr const char* Section = "MP3Expert";
inline constexpr BoolKey BitReservoir{Section, "Bit", true};
inline constexpr BoolKey ShortBlocks{Section, "short", true};
inline constexpr BoolKey AllowDiff{Section, "allow", false};
inline constexpr BoolKey Comply{Section, "comply", false};
inline constexpr BoolKey Crc{Section, "crc", false};
inline constexpr IntKey Ath{Section, "ath", 0};
inline constexpr IntKey DeEmphasis{Section, "de", 0};
} // namespace Mp3Expert

namespace Mp3Prest {
inline constexpr const char* Section = "MP3Prest";
inline constexpr BoolKey Preset{Section, "preset", false};
inline constexpr BoolKey Alt{Section, "alt", false};
inline constexpr IntKey PresetIndex{Section, "rg_prest", 0};
inline constexpr IntKey AltIndex{Section, "rg_alt", 0};
} // namespace Mp3Prest

namespace Wav {
inline constexpr const char* Section = "wav";
inline constexpr IntKey Mode{Section, "mode", 0};
inline constexpr IntKey Bit{Section, "bit", 1};
inline constexpr IntKey Channel{Section, "channel", 1};
// 7 for the encoder configuration and the dialog when shown; the dialog's Default button sets 8.
inline constexpr IntKey Frequency{Section, "frequency", 7};
} // namespace Wav

namespace Wma {
inline constexpr const char* Section = "wma";
inline constexpr IntKey Format{Section, "format", 9};
} // namespace Wma

namespace Ogg {
inline constexpr const char* Section = "ogg";
inline constexpr IntKey Channel{Section, "channel", 1};
inline constexpr IntKey Frequency{Section, "frequency", 7};
inline constexpr IntKey Bitrate{Section, "bitrate", 9};
inline constexpr IntKey MaxBitrate{Section, "max bitrate", 9};
inline constexpr IntKey MinBitrate{Section, "min bitrate", 9};
inline constexpr IntKey Quality{Section, "quality", 300};
inline constexpr BoolKey Vbr{Section, "oggvbr", false};
inline constexpr BoolKey QualityMode{Section, "oggquality", false};
} // namespace Ogg

namespace Flac {
inline constexpr const char* Section = "flac";
inline constexpr IntKey Compression{Section, "compression", 5};
inline constexpr BoolKey Verify{Section, "verify", false};
} // namespace Flac

// Opus and AAC store their bitrate as a position in the bitrate list, as MP3 does.
namespace Opus {
inline constexpr const char* Section = "opus";
inline constexpr IntKey Bitrate{Section, "bitrate", 10}; // 160 kbps
} // namespace Opus

namespace Aac {
inline constexpr const char* Section = "aac";
inline constexpr IntKey Bitrate{Section, "bitrate", 11}; // 192 kbps
} // namespace Aac

namespace Freedb {
inline constexpr const char* Section = "Freedb";
inline constexpr IntKey Site{Section, "site", 0};
inline constexpr IntKey ToServer{Section, "toserver", 1};
inline constexpr StringKey Port{Section, "port", "80"};
inline constexpr StringKey Timeout{Section, "timeout", "10000"};
inline constexpr StringKey Proxy{Section, "proxy", ""};
// Sent to the server in the hello; today's servers refuse programs that send no address.
inline constexpr StringKey Email{Section, "email", ""};
} // namespace Freedb

namespace MusicBrainz {
inline constexpr const char* Section = "MusicBrainz";
// Asked after CDDB found nothing (or failed).
inline constexpr BoolKey Enabled{Section, "enabled", true};
inline constexpr StringKey Server{Section, "server", "https://musicbrainz.org"};
// The release's front cover: fetched and saved beside the tracks, and embedded in them.
inline constexpr BoolKey CoverArt{Section, "coverart", true};
inline constexpr BoolKey EmbedCover{Section, "embedcover", true};
inline constexpr StringKey CoverServer{Section, "coverserver", "https://coverartarchive.org"};
// Milliseconds between two requests; the public service asks for a second at least, which its
// server always gets whatever is stored. A mirror of one's own may allow less.
inline constexpr IntKey Spacing{Section, "spacing", 1000};
} // namespace MusicBrainz

namespace AccurateRip {
inline constexpr const char* Section = "AccurateRip";
// Every rip's checksums compared with the database of other people's rips.
inline constexpr BoolKey Enabled{Section, "enabled", true};
inline constexpr StringKey Server{Section, "server", "http://www.accuraterip.com"};
} // namespace AccurateRip

} // namespace Keys
