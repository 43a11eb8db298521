#pragma once

#include "ImageLayout.h"

#include <QByteArray>
#include <QString>

/// The disc a cdrdao TOC file describes: CD_DA, CD_ROM or CD_ROM_XA, CATALOG, CD_TEXT blocks
/// of the disc and its tracks, audio and data tracks with their flags, ISRC, FILE/AUDIOFILE,
/// SILENCE, ZERO, DATAFILE, START, PREGAP and INDEX statements; names relative to the TOC's
/// folder. sheet is the file's path, text its bytes. Throws ComponentError naming the file and
/// line of what is wrong.
ImageLayout readTocFile(const QString& sheet, const QByteArray& text);
