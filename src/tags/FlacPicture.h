#pragma once

#include <QByteArray>
#include <QString>

/// The body of a FLAC PICTURE metadata block for a front cover (picture type 3): MIME type,
/// empty description, the picture's width and height as its header gives them, and the bytes.
/// Vorbis comments carry it base64-encoded as METADATA_BLOCK_PICTURE.
QByteArray flacPictureBlock(const QByteArray& picture, const QString& mimeType);
