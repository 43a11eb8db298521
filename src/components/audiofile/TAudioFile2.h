#pragma once

#include "base/IAudioFile2.h"
#include "components/audiofile/OutputFormat.h"

#include <atomic>
#include <memory>

/// The output file of a grab, in the format chosen last: WAV, MP3 (LAME), Ogg Vorbis, WMA,
/// FLAC, Opus or AAC.
///
/// A Set...Format call that cannot be produced throws ComponentError and leaves no format
/// chosen, so a following open() fails instead of writing something else. open() never replaces
/// an existing file. A write error removes the file and throws; Close() completes it (headers,
/// LAME tag, end of stream, index), also when the grab stopped midway. The file is written on
/// the grabber's thread between open() and Close(); the other calls come between grabs.
/// OptionFlag has no effect on the files. When measureReplayGain is on, each file's audio is
/// measured as the writer hands it to the encoder, and the meter is handed over after Close.
class TAudioFile2 final : public IAudioFile2
{
public:
    TAudioFile2() = default;
    /// Completes a file still open.
    ~TAudioFile2() override;

    TAudioFile2(const TAudioFile2&) = delete;
    TAudioFile2& operator=(const TAudioFile2&) = delete;

    void Close() override;
    void SetWaveFormat(int sampleRate, int channels, int bitsPerSample) override;
    /// encoder must be a TAudioFile2LameEnc.
    void SetMp3Encoder(IAudioFile2LameEnc* encoder) override;
    void SetOggVorbisFormat(int sampleRate, int channels, int bitrate, int minBitrate,
                            int maxBitrate, int quality) override;
    void SetWmaFormat(int format) override;
    void SetFlacFormat(int compression, bool verify) override;
    void SetOpusFormat(int bitrate) override;
    void SetAacFormat(int bitrate) override;
    bool IsOpen() const override;
    void OptionFlag(int flags) override;

    void open(const QString& path) override;
    void write(std::span<const std::int16_t> samples) override;

    void measureReplayGain(bool on) override { m_measure = on; }
    std::unique_ptr<ReplayGainMeter> takeReplayGainMeter() override;

private:
    void choose(OutputFormat format);
    [[noreturn]] void refuse(const QString& message);

    OutputFormat m_format;
    std::unique_ptr<AudioWriter> m_writer;
    bool m_measure = false;
    std::unique_ptr<ReplayGainMeter> m_meter; // of the file closed last
    std::atomic<bool> m_open = false;         // IsOpen may be asked from another thread
};
