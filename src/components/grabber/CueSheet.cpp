#include "components/grabber/CueSheet.h"

#include <QFile>

namespace {

// A line with its end (LF, CR LF or CR alone) left off.
QList<QByteArray> sheetLines(const QByteArray& sheet)
{
    QByteArray text = sheet;
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    return text.split('\n');
}

bool parseFileLine(const QByteArray& raw, CueFileLine& file)
{
    const QByteArray line = raw.trimmed();
    if (line.size() < 5 || qstrnicmp(line.constData(), "FILE", 4) != 0 ||
        !QChar::isSpace(static_cast<uchar>(line[4])))
        return false;
    const QByteArray rest = line.mid(5).trimmed();
    const qsizetype lastBlank = rest.lastIndexOf(' ') > rest.lastIndexOf('\t')
                                    ? rest.lastIndexOf(' ')
                                    : rest.lastIndexOf('\t');
    if (lastBlank <= 0)
        return false;
    QByteArray name = rest.left(lastBlank).trimmed();
    if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
        name = name.mid(1, name.size() - 2);
    if (name.isEmpty())
        return false;
    file.name = QFile::decodeName(name);
    file.type = QString::fromLatin1(rest.mid(lastBlank + 1)).toUpper();
    return true;
}

} // namespace

QList<CueFileLine> cueFileLines(const QByteArray& sheet)
{
    QList<CueFileLine> files;
    const QList<QByteArray> lines = sheetLines(sheet);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        CueFileLine file;
        file.line = i;
        if (parseFileLine(lines[i], file))
            files.append(file);
    }
    return files;
}

QByteArray withFileName(const QByteArray& sheet, const CueFileLine& file, const QString& name)
{
    QList<QByteArray> lines = sheetLines(sheet);
    if (file.line < lines.size())
        lines[file.line] = "FILE \"" + QFile::encodeName(name) + "\" " + file.type.toLatin1();
    return lines.join("\r\n");
}
