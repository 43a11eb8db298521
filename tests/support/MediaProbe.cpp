#include "support/MediaProbe.h"

#include <QProcess>

namespace {

constexpr int TimeoutMs = 60000;

struct Output
{
    bool ok = false;
    QByteArray out;
    QByteArray err;
};

Output run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    Output output;
    if (!process.waitForFinished(TimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return output;
    }
    output.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    output.out = process.readAllStandardOutput();
    output.err = process.readAllStandardError();
    return output;
}

} // namespace

namespace MediaProbe {

bool makeSine(const QString& path, const QStringList& outputArguments)
{
    const QStringList arguments = QStringList{QStringLiteral("-v"),
                                              QStringLiteral("error"),
                                              QStringLiteral("-y"),
                                              QStringLiteral("-f"),
                                              QStringLiteral("lavfi"),
                                              QStringLiteral("-i"),
                                              QStringLiteral("sine=f=440:d=1")} +
                                  outputArguments + QStringList{path};
    return run(QStringLiteral("ffmpeg"), arguments).ok;
}

TagList tags(const QString& path)
{
    const Output output =
        run(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("stream_tags:format_tags"), QStringLiteral("-of"),
             QStringLiteral("default=noprint_wrappers=1"), path});
    TagList result;
    const QString prefix = QStringLiteral("TAG:");
    for (const QString& line : QString::fromUtf8(output.out).split(u'\n')) {
        const qsizetype equals = line.indexOf(u'=');
        if (line.startsWith(prefix) && equals > 0)
            result.append({line.mid(prefix.size(), equals - prefix.size()), line.mid(equals + 1)});
    }
    return result;
}

QString tag(const TagList& tags, const QString& key)
{
    for (const auto& [name, value] : tags) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return QString();
}

QByteArray decodeBytes(const QString& path, QString* errors)
{
    const Output output =
        run(QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
             QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
    if (errors)
        *errors = QString::fromUtf8(output.err);
    return output.ok ? output.out : QByteArray();
}

} // namespace MediaProbe
