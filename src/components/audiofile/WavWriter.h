#pragma once

#include "components/audiofile/AudioWriter.h"

#include <QString>

#include <memory>

/// Integer PCM in a RIFF WAVE file: 8 bit (unsigned), 16 or 32 bit, 1 or 2 channels.
struct WaveFormat
{
    int sampleRate = 44100;
    int channels = 2;
    int bitsPerSample = 16;

    bool operator==(const WaveFormat&) const = default;
};

/// Throws ComponentError when the format cannot be written.
void checkWaveFormat(const WaveFormat& format);
std::unique_ptr<AudioWriter> openWavWriter(const WaveFormat& format, const QString& path);
