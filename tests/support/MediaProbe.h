#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <ostream>

/// Lets GoogleTest print texts readably in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

/// Runs ffmpeg and ffprobe, the outside tools that make test audio and check what the program
/// wrote.
namespace MediaProbe {

using TagList = QList<QPair<QString, QString>>;

/// Encodes one second of a 440 Hz sine into path; outputArguments (codec, metadata, muxer
/// options) go in front of the output name. True when ffmpeg succeeded.
bool makeSine(const QString& path, const QStringList& outputArguments);

/// The tags ffprobe lists, in its order (those of the streams, then those of the container),
/// with their keys as stored.
TagList tags(const QString& path);

/// The value of the first tag named key (compared without case); a null string when none is.
QString tag(const TagList& tags, const QString& key);

/// The decoded audio as signed 16-bit samples. errors receives what ffmpeg reported as errors.
QByteArray decodeBytes(const QString& path, QString* errors = nullptr);

} // namespace MediaProbe
