#pragma once

#include <array>

/// LAME presets by the names of the MP3 settings. An ABR preset's id is its bitrate in kbps; the
/// other ids are those of LAME's preset_mode (checked against lame.h where LAME is used).
/// The speech and radio presets are ABR presets, some of them mono, as the LAME tool's own
/// aliases for these names.
namespace LamePresets {

struct Preset
{
    const char* name;
    int lameId;
    bool mono;
};

inline constexpr int R3mix = 1000;
inline constexpr int Standard = 1001;
inline constexpr int Extreme = 1002;
inline constexpr int Insane = 1003;
inline constexpr int StandardFast = 1004;
inline constexpr int ExtremeFast = 1005;
inline constexpr int Medium = 1006;
inline constexpr int MediumFast = 1007;

/// ApplyPreset 1 .. 11.
inline constexpr std::array<Preset, 11> Basic{{
    {"phone", 16, true},
    {"sw", 24, true},
    {"am", 40, true},
    {"fm", 112, false},
    {"voice", 56, true},
    {"radio", 112, false},
    {"tape", 112, false},
    {"hifi", 160, false},
    {"cd", 192, false},
    {"studio", 256, false},
    {"r3mix", R3mix, false},
}};

/// ApplyAltPreset 1 .. 5.
inline constexpr std::array<Preset, 5> Alternative{{
    {"fast standard", StandardFast, false},
    {"standard", Standard, false},
    {"fast extreme", ExtremeFast, false},
    {"extreme", Extreme, false},
    {"insane", Insane, false},
}};

/// Further names the command line's --preset accepts.
inline constexpr std::array<Preset, 2> Extra{{
    {"medium", Medium, false},
    {"fast medium", MediumFast, false},
}};

} // namespace LamePresets
