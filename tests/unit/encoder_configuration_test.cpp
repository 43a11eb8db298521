#include "base/ComponentError.h"
#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "rip/EncoderConfiguration.h"
#include "settings/SettingsFile.h"
#include "support/RecordingEncoders.h"
#include "support/RecordingGrabber.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class EncoderConfigurationTest : public TempDirTest
{
protected:
    QStringList configure(OutputFormatNumber format, const QString& commandLine = {})
    {
        m_log.clear();
        configureEncoder(m_settings, format, m_audioFile, m_lame, commandLine);
        return m_log;
    }

    QStringList grabOptions()
    {
        m_log.clear();
        RecordingGrabber grabber(m_log);
        applyGrabOptions(m_settings, grabber);
        return m_log;
    }

    void set(const char* section, const char* key, int value)
    {
        m_settings.writeInteger(QLatin1String(section), QLatin1String(key), value);
    }

    QStringList m_log;
    SettingsFile m_settings{path(QStringLiteral("settings.ini"))};
    RecordingAudioFile m_audioFile{m_log};
    RecordingLameEncoder m_lame{m_log};
};

const QStringList DefaultIndividualMp3{
    QStringLiteral("WriteVbrHeader(-1)"),   QStringLiteral("EnforceMinBitrate(0)"),
    QStringLiteral("CrcProtection(0)"),     QStringLiteral("AllowDiffBlockTypes(0)"),
    QStringLiteral("BitReservoir(-1)"),     QStringLiteral("ShortBlocks(-1)"),
    QStringLiteral("StrictIso(0)"),         QStringLiteral("HighpassFrequency(-1)"),
    QStringLiteral("LowpassFrequency(-1)"), QStringLiteral("VbrMethod(-1)"),
    QStringLiteral("AthControl(0)"),        QStringLiteral("ChannelMode(1)"),
    QStringLiteral("DeEmphasis(0)"),        QStringLiteral("Quality(5)"),
    QStringLiteral("Bitrate(128)"),         QStringLiteral("VbrBitrate(128)"),
    QStringLiteral("HighpassWidth(5)"),     QStringLiteral("LowpassWidth(750)"),
    QStringLiteral("VbrQuality(5)"),        QStringLiteral("SampleRate(44100)"),
    QStringLiteral("SetMp3Encoder"),
};

TEST_F(EncoderConfigurationTest, Mp3WithoutSettingsFileHandsEveryDefaultInOrder)
{
    EXPECT_EQ(configure(OutputFormatNumber::Mp3), DefaultIndividualMp3);
}

TEST_F(EncoderConfigurationTest, Mp3ChannelChoosesEitherCountOrMode)
{
    set("mp3", "channel", 0);
    QStringList calls = configure(OutputFormatNumber::Mp3);
    EXPECT_TRUE(calls.contains(QStringLiteral("ChannelCount(1)")));
    EXPECT_TRUE(calls.filter(QStringLiteral("ChannelMode")).isEmpty());
    EXPECT_EQ(calls.indexOf(QStringLiteral("ChannelCount(1)")),
              calls.indexOf(QStringLiteral("AthControl(0)")) + 1);

    set("mp3", "channel", 3);
    calls = configure(OutputFormatNumber::Mp3);
    EXPECT_TRUE(calls.contains(QStringLiteral("ChannelMode(3)")));
    EXPECT_TRUE(calls.filter(QStringLiteral("ChannelCount")).isEmpty());
}

TEST_F(EncoderConfigurationTest, Mp3FiltersHandTheirFrequencyOnlyWhenOn)
{
    set("MP3Filt", "udHFiltF", 120);
    set("MP3Filt", "udLFiltF", 16000);
    set("MP3Filt", "udHFiltW", 7);
    QStringList calls = configure(OutputFormatNumber::Mp3);
    EXPECT_TRUE(calls.contains(QStringLiteral("HighpassFrequency(-1)")));
    EXPECT_TRUE(calls.contains(QStringLiteral("LowpassFrequency(-1)")));
    EXPECT_TRUE(calls.contains(QStringLiteral("HighpassWidth(7)")));

    set("MP3Filt", "chHFilt", 1);
    set("MP3Filt", "chLFilt", 2); // any non-zero value is true
    calls = configure(OutputFormatNumber::Mp3);
    EXPECT_TRUE(calls.contains(QStringLiteral("HighpassFrequency(120)")));
    EXPECT_TRUE(calls.contains(QStringLiteral("LowpassFrequency(16000)")));
}

