#pragma once

#include <QByteArray>
#include <QString>

/// The largest cover picture that is taken.
inline constexpr qsizetype MaxCoverBytes = 10 * 1024 * 1024;

/// "image/jpeg" or "image/png" when bytes is a picture of that kind whose header parses (a
/// frame size above zero) and that is at most MaxCoverBytes long; empty for anything else.
QString coverImageType(const QByteArray& bytes);

/// A picture's size as its header gives it; zeros when it does not parse.
struct CoverImageSize
{
    quint32 width = 0;
    quint32 height = 0;
    quint32 depth = 0; // bits per pixel
};
CoverImageSize coverImageSize(const QByteArray& bytes);

/// The file-name extension for a picture of that type: ".jpg" or ".png".
QString coverImageExtension(const QString& type);
