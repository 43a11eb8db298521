#pragma once

#include "ImageLayout.h"

#include <QByteArray>
#include <QString>

/// The disc a cue sheet describes: its FILE lines (BINARY, MOTOROLA, WAVE, FLAC; any number of
/// them, names relative to the sheet's folder), tracks with INDEX, PREGAP and POSTGAP, FLAGS,
/// ISRC, CATALOG, texts and the REM lines GENRE, DATE, DISCID and COMMENT. sheet is the sheet's
/// path, text its bytes. Throws ComponentError naming the sheet and line of what is wrong.
ImageLayout readCueSheet(const QString& sheet, const QByteArray& text);
