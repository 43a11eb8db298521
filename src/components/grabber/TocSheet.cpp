#include "TocSheet.h"

#include "ImageFiles.h"
#include "SheetText.h"

#include <QList>

#include <algorithm>

namespace {

constexpr int FramesPerSector = ImageLayoutBuilder::FramesPerSector;
/// Braces inside a CD_TEXT block nest no deeper than this.
constexpr int MaxNesting = 8;

struct Token
{
    enum class Kind { Word, String, Open, Close, Comma, Offset, End };
    Kind kind = Kind::End;
    QByteArray text; // a word as written, a string with its escapes resolved
    int line = 0;
};

bool isWordByte(char c)
{
    return !QChar::isSpace(static_cast<uchar>(c)) && c != '{' && c != '}' && c != '"' && c != ',';
}

/// Splits a TOC file into words, strings, braces, commas and #offsets; comments (// to the line's
/// end) are left out.
class Tokenizer final
{
public:
    Tokenizer(const QByteArray& text, ImageLayoutBuilder& builder)
        : m_text(text), m_builder(builder)
    {
        if (m_text.startsWith("\xEF\xBB\xBF"))
            m_at = 3;
    }

    QList<Token> all()
    {
        QList<Token> tokens;
        for (Token token = next(); token.kind != Token::Kind::End; token = next())
            tokens.append(token);
        // What is missing at the end is missing after the last statement.
        tokens.append({Token::Kind::End, {}, tokens.isEmpty() ? 1 : tokens.back().line});
        return tokens;
    }

private:
    Token next()
    {
        skipBlanksAndComments();
        if (m_at >= m_text.size())
            return {Token::Kind::End, {}, m_line};
        const char c = m_text.at(m_at);
        if (c == '{' || c == '}' || c == ',') {
            ++m_at;
            return {c == '{'   ? Token::Kind::Open
                    : c == '}' ? Token::Kind::Close
                               : Token::Kind::Comma,
                    QByteArray(1, c), m_line};
        }
        if (c == '"')
            return string();
        const qsizetype start = m_at;
        while (m_at < m_text.size() && isWordByte(m_text.at(m_at)) &&
               !(m_text.at(m_at) == '/' && m_at + 1 < m_text.size() && m_text.at(m_at + 1) == '/'))
            ++m_at;
        const QByteArray word = m_text.mid(start, m_at - start);
        if (word.startsWith('#'))
            return {Token::Kind::Offset, word.mid(1), m_line};
        return {Token::Kind::Word, word, m_line};
    }

    void skipBlanksAndComments()
    {
        while (m_at < m_text.size()) {
            const char c = m_text.at(m_at);
            if (c == '\n') {
                ++m_line;
                ++m_at;
            } else if (QChar::isSpace(static_cast<uchar>(c))) {
                ++m_at;
            } else if (c == '/' && m_at + 1 < m_text.size() && m_text.at(m_at + 1) == '/') {
                while (m_at < m_text.size() && m_text.at(m_at) != '\n')
                    ++m_at;
            } else {
                return;
            }
        }
    }

    // "text" with the escapes \" \\ and \ooo (an octal byte).
    Token string()
    {
        const int line = m_line;
        QByteArray bytes;
        ++m_at;
        while (m_at < m_text.size() && m_text.at(m_at) != '"') {
            char c = m_text.at(m_at++);
            if (c == '\n') {
                m_builder.setLine(line);
                m_builder.fail(QStringLiteral("a string is not closed on its line"));
            }
            if (c == '\\' && m_at < m_text.size()) {
                int digits = 0;
                int value = 0;
                while (digits < 3 && m_at < m_text.size() && m_text.at(m_at) >= '0' &&
                       m_text.at(m_at) <= '7') {
                    value = value * 8 + (m_text.at(m_at++) - '0');
                    ++digits;
                }
                c = digits > 0 ? static_cast<char>(value & 0xFF) : m_text.at(m_at++);
            }
            bytes.append(c);
        }
        if (m_at >= m_text.size()) {
            m_builder.setLine(line);
            m_builder.fail(QStringLiteral("a string is not closed"));
        }
        ++m_at;
        return {Token::Kind::String, bytes, line};
    }

