#pragma once

/// The output formats of a conversion run, under the numbers the window and the settings use.
enum class OutputFormatNumber {
    Mp3 = 0,
    Wav = 1,
    Wma = 2,
    OggVorbis = 3,
    RealMedia = 4, // produces nothing
    Flac = 5,
    Opus = 6,
    Aac = 7,
};
