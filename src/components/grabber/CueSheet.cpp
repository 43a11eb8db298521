#include "CueSheet.h"

#include "ImageFiles.h"
#include "SheetText.h"
#include "base/ComponentError.h"

#include <algorithm>

namespace {

constexpr int FramesPerSector = ImageLayoutBuilder::FramesPerSector;
constexpr int AudioSectorBytes = 2352;

/// The first word of a line and what follows it.
struct Statement
{
    QString command; // upper case
    QString rest;    // trimmed
};

qsizetype indexOfBlank(const QString& text, qsizetype from = 0)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text.at(i).isSpace())
            return i;
    }
    return -1;
}

Statement split(const QString& line)
{
    const QString text = line.trimmed();
    const qsizetype end = indexOfBlank(text);
    return end < 0 ? Statement{text.toUpper(), {}}
                   : Statement{text.left(end).toUpper(), text.mid(end).trimmed()};
}

/// A value of a statement: quoted (up to the line's last quote, so quotes inside survive) or
/// one word; after is what follows it.
QString takeValue(const Statement& statement, QString* after = nullptr)
{
    const QString& rest = statement.rest;
    if (rest.startsWith(u'"')) {
        const qsizetype close = rest.lastIndexOf(u'"');
        if (close > 0) {
            if (after)
                *after = rest.mid(close + 1).trimmed();
            return rest.mid(1, close - 1);
        }
        if (after)
            after->clear();
        return rest.mid(1);
    }
    if (!after)
        return rest;
    const qsizetype blank = indexOfBlank(rest);
    *after = blank < 0 ? QString() : rest.mid(blank + 1).trimmed();
    return blank < 0 ? rest : rest.left(blank);
}

/// Bytes a sector of the track mode takes in its file; 0 for a mode no image holds.
int sectorBytesOf(const QString& mode)
{
    static const QList<std::pair<QString, int>> modes = {
        {QStringLiteral("AUDIO"), 2352},      {QStringLiteral("MODE1/2048"), 2048},
        {QStringLiteral("MODE1/2352"), 2352}, {QStringLiteral("MODE2/2048"), 2048},
        {QStringLiteral("MODE2/2324"), 2324}, {QStringLiteral("MODE2/2336"), 2336},
        {QStringLiteral("MODE2/2352"), 2352}, {QStringLiteral("CDI/2336"), 2336},
        {QStringLiteral("CDI/2352"), 2352},
    };
    for (const auto& [name, bytes] : modes) {
        if (name == mode)
            return bytes;
    }
    return 0;
}

bool isIsrc(const QString& code)
{
    return code.size() == 12 && std::all_of(code.begin(), code.end(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
                      (c >= u'a' && c <= u'z');
           });
}

/// Reads the statements of a cue sheet one after the other into the layout builder.
class CueReader final
{
public:
    CueReader(const QString& sheet, ImageLayoutBuilder& builder)
        : m_builder(builder), m_files(sheet, builder)
    {
    }

    void take(const QString& line);
    void end();
    bool namedAFile() const { return m_file >= 0; }

private:
    void file(const Statement& statement);
    void track(const Statement& statement);
    void index(const Statement& statement);
    void flags(const Statement& statement);
    void text(const Statement& statement);
    void remark(const Statement& statement);
    qint64 time(const QString& text, const QString& what) const;
    void needTrack(const QString& command) const;

    /// Takes the current file's sectors up to sector end into the layout.
    void flowTo(qint64 end);
    void flowToFileEnd();

    ImageLayoutBuilder& m_builder;
    ImageFileOpener m_files;
    int m_file = -1;
    bool m_fileHoldsOnlyAudio = false;
    int m_fileSectorBytes = 0;  // 0: no track has said yet
    qint64 m_cursor = 0;        // the first sector of the file not taken yet
    bool m_flowingAudio = true; // what the sectors that flow now belong to
    int m_lastTrack = 0;
    int m_lastIndex = -1; // of the current track; -1: none yet
    qint64 m_pregap = 0;
    qint64 m_postgap = 0; // of the track before, placed where the next one starts
};

