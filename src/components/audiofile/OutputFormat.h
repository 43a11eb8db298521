#pragma once

#include "components/audiofile/AacWriter.h"
#include "components/audiofile/AudioWriter.h"
#include "components/audiofile/FlacWriter.h"
#include "components/audiofile/LameSettings.h"
#include "components/audiofile/OpusWriter.h"
#include "components/audiofile/VorbisWriter.h"
#include "components/audiofile/WavWriter.h"
#include "components/audiofile/WmaFormats.h"

#include <QString>

#include <memory>
#include <variant>

/// The kind and form of the next output file; monostate while none is chosen.
using OutputFormat = std::variant<std::monostate, WaveFormat, LameSettings, VorbisFormat,
                                  WmaFormats::Format, FlacFormat, OpusFormat, AacFormat>;

/// Throws ComponentError when the format cannot be produced, so that a bad choice is reported
/// when it is made rather than when a grab starts.
void checkFormat(const OutputFormat& format);

/// Creates the file at path (never over an existing one) and a writer for it.
std::unique_ptr<AudioWriter> openWriter(const OutputFormat& format, const QString& path);