TEST_F(EncoderConfigurationTest, Mp3PresetsReplaceTheIndividualSettings)
{
    set("MP3Prest", "preset", 1);
    set("MP3Prest", "rg_prest", 8);
    EXPECT_EQ(configure(OutputFormatNumber::Mp3),
              (QStringList{QStringLiteral("ApplyPreset(9)"), QStringLiteral("SetMp3Encoder")}));

    set("MP3Prest", "alt", 1);
    set("MP3Prest", "rg_alt", 4);
    EXPECT_EQ(configure(OutputFormatNumber::Mp3),
              (QStringList{QStringLiteral("ApplyPreset(9)"), QStringLiteral("ApplyAltPreset(5)"),
                           QStringLiteral("SetMp3Encoder")}));

    set("MP3Prest", "preset", 0);
    EXPECT_EQ(configure(OutputFormatNumber::Mp3),
              (QStringList{QStringLiteral("ApplyAltPreset(5)"), QStringLiteral("SetMp3Encoder")}));
}

TEST_F(EncoderConfigurationTest, Mp3CommandLineComesLastBeforeTheEncoderIsHandedOver)
{
    QStringList calls = configure(OutputFormatNumber::Mp3, QStringLiteral("-b 192"));
    ASSERT_EQ(calls.size(), DefaultIndividualMp3.size() + 1);
    EXPECT_EQ(calls[calls.size() - 2], QStringLiteral("CommandLine(-b 192)"));
    EXPECT_EQ(calls.last(), QStringLiteral("SetMp3Encoder"));

    set("MP3Prest", "preset", 1);
    calls = configure(OutputFormatNumber::Mp3, QStringLiteral("-q 2"));
    EXPECT_EQ(calls,
              (QStringList{QStringLiteral("ApplyPreset(1)"), QStringLiteral("CommandLine(-q 2)"),
                           QStringLiteral("SetMp3Encoder")}));
}

TEST_F(EncoderConfigurationTest, ListPositionsOutsideTheirListFallBackToTheDefault)
{
    set("mp3", "bitrate", 15);
    set("mp3", "frequency", -1);
    set("mp3", "channel", 5);
    set("MP3VBR", "Coding Method", 9);
    set("MP3VBR", "vbr bitrate", 14);
    const QStringList calls = configure(OutputFormatNumber::Mp3);
    EXPECT_TRUE(calls.contains(QStringLiteral("Bitrate(128)")));
    EXPECT_TRUE(calls.contains(QStringLiteral("SampleRate(44100)")));
    EXPECT_TRUE(calls.contains(QStringLiteral("ChannelMode(1)")));
    EXPECT_TRUE(calls.contains(QStringLiteral("VbrMethod(-1)")));
    EXPECT_TRUE(calls.contains(QStringLiteral("VbrBitrate(320)"))); // the last entry still counts

    set("ogg", "channel", 2);
    set("ogg", "bitrate", 99);
    EXPECT_EQ(configure(OutputFormatNumber::OggVorbis),
              QStringList{QStringLiteral("SetOggVorbisFormat(44100, 2, 128, 0, 0, -1)")});
}

TEST_F(EncoderConfigurationTest, EveryKeyIsReadAtTheMomentOfTheCall)
{
    configure(OutputFormatNumber::Mp3);
    set("mp3", "quality", 2);
    EXPECT_TRUE(configure(OutputFormatNumber::Mp3).contains(QStringLiteral("Quality(2)")));
}