void CueReader::take(const QString& line)
{
    const Statement statement = split(line);
    const QString& command = statement.command;
    if (command.isEmpty())
        return;
    if (command == u"FILE")
        file(statement);
    else if (command == u"TRACK")
        track(statement);
    else if (command == u"INDEX")
        index(statement);
    else if (command == u"PREGAP" || command == u"POSTGAP") {
        needTrack(command);
        const qint64 sectors = time(statement.rest, command);
        if (command == u"PREGAP") {
            if (m_lastIndex >= 0)
                m_builder.fail(QStringLiteral("PREGAP must come before the track's INDEX lines"));
            m_pregap = sectors;
        } else {
            if (m_lastIndex < 1)
                m_builder.fail(QStringLiteral("POSTGAP must come after the track's INDEX 01"));
            m_postgap = sectors;
        }
    } else if (command == u"FLAGS")
        flags(statement);
    else if (command == u"ISRC") {
        needTrack(command);
        const QString code = takeValue(statement);
        if (!isIsrc(code))
            m_builder.fail(QStringLiteral("ISRC %1 is not 12 letters and digits").arg(code));
        m_builder.currentTrack().isrc = code.toUpper();
    } else if (command == u"CATALOG") {
        const QString catalog = takeValue(statement);
        if (parseCount(catalog, 13) < 0 || catalog.size() != 13)
            m_builder.fail(QStringLiteral("CATALOG %1 is not 13 digits").arg(catalog));
        m_builder.layout().toc.catalog = catalog;
    } else if (command == u"TITLE" || command == u"PERFORMER" || command == u"SONGWRITER" ||
               command == u"GENRE")
        text(statement);
    else if (command == u"REM")
        remark(statement);
    else if (command == u"CDTEXTFILE" || command == u"COMPOSER" || command == u"ARRANGER" ||
             command == u"MESSAGE" || command == u"DISC_ID" || command == u"UPC_EAN" ||
             command == u"TOC_INFO1" || command == u"TOC_INFO2" || command == u"SIZE_INFO")
        return; // CD-Text the grabber has no place for
    else
        m_builder.fail(QStringLiteral("unknown command %1").arg(command.left(40)));
}

void CueReader::needTrack(const QString& command) const
{
    if (!m_builder.inTrack())
        m_builder.fail(QStringLiteral("%1 comes before any TRACK").arg(command));
}

qint64 CueReader::time(const QString& text, const QString& what) const
{
    const qint64 sectors = parseMsf(text);
    if (sectors < 0)
        m_builder.fail(
            QStringLiteral("%1 needs a time as mm:ss:ff, not \"%2\"").arg(what, text.left(40)));
    return sectors;
}

void CueReader::file(const Statement& statement)
{
    QString type;
    QString name;
    if (statement.rest.startsWith(u'"')) {
        name = takeValue(statement, &type);
    } else {
        // An unquoted name may hold blanks: it runs up to the type, the line's last word.
        qsizetype blank = -1;
        for (qsizetype at = indexOfBlank(statement.rest); at >= 0;
             at = indexOfBlank(statement.rest, at + 1))
            blank = at;
        name = blank < 0 ? QString() : statement.rest.left(blank).trimmed();
        type = blank < 0 ? statement.rest : statement.rest.mid(blank + 1);
    }
    type = type.toUpper();
    if (name.isEmpty())
        m_builder.fail(QStringLiteral("FILE names no file"));
    SheetFileType kind = SheetFileType::Binary;
    if (type == u"BINARY")
        kind = SheetFileType::Binary;
    else if (type == u"MOTOROLA")
        kind = SheetFileType::Motorola;
    else if (type == u"WAVE" || type == u"FLAC")
        kind = SheetFileType::Audio;
    else if (type == u"MP3" || type == u"AIFF")
        m_builder.fail(
            QStringLiteral("%1 is an %2 file, which cannot be read as CD audio").arg(name, type));
    else
        m_builder.fail(
            QStringLiteral("FILE %1 has no type BINARY, MOTOROLA, WAVE or FLAC").arg(name));
    if (m_file >= 0)
        flowToFileEnd();
    m_file = m_files.open(name, kind);
    m_fileHoldsOnlyAudio = kind == SheetFileType::Audio;
    m_fileSectorBytes = m_fileHoldsOnlyAudio ? AudioSectorBytes : 0;
    m_cursor = 0;
}

void CueReader::track(const Statement& statement)
{
    QString mode;
    const qint64 number = parseCount(takeValue(statement, &mode), 2);
    mode = mode.toUpper();
    if (m_file < 0)
        m_builder.fail(QStringLiteral("TRACK comes before any FILE; the sheet names no data file"));
    if (number < 1 || number > 99)
        m_builder.fail(QStringLiteral("TRACK needs a number from 1 to 99"));
    if (m_lastTrack > 0 && number != m_lastTrack + 1)
        m_builder.fail(QStringLiteral("track %1 follows track %2").arg(number).arg(m_lastTrack));
    if (m_lastTrack > 0 && m_lastIndex < 1)
        m_builder.fail(QStringLiteral("track %1 has no INDEX 01").arg(m_lastTrack));
    const int bytes = sectorBytesOf(mode);
    if (bytes == 0)
        m_builder.fail(QStringLiteral("track %1 has a mode no image can hold (%2)")
                           .arg(number)
                           .arg(mode.left(20)));
    const bool audio = mode == u"AUDIO";
    if (m_fileHoldsOnlyAudio && !audio)
        m_builder.fail(QStringLiteral("data track %1 lies in an audio file").arg(number));
    if (m_fileSectorBytes != 0 && m_fileSectorBytes != bytes)
        m_builder.fail(
            QStringLiteral("track %1 has sectors of %2 bytes in a file with sectors of %3")
                .arg(number)
                .arg(bytes)
                .arg(m_fileSectorBytes));
    m_fileSectorBytes = bytes;
    m_builder.beginTrack(static_cast<int>(number), audio);
    m_lastTrack = static_cast<int>(number);
    m_lastIndex = -1;
    m_pregap = 0;
}

