#pragma once

#include "base/ReadMode.h"
#include "rip/OutputFormatNumber.h"

#include <QString>

class IAudioCDGrabber2;
class IAudioFile2;
class IAudioFile2LameEnc;
class SettingsFile;

/// Sets the audio file (and for MP3 the LAME encoder) up for the output format from the stored
/// settings, reading every key at the moment of the call. commandLine is the MP3 command line of
/// the settings dialog. Another format configures nothing. A list position outside its
/// list stands for the key's default position; the WMA format is handed over as its position
/// + 1. Component errors propagate.
void configureEncoder(const SettingsFile& settings, OutputFormatNumber outputFormat,
                      IAudioFile2& audioFile, IAudioFile2LameEnc& lame, const QString& commandLine);

/// The stored FLAC compression level; one outside 0 .. 8 stands for the default, as a list
/// position outside its list does.
int storedFlacLevel(const SettingsFile& settings);

/// The stored read mode (0 Burst .. 3 Paranoid), retries, error action (0 Stop, 1 Silence,
/// 2 Cut) and read offset (samples), each with its fallback.
/// The largest read offset in samples, either way.
inline constexpr int MaxReadOffset = 3000;

struct StoredGrabOptions
{
    ReadMode mode = ReadMode::Synch;
    int retries = 1;
    int errorAction = 0;
    int offset = 0;
};
StoredGrabOptions storedGrabOptions(const SettingsFile& settings);

/// Hands the stored read mode (0 Burst .. 3 Paranoid, as stored), retries, error action and read
/// offset to the grabber, in that order. Serves the start-up and the settings dialog's Ok alike, so
/// the same stored choice always means the same mode.
void applyGrabOptions(const SettingsFile& settings, IAudioCDGrabber2& grabber);
