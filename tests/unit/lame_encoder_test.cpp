#include "base/ComponentError.h"
#include "components/audiofile/LameCommandLine.h"
#include "components/audiofile/LamePresets.h"
#include "components/audiofile/TAudioFile2LameEnc.h"

#include <gtest/gtest.h>

void PrintTo(const LameOption& option, std::ostream* os)
{
    *os << "{" << static_cast<int>(option.kind) << ", " << option.value << "}";
}

namespace {

using Kind = LameOption::Kind;

std::vector<LameOption> parse(const char* text)
{
    return parseLameCommandLine(QString::fromLatin1(text));
}

QString errorOf(const char* text)
{
    try {
        parse(text);
    } catch (const ComponentError& e) {
        return e.message();
    }
    return {};
}

TEST(LameCommandLineTest, ReadsTheCommonOptionsInOrder)
{
    const std::vector<LameOption> expected{{Kind::Bitrate, 192},
                                           {Kind::MaxBitrate, 256},
                                           {Kind::VbrQuality, 2.5},
                                           {Kind::Quality, 3},
                                           {Kind::Mode, 0},
                                           {Kind::Abr, 160},
                                           {Kind::VbrNew},
                                           {Kind::Lowpass, 17500},
                                           {Kind::Highpass, 120},
                                           {Kind::Resample, 22050},
                                           {Kind::Crc},
                                           {Kind::StrictIso},
                                           {Kind::Quality, 2},
                                           {Kind::EnforceMinimum},
                                           {Kind::NoVbrHeader},
                                           {Kind::NoReservoir},
                                           {Kind::Cbr},
                                           {Kind::VbrOld}};
    EXPECT_EQ(parse(" -b 192 -B256 -V 2.5 -q3 -m m --abr 160 --vbr-new --lowpass 17.5 "
                    "--highpass 120 --resample 22.05 -p --strictly-enforce-ISO -h -F -t --nores "
                    "--cbr --vbr-old"),
              expected);
    EXPECT_TRUE(parse("").empty());
}

TEST(LameCommandLineTest, PresetsByNameNumberAndFastVariant)
{
    EXPECT_EQ(parse("--preset standard"),
              (std::vector<LameOption>{{Kind::Preset, LamePresets::Standard}}));
    EXPECT_EQ(parse("--preset fast extreme"),
              (std::vector<LameOption>{{Kind::Preset, LamePresets::ExtremeFast}}));
    EXPECT_EQ(parse("--preset 96"), (std::vector<LameOption>{{Kind::Preset, 96}}));
    EXPECT_EQ(parse("--preset Phone"), (std::vector<LameOption>{{Kind::MonoPreset, 16}}));
}

TEST(LameCommandLineTest, RejectsWhatItCannotUseNamingIt)
{
    EXPECT_EQ(errorOf("-b 128 --tt Title"), QStringLiteral("Unknown MP3 option \"--tt\""));
    EXPECT_EQ(errorOf("-x"), QStringLiteral("Unknown MP3 option \"-x\""));
    EXPECT_EQ(errorOf("-px"), QStringLiteral("Unknown MP3 option \"-px\""));
    EXPECT_EQ(errorOf("song.wav"),
              QStringLiteral("Unexpected \"song.wav\" in the MP3 command line"));
    EXPECT_EQ(errorOf("-b"), QStringLiteral("The MP3 option \"-b\" needs a value"));
    EXPECT_TRUE(errorOf("-b 500").contains(QStringLiteral("\"-b\" needs a bitrate")));
    EXPECT_TRUE(errorOf("-V ten").contains(QStringLiteral("\"-V\"")));
    EXPECT_TRUE(errorOf("-m x").contains(QStringLiteral("\"-m\"")));
    EXPECT_TRUE(errorOf("--resample 23").contains(QStringLiteral("\"--resample\"")));
    EXPECT_EQ(errorOf("--preset loud"), QStringLiteral("Unknown MP3 preset \"loud\""));
}

TEST(LameEncoderTest, PresetsAndIndividualSettingsTakeTurns)
{
    TAudioFile2LameEnc lame;
    lame.Bitrate(192);
    lame.ApplyPreset(9);
    lame.ApplyAltPreset(2); // right after ApplyPreset: both apply
    EXPECT_TRUE(lame.settings().presetMode);
    EXPECT_EQ(lame.settings().preset, 9);
    EXPECT_EQ(lame.settings().altPreset, 2);
    EXPECT_EQ(lame.settings().bitrate, 192); // kept for when presets are left

    lame.ApplyAltPreset(4); // a later choice of its own replaces the preset
    EXPECT_FALSE(lame.settings().preset.has_value());
    EXPECT_EQ(lame.settings().altPreset, 4);

    lame.Quality(2);
    EXPECT_FALSE(lame.settings().presetMode);
    EXPECT_FALSE(lame.settings().altPreset.has_value());
    EXPECT_EQ(lame.settings().bitrate, 192);
}

TEST(LameEncoderTest, ChannelCountAndModeTheLaterWins)
{
    TAudioFile2LameEnc lame;
    lame.ChannelMode(3);
    lame.ChannelCount(1);
    EXPECT_EQ(lame.settings().channelMode, 0);
    lame.ChannelCount(2);
    EXPECT_FALSE(lame.settings().channelMode.has_value());
    lame.ChannelMode(4);
    EXPECT_EQ(lame.settings().channelMode, 4);
}

TEST(LameEncoderTest, ValuesOutOfRangeAreRefused)
{
    TAudioFile2LameEnc lame;
    EXPECT_THROW(lame.ApplyPreset(12), ComponentError);
    EXPECT_THROW(lame.ApplyAltPreset(0), ComponentError);
    EXPECT_THROW(lame.Quality(10), ComponentError);
    EXPECT_THROW(lame.SampleRate(44000), ComponentError);
    EXPECT_THROW(lame.ChannelMode(0), ComponentError);
    EXPECT_THROW(lame.CommandLine(QStringLiteral("--bogus")), ComponentError);
    EXPECT_NO_THROW(lame.LowpassFrequency(-1));
}

} // namespace
