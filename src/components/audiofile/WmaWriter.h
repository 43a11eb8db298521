#pragma once

#include "components/audiofile/AudioWriter.h"
#include "components/audiofile/WmaFormats.h"

#include <QString>

#include <memory>

/// Throws ComponentError for a format wmav2 cannot produce (Lossless).
void checkWmaFormat(const WmaFormats::Format& format);
/// A WMA file: FFmpeg's wmav2 encoder in an ASF container.
std::unique_ptr<AudioWriter> openWmaWriter(const WmaFormats::Format& format, const QString& path);
