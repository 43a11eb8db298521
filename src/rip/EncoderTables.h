#pragma once

#include "settings/SettingsFile.h"

#include <array>
#include <span>

/// The lists whose positions the settings file stores for the encoders.
namespace EncoderTables {

/// Sample rates in Hz; the dialog shows "8000 Hz" .. "48000 Hz".
inline constexpr std::array<int, 9> Frequencies{8000,  11025, 12000, 16000, 22050,
                                                24000, 32000, 44100, 48000};
/// Bitrates in kbps; the dialog shows "8 Kbps" .. "320 Kbps".
inline constexpr std::array<int, 15> Bitrates{8,   16,  24,  32,  48,  64,  80, 96,
                                              112, 128, 160, 192, 224, 256, 320};
/// Bits per sample of the custom WAV format; the dialog shows "8 bps" and "16 bps".
inline constexpr std::array<int, 2> Bits{8, 16};
/// Entries of the WMA format list; the audio file numbers them 1 .. 47.
inline constexpr std::size_t WmaFormatCount = 47;

/// The stored position of key, or the key's default position when the stored one lies outside
/// a list of size entries (a hand-edited file, or a list left without a selection).
int position(const SettingsFile& settings, const Keys::IntKey& key, std::size_t size);

/// The entry of table at the position stored in key, falling back as position() does.
int lookup(const SettingsFile& settings, const Keys::IntKey& key, std::span<const int> table);

} // namespace EncoderTables