    const QByteArray& m_text;
    ImageLayoutBuilder& m_builder;
    qsizetype m_at = 0;
    int m_line = 1;
};

/// The bytes of a sector of a TOC track mode in its data files; 0 for no mode.
int sectorBytesOf(const QByteArray& mode)
{
    static const QList<std::pair<QByteArray, int>> modes = {
        {"AUDIO", 2352},       {"MODE0", 2336},          {"MODE1", 2048},
        {"MODE1_RAW", 2352},   {"MODE2", 2336},          {"MODE2_FORM1", 2048},
        {"MODE2_FORM2", 2324}, {"MODE2_FORM_MIX", 2336}, {"MODE2_RAW", 2352},
    };
    for (const auto& [name, bytes] : modes) {
        if (name == mode)
            return bytes;
    }
    return 0;
}

/// Reads a TOC file's statements into the layout builder.
class TocReader final
{
public:
    TocReader(const QString& sheet, const QByteArray& text, ImageLayoutBuilder& builder)
        : m_builder(builder), m_files(sheet, builder), m_tokens(Tokenizer(text, builder).all())
    {
    }

    void read();

private:
    const Token& peek() const { return m_tokens.at(m_at); }
    const Token& take();
    bool takeWord(const char* word);
    [[noreturn]] void fail(const QString& what) const { m_builder.fail(what); }
    QString takeString(const QString& what);
    /// An "mm:ss:ff" time or a count of samples, in frames.
    qint64 takeLength(const QString& what);
    bool nextIsLength() const;

    void track();
    void trackStatement();
    void endTrack();
    void file(bool dataFile);
    void cdText(SheetTexts& texts);
    void skipBlock(int depth);

