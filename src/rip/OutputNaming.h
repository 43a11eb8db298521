#pragma once

#include "base/Utf8Names.h"

#include <QString>

#include <functional>

class SettingsFile;

/// The path separator of output paths: "/" here, "\" on Windows.
inline constexpr char16_t PathSeparator =
#ifdef Q_OS_WIN
    u'\\';
#else
    u'/';
#endif

/// Output folder schemes: which sub-folders below the output folder receive the files.
enum class FolderScheme { None = 0, Artist = 1, Album = 2, ArtistAlbum = 3 };

/// text without the characters file names cannot hold: * ? | : " / \ < >
QString CleanFileName(const QString& text);

/// The extension of an output format number (0 MP3, 1 WAV, 2 WMA, 3 Ogg Vorbis, 4 RealMedia),
/// with its dot; empty for any other number.
QString extensionForFormat(int outputFormat);

/// The stored output folder (Main/Path); the user's music folder when missing or empty.
QString storedOutputPath(const SettingsFile& settings);

/// Forms the output directory of a track below root after the scheme, creating each missing
/// level (one at a time, failures left to the grab that follows). Ends with a separator.
QString outputDirectory(const QString& root, int scheme, const QString& artist,
                        const QString& album);

/// The same below the stored output folder, read anew on every call.
QString outputDirectory(const SettingsFile& settings, int scheme, const QString& artist,
                        const QString& album);

/// The output file path for a row caption: the caption's extension replaced, then "_01", "_02", …
/// appended to the whole caption while a file of that name exists. Never an existing file.
QString outputFilePath(const QString& directory, const QString& caption, const QString& extension);

/// The same with the caller's test of a taken path (for paths promised to files not yet written).
QString outputFilePath(const QString& directory, const QString& caption, const QString& extension,
                       const std::function<bool(const QString&)>& isTaken);

/// Whether a file already stands at path: anything but a directory, including a link that points
/// nowhere (writing through it would create a file elsewhere).
bool isTakenPath(const QString& path);
