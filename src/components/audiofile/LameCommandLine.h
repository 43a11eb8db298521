#pragma once

#include "components/audiofile/LameSettings.h"

#include <QString>

#include <vector>

/// Parses the MP3 command line of the settings dialog. Accepted, as the LAME tool reads them
/// (values may follow as the next word, or be attached to one-letter options: -b192, -V2):
///
///   -b kbps    constant bitrate 8..320 (the VBR minimum in VBR modes)
///   -B kbps    VBR maximum bitrate 8..320
///   -V n       VBR with quality 0 (best) .. 9.999
///   -q n       quality 0 (best) .. 9; -h is -q 2, -f is -q 7
///   -m mode    s stereo, j joint, f forced joint, d dual channels, m mono, a auto (joint)
///   --preset p phone, sw, am, fm, voice, radio, tape, hifi, cd, studio, r3mix, medium,
///              standard, extreme, insane, "fast medium|standard|extreme", or a bitrate
///              8..320 (ABR)
///   --abr kbps average bitrate 8..320
///   --vbr-new, --vbr-old, --cbr   VBR method (new is MTRH), or constant bitrate
///   --lowpass f, --highpass f     filter frequency in kHz (50 and above: Hz)
///   --resample f  sample rate of the MP3 file in kHz (or Hz), one of 8 .. 48 kHz
///   -p         CRC protection
///   --strictly-enforce-ISO
///   -F         strictly enforce the VBR minimum bitrate
///   -t         no LAME/Xing header
///   --nores    no bit reservoir
///
/// Anything else throws ComponentError naming the word it could not use.
std::vector<LameOption> parseLameCommandLine(const QString& text);
