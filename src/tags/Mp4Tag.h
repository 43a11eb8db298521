#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

/// The items written into an MP4 (.m4a) file. An empty text or a 0 number removes its item, so
/// writing the record again leaves exactly what it holds.
struct Mp4Tag
{
    QString title;       // ©nam
    QString artist;      // ©ART
    QString albumArtist; // aART
    QString album;       // ©alb
    QString date;        // ©day
    QString genre;       // ©gen
    QString comment;     // ©cmt
    int trackNumber = 0; // trkn, with trackTotal
    int trackTotal = 0;
    int discNumber = 0; // disk, with discTotal
    int discTotal = 0;
    /// Free-form texts, "----:com.apple.iTunes:" and the name.
    QList<QPair<QString, QString>> freeForm;
    QByteArray picture; // covr, the front cover
    QString pictureType;
};

/// Sets the items of tag in the MP4 file at path (other items, the gapless information among
/// them, stay). The file is edited in memory and written into a sibling that replaces it in one
/// rename and takes its permission bits, so a failure leaves it as it was. Throws
/// ComponentError "Cannot open <file>: <reason>" when it cannot be read or is no MP4 file, and
/// "Cannot write <file>: <reason>" when it cannot be rewritten ("No space left on device" on a
/// full disk).
void writeMp4Tags(const QString& path, const Mp4Tag& tag);