    ImageLayoutBuilder& m_builder;
    ImageFileOpener m_files;
    QList<Token> m_tokens;
    qsizetype m_at = 0;
    int m_tracks = 0;
    int m_sectorBytes = 2352; // of the current track
    qint64 m_index01 = -1;    // frames from the track's start; -1: at its start
};

const Token& TocReader::take()
{
    const Token& token = m_tokens.at(m_at);
    m_builder.setLine(token.line);
    if (token.kind != Token::Kind::End)
        ++m_at;
    return token;
}

bool TocReader::takeWord(const char* word)
{
    if (peek().kind != Token::Kind::Word || peek().text != word)
        return false;
    take();
    return true;
}

QString TocReader::takeString(const QString& what)
{
    const Token& token = take();
    if (token.kind != Token::Kind::String)
        fail(QStringLiteral("%1 needs a quoted text").arg(what));
    return decodeSheetText(token.text);
}

bool TocReader::nextIsLength() const
{
    const Token& token = peek();
    return token.kind == Token::Kind::Word && !token.text.isEmpty() &&
           (token.text.at(0) >= '0' && token.text.at(0) <= '9');
}

qint64 TocReader::takeLength(const QString& what)
{
    const Token& token = take();
    const QString text = QString::fromLatin1(token.text);
    if (token.kind == Token::Kind::Word) {
        if (text.contains(u':')) {
            const qint64 sectors = parseMsf(text);
            if (sectors >= 0)
                return sectors * FramesPerSector;
        } else if (const qint64 samples = parseCount(text, 12); samples >= 0) {
            return samples;
        }
    }
    fail(QStringLiteral("%1 needs a time as mm:ss:ff or a number of samples, not \"%2\"")
             .arg(what, text.left(40)));
}

void TocReader::read()
{
    // The session's type, the catalogue number and the disc's CD-Text come before the tracks.
    while (peek().kind != Token::Kind::End &&
           !(peek().kind == Token::Kind::Word && peek().text == "TRACK")) {
        const Token& token = take();
        if (token.kind != Token::Kind::Word)
            fail(QStringLiteral("a statement is expected, not \"%1\"")
                     .arg(QString::fromLatin1(token.text.left(40))));
        if (token.text == "CD_DA" || token.text == "CD_ROM" || token.text == "CD_ROM_XA" ||
            token.text == "CD_I")
            continue;
        if (token.text == "CATALOG") {
            const QString catalog = takeString(QStringLiteral("CATALOG"));
            if (catalog.size() != 13 || parseCount(catalog, 13) < 0)
                fail(QStringLiteral("CATALOG %1 is not 13 digits").arg(catalog.left(40)));
            m_builder.layout().toc.catalog = catalog;
        } else if (token.text == "CD_TEXT") {
            cdText(m_builder.layout().discTexts);
        } else {
            fail(QStringLiteral("unknown statement %1")
                     .arg(QString::fromLatin1(token.text.left(40))));
        }
    }
    if (peek().kind == Token::Kind::End)
        fail(QStringLiteral("the TOC names no track"));
    while (peek().kind != Token::Kind::End)
        track();
    endTrack();
}

void TocReader::endTrack()
{
    if (!m_builder.inTrack())
        return;
    m_builder.padToSector();
    const qint64 start = m_builder.trackStartFrame();
    // The pregap ends on a sector: a length in samples is rounded up to one.
    const qint64 pregap = (std::max<qint64>(m_index01, 0) + FramesPerSector - 1) / FramesPerSector;
    const qint64 index01 = start + pregap * FramesPerSector;
    if (index01 > m_builder.position())
        fail(QStringLiteral("the track's START lies past its end"));
    m_builder.markIndex01At(index01);
}

void TocReader::track()
{
    endTrack();
    if (!takeWord("TRACK"))
        fail(QStringLiteral("TRACK is expected, not \"%1\"")
                 .arg(QString::fromLatin1(take().text.left(40))));
    const Token& mode = take();
    m_sectorBytes = mode.kind == Token::Kind::Word ? sectorBytesOf(mode.text) : 0;
    if (m_sectorBytes == 0)
        fail(QStringLiteral("TRACK needs a mode such as AUDIO or MODE1, not \"%1\"")
                 .arg(QString::fromLatin1(mode.text.left(40))));
    // Sub-channel data stored with each sector.
    if (takeWord("RW") || takeWord("RW_RAW"))
        m_sectorBytes += 96;
    m_builder.beginTrack(++m_tracks, mode.text == "AUDIO");
    m_builder.markTrackStart();
    m_index01 = -1;
    while (peek().kind != Token::Kind::End &&
           !(peek().kind == Token::Kind::Word && peek().text == "TRACK"))
        trackStatement();
}

void TocReader::trackStatement()
{
    const Token& token = take();
    const QByteArray& word = token.text;
    const bool audio = m_builder.currentTrackIsAudio();
    TocTrack& track = m_builder.currentTrack();
    if (token.kind != Token::Kind::Word)
        fail(QStringLiteral("a statement is expected, not \"%1\"")
                 .arg(QString::fromLatin1(word.left(40))));
    if (word == "NO") {
        if (takeWord("PRE_EMPHASIS"))
            track.preEmphasis = false;
        else if (!takeWord("COPY"))
            fail(QStringLiteral("NO must be followed by COPY or PRE_EMPHASIS"));
    } else if (word == "PRE_EMPHASIS") {
        track.preEmphasis = true;
    } else if (word == "COPY" || word == "TWO_CHANNEL_AUDIO" || word == "FOUR_CHANNEL_AUDIO") {
        // Flags the grabber does not report.
    } else if (word == "ISRC") {
        const QString code = takeString(QStringLiteral("ISRC"));
        if (code.size() != 12)
            fail(QStringLiteral("ISRC %1 is not 12 letters and digits").arg(code.left(40)));
        track.isrc = code.toUpper();
    } else if (word == "CD_TEXT") {
        cdText(m_builder.currentTexts());
    } else if (word == "PREGAP") {
        if (m_builder.position() != m_builder.trackStartFrame() || m_index01 >= 0)
            fail(QStringLiteral("PREGAP must be the track's first stretch"));
        const qint64 frames = takeLength(QStringLiteral("PREGAP"));
        audio ? m_builder.silence(frames) : m_builder.data(frames);
        m_index01 = frames;
    } else if (word == "START") {
        if (m_index01 >= 0)
            fail(QStringLiteral("the track has a pregap already"));
        m_index01 = nextIsLength() ? takeLength(QStringLiteral("START"))
                                   : m_builder.position() - m_builder.trackStartFrame();
    } else if (word == "INDEX") {
        takeLength(QStringLiteral("INDEX"));
    } else if (word == "SILENCE" || word == "ZERO") {
        if (word == "ZERO") {
            // An optional data mode and sub-channel mode before the length.
            while (peek().kind == Token::Kind::Word && sectorBytesOf(peek().text) > 0)
                take();
            takeWord("RW");
            takeWord("RW_RAW");
        }
        const qint64 frames = takeLength(QString::fromLatin1(word));
        audio ? m_builder.silence(frames) : m_builder.data(frames);
    } else if (word == "FILE" || word == "AUDIOFILE" || word == "DATAFILE") {
        file(word == "DATAFILE");
    } else if (word == "FIFO") {
        fail(QStringLiteral("FIFO sources cannot be read"));
    } else {
        fail(QStringLiteral("unknown statement %1").arg(QString::fromLatin1(word.left(40))));
    }
}

void TocReader::file(bool dataFile)
{
    const QString name = takeString(QStringLiteral("FILE"));
    const bool swapped = takeWord("SWAP");
    qint64 offset = 0;
    if (peek().kind == Token::Kind::Offset) {
        offset = parseCount(QString::fromLatin1(take().text), 12);
        if (offset < 0)
            fail(QStringLiteral("a #offset needs a number of bytes"));
    }
    if (!m_builder.currentTrackIsAudio()) {
        if (!dataFile)
            fail(QStringLiteral("an audio FILE lies in a data track"));
        // Data: its length counts, its bytes are never read as audio.
        const int index = m_files.open(name, SheetFileType::Binary, offset);
        qint64 sectors = m_builder.file(index).bytes / m_sectorBytes;
        if (nextIsLength()) {
            const QString text = QString::fromLatin1(take().text);
            const qint64 bytes = parseCount(text, 12);
            sectors = text.contains(u':') ? parseMsf(text)
                      : bytes >= 0        ? (bytes + m_sectorBytes - 1) / m_sectorBytes
                                          : -1;
            if (sectors < 0)
                fail(QStringLiteral("DATAFILE needs a length as mm:ss:ff or bytes"));
        }
        m_builder.data(sectors * FramesPerSector);
        return;
    }
    const int index = m_files.open(
        name, swapped ? SheetFileType::TocAudioSwapped : SheetFileType::TocAudio, offset);
    const qint64 start = dataFile ? 0 : takeLength(QStringLiteral("FILE"));
    qint64 frames = nextIsLength() ? takeLength(QStringLiteral("FILE")) : 0;
    // No length (or 0): up to the file's end.
    if (frames == 0)
        frames = std::max<qint64>(0, m_builder.file(index).frames() - start);
    m_builder.audio(index, start, frames);
}

void TocReader::cdText(SheetTexts& texts)
{
    if (take().kind != Token::Kind::Open)
        fail(QStringLiteral("CD_TEXT needs a { block }"));
    bool languageTaken = false;
    while (peek().kind != Token::Kind::Close) {
        const Token& token = take();
        if (token.kind == Token::Kind::End)
            fail(QStringLiteral("CD_TEXT is not closed"));
        if (token.text == "LANGUAGE_MAP") {
            skipBlock(1);
            continue;
        }
        if (token.text != "LANGUAGE" || take().kind != Token::Kind::Word ||
            take().kind != Token::Kind::Open)
            fail(QStringLiteral("CD_TEXT holds LANGUAGE_MAP and LANGUAGE n { } blocks"));
        // The texts of the first language are the disc's.
        const bool keep = !languageTaken;
        languageTaken = true;
        while (peek().kind != Token::Kind::Close) {
            const Token& item = take();
            if (item.kind == Token::Kind::End)
                fail(QStringLiteral("CD_TEXT is not closed"));
            if (item.kind != Token::Kind::Word)
                fail(QStringLiteral("a CD-Text item is expected"));
            if (peek().kind == Token::Kind::Open) {
                skipBlock(2); // binary items: SIZE_INFO, TOC_INFO1, GENRE as codes
                continue;
            }
            const QString value = takeString(QString::fromLatin1(item.text));
            if (!keep)
                continue;
            if (item.text == "TITLE")
                texts.title = value;
            else if (item.text == "PERFORMER")
                texts.performer = value;
            else if (item.text == "SONGWRITER")
                texts.songwriter = value;
            else if (item.text == "GENRE" && &texts == &m_builder.layout().discTexts)
                m_builder.layout().genre = value;
        }
        take();
    }
    take();
}

void TocReader::skipBlock(int depth)
{
    if (depth > MaxNesting)
        fail(QStringLiteral("braces nest too deep"));
    if (take().kind != Token::Kind::Open)
        fail(QStringLiteral("a { block } is expected"));
    for (;;) {
        const Token::Kind kind = peek().kind;
        if (kind == Token::Kind::End)
            fail(QStringLiteral("a { block } is not closed"));
        if (kind == Token::Kind::Close)
            break;
        if (kind == Token::Kind::Open)
            skipBlock(depth + 1);
        else
            take();
    }
    take();
}

} // namespace

ImageLayout readTocFile(const QString& sheet, const QByteArray& text)
{
    ImageLayoutBuilder builder(sheet);
    TocReader(sheet, text, builder).read();
    return builder.finish();
}
