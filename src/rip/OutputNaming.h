#pragma once

#include "base/Utf8Names.h"
#include "rip/OutputFormatNumber.h"

#include <QString>
#include <QStringList>

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

/// text without the characters file names cannot hold: * ? | : " / \ < > and the control
/// characters (U+0000 to U+001F, U+007F to U+009F), which would reach terminals and file lists.
QString CleanFileName(const QString& text);

/// The name a track's file or folder is made from: text cleaned, without leading dots (which
/// would hide the file or name the folder itself) and without trailing blanks and dots (which some
/// file systems drop). Empty when nothing is left.
QString cleanNameStem(const QString& text);

/// The extension of an output format number (0 MP3, 1 WAV, 2 WMA, 3 Ogg Vorbis, 4 RealMedia,
/// 5 FLAC, 6 Opus, 7 AAC), with its dot; empty for any other number.
QString extensionForFormat(OutputFormatNumber outputFormat);

/// The stored output folder (Main/Path); the user's music folder when missing or empty.
QString storedOutputPath(const SettingsFile& settings);

/// Forms the output directory of a track below root after the scheme, creating each missing
/// level (one at a time, failures left to the grab that follows). Ends with a separator.
QString outputDirectory(const QString& root, int scheme, const QString& artist,
                        const QString& album);

/// The same below the stored output folder, read anew on every call.
QString outputDirectory(const SettingsFile& settings, int scheme, const QString& artist,
                        const QString& album);

/// directory with the folders below it, each made where missing as the scheme's are. Ends with
/// a separator.
QString outputSubfolder(const QString& directory, const QStringList& folders);

/// Whether a file already stands at path: anything but a directory, including a link that points
/// nowhere (writing through it would create a file elsewhere).
bool isTakenPath(const QString& path);

/// The base name of a track's file: its cleaned caption, or "Track" and the two-digit track
/// number when nothing of the caption is left. The caption is a title, not a file name, so a dot
/// in it is kept ("Mr. Blue Sky").
QString trackFileStem(const QString& caption, int trackNumber);

/// What a file-name template can put into a track's name.
struct TemplateFields
{
    int number = 0;      // the track's number; 0 for the audio hidden before track 1
    QString title;       // the row's caption
    QString artist;      // the track's artist
    QString albumArtist; // the disc's artist as a whole
    QString album;
    QString year;
    QString genre;
    int discNumber = 0; // of a set of several discs; 0 unknown
};

/// The name a template gives a track: sub-folders below the scheme's folder ('/' in the
/// template) and the file's stem, without its extension.
struct TemplateName
{
    QStringList folders;
    QString stem;
};

/// Fills the template: %N the number with two digits, %n the number, %T title, %A artist,
/// %B album artist, %L album, %Y year, %G genre, %D disc number, %% a percent sign; any other %
/// stays as it is. Each text put in is cleaned as names are (no separators, no control
/// characters), and each folder and the stem lose leading dots and trailing blanks and dots; an
/// empty folder adds no level. An empty template, or one that leaves no stem, gives the stem
/// the track's name would have without a template.
TemplateName applyFileTemplate(const QString& pattern, const TemplateFields& fields);

/// The output file path of a track: the file stem and extension, then "_01", "_02", … appended
/// to the stem while isTaken says the path is taken (by default: a file of that name exists).
/// Never an existing file.
QString outputFilePath(const QString& directory, const QString& caption, const QString& extension,
                       int trackNumber,
                       const std::function<bool(const QString&)>& isTaken = isTakenPath);