void CueReader::index(const Statement& statement)
{
    needTrack(QStringLiteral("INDEX"));
    QString at;
    const qint64 number = parseCount(takeValue(statement, &at), 2);
    if (number < 0 || number > 99)
        m_builder.fail(QStringLiteral("INDEX needs a number from 0 to 99"));
    if (m_lastIndex < 0 ? number > 1 : number != m_lastIndex + 1)
        m_builder.fail(QStringLiteral("INDEX %1 is out of order").arg(number, 2, 10, QChar(u'0')));
    const qint64 sector = time(at, QStringLiteral("INDEX"));
    if (sector < m_cursor)
        m_builder.fail(QStringLiteral("INDEX %1 lies before the sheet's last position in its file")
                           .arg(number, 2, 10, QChar(u'0')));
    flowTo(sector);
    if (m_lastIndex < 0) {
        m_builder.silence(m_postgap * FramesPerSector);
        m_postgap = 0;
        m_builder.markTrackStart();
        m_flowingAudio = m_builder.currentTrackIsAudio();
    }
    if (number == 1) {
        m_builder.silence(m_pregap * FramesPerSector);
        m_builder.markIndex01();
    }
    m_lastIndex = static_cast<int>(number);
}

void CueReader::flags(const Statement& statement)
{
    needTrack(QStringLiteral("FLAGS"));
    TocTrack& track = m_builder.currentTrack();
    for (const QString& flag : statement.rest.toUpper().simplified().split(u' ')) {
        if (flag == u"PRE")
            track.preEmphasis = true;
        else if (flag != u"DCP" && flag != u"4CH" && flag != u"SCMS" && flag != u"DATA")
            m_builder.fail(QStringLiteral("unknown flag %1").arg(flag.left(20)));
    }
}

void CueReader::text(const Statement& statement)
{
    const QString value = takeValue(statement);
    const QString& command = statement.command;
    if (command == u"GENRE") {
        if (m_builder.layout().genre.isEmpty())
            m_builder.layout().genre = value;
        return;
    }
    SheetTexts& texts =
        m_builder.inTrack() ? m_builder.currentTexts() : m_builder.layout().discTexts;
    QString& field = command == u"TITLE"       ? texts.title
                     : command == u"PERFORMER" ? texts.performer
                                               : texts.songwriter;
    field = value;
}

void CueReader::remark(const Statement& statement)
{
    if (m_builder.inTrack())
        return;
    const Statement remark = split(statement.rest);
    const QString value = takeValue(remark);
    ImageLayout& layout = m_builder.layout();
    if (remark.command == u"GENRE")
        layout.genre = value;
    else if (remark.command == u"DATE")
        layout.date = value;
    else if (remark.command == u"DISCID")
        layout.discId = value;
    else if (remark.command == u"COMMENT")
        layout.comment = value;
}

void CueReader::flowTo(qint64 end)
{
    const qint64 sectors = end - m_cursor;
    if (sectors <= 0)
        return;
    if (m_flowingAudio && (m_fileSectorBytes == 0 || m_fileSectorBytes == AudioSectorBytes))
        m_builder.audio(m_file, m_cursor * FramesPerSector, sectors * FramesPerSector);
    else
        m_builder.data(sectors * FramesPerSector);
    m_cursor = end;
}

void CueReader::flowToFileEnd()
{
    const ImageFile& file = m_builder.file(m_file);
    const int sectorBytes = m_fileSectorBytes == 0 ? AudioSectorBytes : m_fileSectorBytes;
    if (m_fileHoldsOnlyAudio) {
        const qint64 frames = file.frames() - m_cursor * FramesPerSector;
        if (frames > 0)
            m_builder.audio(m_file, m_cursor * FramesPerSector, frames);
        m_builder.padToSector();
    } else {
        // A raw file holds whole sectors; what is left of a cut one is no sector.
        flowTo(file.bytes / sectorBytes);
    }
}

void CueReader::end()
{
    if (m_file >= 0)
        flowToFileEnd();
    m_builder.silence(m_postgap * FramesPerSector);
}

} // namespace

ImageLayout readCueSheet(const QString& sheet, const QByteArray& text)
{
    ImageLayoutBuilder builder(sheet);
    CueReader reader(sheet, builder);
    const QStringList lines = sheetLines(decodeSheetText(text));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        builder.setLine(static_cast<int>(i + 1));
        reader.take(lines.at(i));
    }
    if (!reader.namedAFile())
        throw ComponentError(QStringLiteral("The disc image %1 names no data file.").arg(sheet));
    builder.setLine(static_cast<int>(lines.size()));
    reader.end();
    return builder.finish();
}
