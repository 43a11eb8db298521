#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

/// A sheet is a few kilobytes; anything far larger is no sheet.
inline constexpr qint64 MaxSheetBytes = 1 << 20;

/// Text bytes of a sheet: UTF-8 (a byte order mark is dropped) where they are valid UTF-8, else
/// ISO-8859-1.
QString decodeSheetText(const QByteArray& bytes);

/// The lines of a text, their ends (LF, CR LF or CR) left off.
QStringList sheetLines(const QString& text);

/// Sectors of an "mm:ss:ff" time (frames 0 .. 74, seconds 0 .. 59); -1 when it is none.
qint64 parseMsf(QStringView text);

/// A whole decimal number of at most digits digits; -1 when it is none.
qint64 parseCount(QStringView text, int digits = 9);
