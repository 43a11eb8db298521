#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

/// The texts of an ID3 version 2.3 tag, each written into its own frame.
struct ID3StructV2
{
    QString Title;   // TIT2
    QString Artist;  // TPE1
    QString Album;   // TALB
    QString Year;    // TYER
    QString Track;   // TRCK
    QString Comment; // COMM, language "eng", empty description
    QString Genre;   // TCON, the genre's name
    // Written after the seven only when set, so a tag without them stays as it was.
    QString AlbumArtist;                      // TPE2
    QString PartOfSet;                        // TPOS, "1/2"
    QList<QPair<QString, QString>> UserTexts; // TXXX, description and value
    QByteArray Picture;                       // APIC, the front cover
    QString PictureType;                      // its MIME type
};

/// Texts longer than this many characters are cut.
inline constexpr qsizetype ID3MaxTextLength = 255;

/// The complete tag: header, the frames TIT2 TPE1 TALB TRCK TYER TCON COMM (every one, also when
/// empty), then TPE2, TPOS, the TXXX frames and APIC (picture type 3, front cover) when set, 10
/// bytes of padding. A text ISO-8859-1 can hold is stored in it under encoding 0, any other as
/// UTF-16 with a byte-order mark under encoding 1.
QByteArray ID3TagImage(const ID3StructV2& tag);

/// Puts the tag at the start of the file at path, in front of its audio; ID3v2 tags already at
/// the start are replaced. The file is rewritten through a sibling, so a failure leaves it as it
/// was; afterwards it is writable by its owner. Throws ComponentError "Cannot open <file>:
/// <reason>" or "Cannot write <path>: <reason>".
void WriteID3Tag(const QString& path, const ID3StructV2& tag);
