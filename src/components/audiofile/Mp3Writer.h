#pragma once

#include "components/audiofile/AudioWriter.h"
#include "components/audiofile/LameSettings.h"

#include <QString>

#include <memory>

/// Throws ComponentError when LAME refuses the settings.
void checkLameSettings(const LameSettings& settings);
/// An MP3 file through libmp3lame, with a LAME/Xing header and no ID3 tag.
std::unique_ptr<AudioWriter> openMp3Writer(const LameSettings& settings, const QString& path);
