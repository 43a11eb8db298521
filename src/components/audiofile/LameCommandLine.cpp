#include "components/audiofile/LameCommandLine.h"

#include "base/ComponentError.h"
#include "components/audiofile/LamePresets.h"

#include <QRegularExpression>
#include <QStringList>

#include <array>
#include <cmath>
#include <optional>

namespace {

using Kind = LameOption::Kind;

class Parser
{
public:
    explicit Parser(const QString& text)
        : m_words(text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
    {
    }

    std::vector<LameOption> parse()
    {
        while (m_next < m_words.size()) {
            const QString word = m_words[m_next++];
            if (word.startsWith(QLatin1String("--")))
                parseLong(word);
            else if (word.size() >= 2 && word.front() == u'-')
                parseShort(word);
            else
                throw ComponentError(
                    QStringLiteral("Unexpected \"%1\" in the MP3 command line").arg(word));
        }
        return m_options;
    }

private:
    void parseShort(const QString& word)
    {
        const QChar letter = word[1];
        const QString attached = word.mid(2);
        auto value = [&] { return attached.isEmpty() ? nextWord(word) : attached; };
        auto flag = [&](Kind kind, double v = 0) {
            if (!attached.isEmpty())
                unknown(word);
            add(kind, v);
        };
        switch (letter.unicode()) {
        case 'b':
            add(Kind::Bitrate, bitrate(word, value()));
            break;
        case 'B':
            add(Kind::MaxBitrate, bitrate(word, value()));
            break;
        case 'V':
            add(Kind::VbrQuality, number(word, value(), 0, 9.999, "a VBR quality from 0 to 9"));
            break;
        case 'q':
            add(Kind::Quality, integer(word, value(), 0, 9, "a quality from 0 to 9"));
            break;
        case 'm':
            add(Kind::Mode, mode(word, value()));
            break;
        case 'h':
            flag(Kind::Quality, 2);
            break;
        case 'f':
            flag(Kind::Quality, 7);
            break;
        case 'p':
            flag(Kind::Crc);
            break;
        case 'F':
            flag(Kind::EnforceMinimum);
            break;
        case 't':
            flag(Kind::NoVbrHeader);
            break;
        default:
            unknown(word);
        }
    }

    void parseLong(const QString& word)
    {
        if (word == QLatin1String("--preset"))
            preset(word);
        else if (word == QLatin1String("--abr"))
            add(Kind::Abr, bitrate(word, nextWord(word)));
        else if (word == QLatin1String("--vbr-new"))
            add(Kind::VbrNew);
        else if (word == QLatin1String("--vbr-old"))
            add(Kind::VbrOld);
        else if (word == QLatin1String("--cbr"))
            add(Kind::Cbr);
        else if (word == QLatin1String("--nores"))
            add(Kind::NoReservoir);
        else if (word == QLatin1String("--strictly-enforce-ISO"))
            add(Kind::StrictIso);
        else if (word == QLatin1String("--lowpass"))
            add(Kind::Lowpass, frequency(word, nextWord(word)));
        else if (word == QLatin1String("--highpass"))
            add(Kind::Highpass, frequency(word, nextWord(word)));
        else if (word == QLatin1String("--resample"))
            add(Kind::Resample, sampleRate(word, nextWord(word)));
        else
            unknown(word);
    }

    void preset(const QString& option)
    {
        QString name = nextWord(option).toLower();
        if (name == QLatin1String("fast"))
            name += u' ' + nextWord(option).toLower();
        bool isNumber = false;
        const int abr = name.toInt(&isNumber);
        if (isNumber) {
            if (abr < 8 || abr > 320)
                needs(option, "a preset name or a bitrate from 8 to 320 kbps");
            add(Kind::Preset, abr);
            return;
        }
        if (const auto found = findPreset(name)) {
            add(found->mono ? Kind::MonoPreset : Kind::Preset, found->lameId);
            return;
        }
        throw ComponentError(QStringLiteral("Unknown MP3 preset \"%1\"").arg(name));
    }

    template <std::size_t N>
    static std::optional<LamePresets::Preset> find(const std::array<LamePresets::Preset, N>& table,
                                                   const QString& name)
    {
        for (const auto& p : table)
            if (name == QLatin1String(p.name))
                return p;
        return std::nullopt;
    }

    static std::optional<LamePresets::Preset> findPreset(const QString& name)
    {
        if (auto p = find(LamePresets::Basic, name))
            return p;
        if (auto p = find(LamePresets::Alternative, name))
            return p;
        return find(LamePresets::Extra, name);
    }

    QString nextWord(const QString& option)
    {
        if (m_next >= m_words.size())
            throw ComponentError(QStringLiteral("The MP3 option \"%1\" needs a value").arg(option));
        return m_words[m_next++];
    }

    double number(const QString& option, const QString& text, double low, double high,
                  const char* what)
    {
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok || !(value >= low && value <= high))
            needs(option, what);
        return value;
    }

    int integer(const QString& option, const QString& text, int low, int high, const char* what)
    {
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok || value < low || value > high)
            needs(option, what);
        return value;
    }

    int bitrate(const QString& option, const QString& text)
    {
        return integer(option, text, 8, 320, "a bitrate from 8 to 320 kbps");
    }

    // The LAME tool's rule: small numbers are kHz, larger ones Hz.
    int frequency(const QString& option, const QString& text)
    {
        const double value = number(option, text, 0.001, 48000, "a frequency in kHz");
        return static_cast<int>(std::lround(value < 50 ? value * 1000 : value));
    }

    int sampleRate(const QString& option, const QString& text)
    {
        const int hz = frequency(option, text);
        for (const int rate : Mp3SampleRates)
            if (std::abs(rate - hz) <= 50) // 22.05 and 11.025 kHz written as 22 or 11
                return rate;
        needs(option, "an MP3 sample rate from 8 to 48 kHz");
    }

    int mode(const QString& option, const QString& text)
    {
        static constexpr std::array<std::pair<char, int>, 6> Modes{
            {{'m', 0}, {'s', 1}, {'j', 2}, {'a', 2}, {'f', 3}, {'d', 4}}};
        if (text.size() == 1)
            for (const auto& [letter, value] : Modes)
                if (text[0] == QLatin1Char(letter))
                    return value;
        needs(option, "a mode: s, j, f, d, m or a");
    }

    [[noreturn]] static void needs(const QString& option, const char* what)
    {
        throw ComponentError(
            QStringLiteral("The MP3 option \"%1\" needs %2").arg(option, QLatin1String(what)));
    }

    [[noreturn]] static void unknown(const QString& word)
    {
        throw ComponentError(QStringLiteral("Unknown MP3 option \"%1\"").arg(word));
    }

    void add(Kind kind, double value = 0) { m_options.push_back({kind, value}); }

    QStringList m_words;
    qsizetype m_next = 0;
    std::vector<LameOption> m_options;
};

} // namespace

std::vector<LameOption> parseLameCommandLine(const QString& text)
{
    return Parser(text).parse();
}
