#pragma once

#include "base/IFreeDBInformation2.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

/// The CDDB protocol's pieces that need no network: the disc id, the commands, and the reading of
/// the server's answers and of xmcd entries.
namespace Cddb {

/// The largest answer that is read; a real entry is a few kilobytes.
inline constexpr qsizetype MaxAnswerBytes = 256 * 1024;
/// The longest text an entry's field keeps.
inline constexpr qsizetype MaxFieldLength = 256;

/// The disc id of disc: digit sums of the track starts in seconds, the playing time and the
/// track count, as 32 bits.
quint32 discId(const FreeDBDisc& disc);
/// The id as the protocol writes it: 8 lower-case hexadecimal digits.
QString discIdText(quint32 id);

/// "cddb query <id> <count> <offsets…> <seconds>".
QString queryCommand(const FreeDBDisc& disc);
/// "cddb read <category> <id>".
QString readCommand(const QString& category, const QString& discId);

/// An answer's text: UTF-8 when the bytes are valid UTF-8, else ISO-8859-1.
QString decodeAnswer(const QByteArray& bytes);

/// An answer split into its code and lines: the first line's three-digit code and the lines
/// after it (up to the terminating "."), without line ends.
struct Answer
{
    int code = 0; // 0: no code could be read
    QString firstLine;
    QList<QString> lines;
    bool complete = false; // the terminating "." was seen
};
Answer parseAnswer(const QString& text);

/// One match of a query.
struct Match
{
    QString category;
    QString discId;
    QString title; // "Artist / Album" as the server lists it
};
/// The matches of a query answer: one for 200, the listed ones for 210 and 211; none else.
QList<Match> parseMatches(const Answer& answer);

/// An entry's keys with their values, continued keys joined, in first-seen order.
using EntryKeys = QList<QPair<QString, QString>>;
/// The keys of the lines of an xmcd entry; comments and lines without a key are left out.
EntryKeys parseEntryKeys(const QList<QString>& lines);

/// The entry for disc from its keys; genre falls back to category. Titles past the disc's
/// tracks are left out. False when the keys name neither a disc title nor a track title.
bool entryFromKeys(const EntryKeys& keys, const FreeDBDisc& disc, const QString& category,
                   FreeDBEntry& entry);

/// A field's text as it is shown and stored: escapes (\n, \t, \\) resolved, control characters
/// as blanks, trimmed, at most MaxFieldLength characters.
QString cleanField(const QString& raw);
/// cleanField without the escapes: for texts that come unescaped (JSON).
QString cleanText(const QString& raw);

} // namespace Cddb