TEST_F(EncoderConfigurationTest, WavModes)
{
    EXPECT_EQ(configure(OutputFormatNumber::Wav),
              QStringList{QStringLiteral("SetWaveFormat(44100, 2, 16)")});

    set("wav", "frequency", 4);
    set("wav", "channel", 0);
    set("wav", "bit", 0);
    set("wav", "mode", 1);
    EXPECT_EQ(configure(OutputFormatNumber::Wav),
              QStringList{QStringLiteral("SetWaveFormat(48000, 2, 32)")});

    set("wav", "mode", 2);
    EXPECT_EQ(configure(OutputFormatNumber::Wav),
              QStringList{QStringLiteral("SetWaveFormat(22050, 1, 8)")});

    // Another mode sets no format; an open file is closed first in every case.
    set("wav", "mode", 3);
    m_audioFile.isOpen = true;
    EXPECT_EQ(configure(OutputFormatNumber::Wav), QStringList{QStringLiteral("Close()")});
}

TEST_F(EncoderConfigurationTest, WmaHandsTheStoredPositionPlusOne)
{
    EXPECT_EQ(configure(OutputFormatNumber::Wma),
              (QStringList{QStringLiteral("OptionFlag(-1)"), QStringLiteral("SetWmaFormat(10)")}));
    set("wma", "format", 40);
    EXPECT_EQ(configure(OutputFormatNumber::Wma).last(), QStringLiteral("SetWmaFormat(41)"));
    // No selection left by an older dialog, or a hand-edited value outside the list: the
    // default format (44 kHz, 128 kbps), not a number the audio file refuses.
    for (const int outside :
         {-1, 47, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        set("wma", "format", outside);
        EXPECT_EQ(configure(OutputFormatNumber::Wma).last(), QStringLiteral("SetWmaFormat(10)"))
            << outside;
    }
    set("wma", "format", 46);
    EXPECT_EQ(configure(OutputFormatNumber::Wma).last(), QStringLiteral("SetWmaFormat(47)"));
}

// Every number the configuration reads, at the ends of int and at -1, through the real
// components: each is used or refused by name, and none overflows (the sanitizer build stops at
// any wrapped arithmetic).
TEST_F(EncoderConfigurationTest, ExtremeStoredValuesAreRefusedNotWrapped)
{
    using namespace Keys;
    const IntKey keys[] = {Wma::Format,
                           Ogg::Channel,
                           Ogg::Frequency,
                           Ogg::Bitrate,
                           Ogg::MinBitrate,
                           Ogg::MaxBitrate,
                           Ogg::Quality,
                           Mp3::Bitrate,
                           Mp3::Channel,
                           Mp3::Frequency,
                           Mp3::Quality,
                           Mp3Vbr::CodingMethod,
                           Mp3Vbr::VbrBitrate,
                           Mp3Vbr::VbrQuality,
                           Mp3Filt::HighpassFreq,
                           Mp3Filt::HighpassWidth,
                           Mp3Filt::LowpassFreq,
                           Mp3Filt::LowpassWidth,
                           Mp3Expert::Ath,
                           Mp3Expert::DeEmphasis,
                           Mp3Prest::PresetIndex,
                           Mp3Prest::AltIndex,
                           Wav::Mode,
                           Wav::Bit,
                           Wav::Channel,
                           Wav::Frequency,
                           Opus::Bitrate,
                           Aac::Bitrate,
                           Format::Stop,
                           {Format::Section, Format::Mode, 1},
                           {Format::Section, Format::Retries, 1}};
    TAudioFile2 audioFile;
    TAudioFile2LameEnc lame;
    for (const int extreme :
         {std::numeric_limits<int>::max(), std::numeric_limits<int>::min(), -1}) {
        for (const IntKey& key : keys)
            set(key.section, key.key, extreme);
        // Switches on, so that the numbers behind them are read too.
        for (const BoolKey& on :
             {Mp3Filt::HighpassOn, Mp3Filt::LowpassOn, Ogg::Vbr, Ogg::QualityMode})
            set(on.section, on.key, 1);
        for (const OutputFormatNumber format :
             {OutputFormatNumber::Mp3, OutputFormatNumber::Wav, OutputFormatNumber::Wma,
              OutputFormatNumber::OggVorbis, OutputFormatNumber::Opus, OutputFormatNumber::Aac}) {
            try {
                configureEncoder(m_settings, format, audioFile, lame, {});
            } catch (const ComponentError& e) {
                EXPECT_FALSE(e.message().isEmpty());
            }
        }
        RecordingGrabber grabber(m_log);
        applyGrabOptions(m_settings, grabber);
    }
    // A WMA format outside the list is the default one, which the audio file takes.
    set("wma", "format", std::numeric_limits<int>::max());
    EXPECT_NO_THROW(configureEncoder(m_settings, OutputFormatNumber::Wma, audioFile, lame, {}));
}

TEST_F(EncoderConfigurationTest, OggModes)
{
    EXPECT_EQ(configure(OutputFormatNumber::OggVorbis),
              QStringList{QStringLiteral("SetOggVorbisFormat(44100, 2, 128, 0, 0, -1)")});

    set("ogg", "min bitrate", 5);
    set("ogg", "max bitrate", 11);
    set("ogg", "frequency", 8);
    set("ogg", "channel", 0);
    set("ogg", "oggvbr", 1);
    EXPECT_EQ(configure(OutputFormatNumber::OggVorbis),
              QStringList{QStringLiteral("SetOggVorbisFormat(48000, 1, 128, 64, 192, -1)")});

    set("ogg", "oggquality", 1);
    set("ogg", "quality", 750);
    EXPECT_EQ(configure(OutputFormatNumber::OggVorbis),
              (QStringList{QStringLiteral("SetOggVorbisFormat(48000, 1, 0, 0, 0, 750)"),
                           QStringLiteral("SetOggVorbisFormat(48000, 1, 128, 64, 192, -1)")}));
}

TEST_F(EncoderConfigurationTest, OpusAndAacHandTheBitrateOfTheirStoredPosition)
{
    struct Case
    {
        OutputFormatNumber format;
        const char* section;
        const char* call;
        int defaultKbps;
    };
    for (const Case& c : {Case{OutputFormatNumber::Opus, "opus", "SetOpusFormat", 160},
                          Case{OutputFormatNumber::Aac, "aac", "SetAacFormat", 192}}) {
        const auto call = [&c](int kbps) {
            return QStringLiteral("%1(%2)").arg(QLatin1String(c.call)).arg(kbps);
        };
        EXPECT_EQ(configure(c.format), QStringList{call(c.defaultKbps)});
        set(c.section, "bitrate", 5);
        EXPECT_EQ(configure(c.format), QStringList{call(64)});
        set(c.section, "bitrate", 15); // outside the list: the default
        EXPECT_EQ(configure(c.format), QStringList{call(c.defaultKbps)});
    }
}

TEST_F(EncoderConfigurationTest, OtherFormatNumbersConfigureNothing)
{
    EXPECT_TRUE(configure(OutputFormatNumber::RealMedia).isEmpty());
    EXPECT_TRUE(configure(static_cast<OutputFormatNumber>(-1)).isEmpty());
}

TEST_F(EncoderConfigurationTest, GrabOptionsPassTheStoredModeInOrder)
{
    EXPECT_EQ(grabOptions(),
              (QStringList{QStringLiteral("GrabMode(1)"), QStringLiteral("ReadRetries(1)"),
                           QStringLiteral("ErrorAction(0)"), QStringLiteral("setReadOffset(0)")}));
    set("Format", "mode", 3);
    set("Format", "retries", 20);
    set("Format", "stop", 2);
    set("Main", "ReadOffset", -30);
    EXPECT_EQ(
        grabOptions(),
        (QStringList{QStringLiteral("GrabMode(3)"), QStringLiteral("ReadRetries(20)"),
                     QStringLiteral("ErrorAction(2)"), QStringLiteral("setReadOffset(-30)")}));
    set("Format", "mode", 4);
    set("Format", "stop", -1);
    set("Main", "ReadOffset", 3001); // beyond any drive: no offset
    EXPECT_EQ(grabOptions(),
              (QStringList{QStringLiteral("GrabMode(1)"), QStringLiteral("ReadRetries(20)"),
                           QStringLiteral("ErrorAction(0)"), QStringLiteral("setReadOffset(0)")}));
}

} // namespace
