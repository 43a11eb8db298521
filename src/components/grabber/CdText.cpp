#include "CdText.h"

#include <cdio/cdtext.h>

#include <QStringDecoder>

#include <algorithm>

namespace {

QString field(const cdtext_t* text, cdtext_field_t key, int track)
{
    const char* value = cdtext_get_const(text, key, static_cast<track_t>(track));
    return value ? fromCdText(QByteArray(value)).trimmed() : QString();
}

bool fitsLatin1(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

} // namespace

QString fromCdText(const QByteArray& utf8)
{
    const QString text = QString::fromUtf8(utf8);
    if (!fitsLatin1(text))
        return text;
    // Read as ISO-8859-1 once more: if those bytes are themselves valid UTF-8 with accented
    // characters, the source was UTF-8 already and libcdio's conversion doubled it.
    const QByteArray original = text.toLatin1();
    QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString redecoded = strict(original);
    if (strict.hasError() || redecoded.size() == text.size())
        return text;
    return redecoded;
}

QList<TrackTexts> readCdText(CdIo_t* device, const QList<TocTrack>& audioTracks)
{
    cdtext_t* text = cdio_get_cdtext(device);
    if (!text)
        return {};
    const QString album = field(text, CDTEXT_FIELD_TITLE, 0);
    const QString discPerformer = field(text, CDTEXT_FIELD_PERFORMER, 0);
    const QString genre = field(text, CDTEXT_FIELD_GENRE, 0);
    QList<TrackTexts> texts;
    for (const TocTrack& track : audioTracks) {
        const QString performer = field(text, CDTEXT_FIELD_PERFORMER, track.number);
        texts.append({field(text, CDTEXT_FIELD_TITLE, track.number),
                      performer.isEmpty() ? discPerformer : performer,
                      album,
                      genre,
                      {},
                      discPerformer});
    }
    return texts;
}
