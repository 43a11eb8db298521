#include "tags/FlacTag.h"

#include "base/ComponentError.h"
#include "base/CoverImage.h"

#include <QFile>

#include <FLAC/metadata.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace {

struct ChainDeleter
{
    void operator()(FLAC__Metadata_Chain* chain) const { FLAC__metadata_chain_delete(chain); }
};
using ChainHandle = std::unique_ptr<FLAC__Metadata_Chain, ChainDeleter>;

struct IteratorDeleter
{
    void operator()(FLAC__Metadata_Iterator* it) const { FLAC__metadata_iterator_delete(it); }
};
using IteratorHandle = std::unique_ptr<FLAC__Metadata_Iterator, IteratorDeleter>;

struct MetadataDeleter
{
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};

[[noreturn]] void fail(const QString& path, const QString& reason)
{
    throw ComponentError(QStringLiteral("Cannot write comments to %1: %2").arg(path, reason));
}

QString chainError(FLAC__Metadata_Chain* chain)
{
    return QString::fromUtf8(FLAC__Metadata_ChainStatusString[FLAC__metadata_chain_status(chain)]);
}

/// The chain's comment block; a new one after STREAMINFO when the file has none.
FLAC__StreamMetadata* commentBlock(FLAC__Metadata_Chain* chain, const QString& path)
{
    IteratorHandle it(FLAC__metadata_iterator_new());
    if (!it)
        fail(path, QStringLiteral("out of memory"));
    FLAC__metadata_iterator_init(it.get(), chain);
    do {
        if (FLAC__metadata_iterator_get_block_type(it.get()) == FLAC__METADATA_TYPE_VORBIS_COMMENT)
            return FLAC__metadata_iterator_get_block(it.get());
    } while (FLAC__metadata_iterator_next(it.get()));
    FLAC__metadata_iterator_init(it.get(), chain);
    std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter> block(
        FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
    if (!block || !FLAC__metadata_iterator_insert_block_after(it.get(), block.get()))
        fail(path, QStringLiteral("out of memory"));
    return block.release(); // the chain owns it now
}

void setField(FLAC__StreamMetadata* block, const char* name, const QString& value,
              const QString& path)
{
    if (FLAC__metadata_object_vorbiscomment_remove_entries_matching(block, name) < 0)
        fail(path, QStringLiteral("out of memory"));
    if (value.isEmpty())
        return;
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    const QByteArray utf8 = value.toUtf8();
    if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name,
                                                                        utf8.constData()))
        fail(path, QStringLiteral("the text of %1 is no valid comment").arg(QLatin1String(name)));
    // copy false: the block takes the entry's memory.
    if (!FLAC__metadata_object_vorbiscomment_append_comment(block, entry, false)) {
        std::free(entry.entry);
        fail(path, QStringLiteral("out of memory"));
    }
}

constexpr FLAC__StreamMetadata_Picture_Type FrontCover =
    FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER;

// Removes the chain's front covers, then puts picture in one after the comment block.
void replaceFrontCover(FLAC__Metadata_Chain* chain, const QByteArray& picture,
                       const QString& mimeType, const QString& path)
{
    IteratorHandle it(FLAC__metadata_iterator_new());
    if (!it)
        fail(path, QStringLiteral("out of memory"));
    FLAC__metadata_iterator_init(it.get(), chain);
    bool more = true;
    while (more) {
        const FLAC__StreamMetadata* block = FLAC__metadata_iterator_get_block(it.get());
        if (block->type == FLAC__METADATA_TYPE_PICTURE && block->data.picture.type == FrontCover) {
            // Deleting moves the iterator back to the block before.
            FLAC__metadata_iterator_delete_block(it.get(), true);
        }
        more = FLAC__metadata_iterator_next(it.get());
    }
    std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter> block(
        FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE));
    QByteArray mime = mimeType.toLatin1();
    QByteArray description;
    if (!block || !FLAC__metadata_object_picture_set_mime_type(block.get(), mime.data(), true) ||
        !FLAC__metadata_object_picture_set_description(
            block.get(), reinterpret_cast<FLAC__byte*>(description.data()), true) ||
        !FLAC__metadata_object_picture_set_data(
            block.get(), reinterpret_cast<FLAC__byte*>(const_cast<char*>(picture.constData())),
            static_cast<FLAC__uint32>(picture.size()), true))
        fail(path, QStringLiteral("out of memory"));
    const CoverImageSize size = coverImageSize(picture);
    block->data.picture.type = FrontCover;
    block->data.picture.width = size.width;
    block->data.picture.height = size.height;
    block->data.picture.depth = size.depth;
    FLAC__metadata_iterator_init(it.get(), chain);
    while (FLAC__metadata_iterator_get_block_type(it.get()) != FLAC__METADATA_TYPE_VORBIS_COMMENT &&
           FLAC__metadata_iterator_next(it.get())) {
    }
    if (!FLAC__metadata_iterator_insert_block_after(it.get(), block.get()))
        fail(path, QStringLiteral("out of memory"));
    block.release(); // the chain owns it now
}

} // namespace

void writeFlacComments(const QString& path, const FlacTag& tag)
{
    ChainHandle chain(FLAC__metadata_chain_new());
    if (!chain)
        fail(path, QStringLiteral("out of memory"));
    const QByteArray name = QFile::encodeName(path);
    if (!FLAC__metadata_chain_read(chain.get(), name.constData()))
        fail(path, chainError(chain.get()));
    FLAC__StreamMetadata* block = commentBlock(chain.get(), path);
    const std::pair<const char*, const QString*> fields[] = {
        {"TITLE", &tag.title},           {"ARTIST", &tag.artist},
        {"ALBUM", &tag.album},           {"DATE", &tag.date},
        {"GENRE", &tag.genre},           {"TRACKNUMBER", &tag.trackNumber},
        {"TRACKTOTAL", &tag.trackTotal}, {"COMMENT", &tag.comment}};
    for (const auto& [field, value] : fields)
        setField(block, field, *value, path);
    for (const auto& [field, value] : tag.extra)
        setField(block, field.toLatin1().constData(), value, path);
    if (!tag.picture.isEmpty())
        replaceFrontCover(chain.get(), tag.picture, tag.pictureType, path);
    // Padding is used (and kept) so the comments take the room reserved for them; the file's
    // dates and permissions stay.
    if (!FLAC__metadata_chain_write(chain.get(), true, true))
        fail(path, chainError(chain.get()));
}
