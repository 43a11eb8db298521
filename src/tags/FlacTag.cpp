#include "tags/FlacTag.h"

#include "base/ComponentError.h"
#include "base/CoverImage.h"
#include "tags/SafeRewrite.h"

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

QString cannotWrite(const QString& path)
{
    return QStringLiteral("Cannot write comments to ") + path;
}

[[noreturn]] void fail(const QString& path, const QString& reason)
{
    throw ComponentError(cannotWrite(path) + QStringLiteral(": ") + reason);
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

void applyTag(FLAC__Metadata_Chain* chain, const FlacTag& tag, const QString& path)
{
    FLAC__StreamMetadata* block = commentBlock(chain, path);
    const std::pair<const char*, const QString*> fields[] = {{"TITLE", &tag.title},
                                                             {"ARTIST", &tag.artist},
                                                             {"ALBUM", &tag.album},
                                                             {"ALBUMARTIST", &tag.albumArtist},
                                                             {"DATE", &tag.date},
                                                             {"GENRE", &tag.genre},
                                                             {"TRACKNUMBER", &tag.trackNumber},
                                                             {"TRACKTOTAL", &tag.trackTotal},
                                                             {"COMMENT", &tag.comment}};
    for (const auto& [field, value] : fields)
        setField(block, field, *value, path);
    for (const auto& [field, value] : tag.extra)
        setField(block, field.toLatin1().constData(), value, path);
    if (!tag.picture.isEmpty())
        replaceFrontCover(chain, tag.picture, tag.pictureType, path);
}

// libFLAC's I/O over a QFile.
QFile& fileOf(FLAC__IOHandle handle)
{
    return *static_cast<QFile*>(handle);
}

size_t readFile(void* data, size_t size, size_t count, FLAC__IOHandle handle)
{
    if (size == 0 || count == 0)
        return 0;
    const qint64 read =
        fileOf(handle).read(static_cast<char*>(data), static_cast<qint64>(size * count));
    return read < 0 ? 0 : static_cast<size_t>(read) / size;
}

size_t writeFile(const void* data, size_t size, size_t count, FLAC__IOHandle handle)
{
    if (size == 0 || count == 0)
        return 0;
    const qint64 written =
        fileOf(handle).write(static_cast<const char*>(data), static_cast<qint64>(size * count));
    return written < 0 ? 0 : static_cast<size_t>(written) / size;
}

int seekFile(FLAC__IOHandle handle, FLAC__int64 offset, int whence)
{
    QFile& file = fileOf(handle);
    const qint64 base = whence == SEEK_CUR ? file.pos() : whence == SEEK_END ? file.size() : 0;
    return file.seek(base + offset) ? 0 : -1;
}

FLAC__int64 tellFile(FLAC__IOHandle handle)
{
    return fileOf(handle).pos();
}

int atEndOfFile(FLAC__IOHandle handle)
{
    return fileOf(handle).atEnd() ? 1 : 0;
}

constexpr FLAC__IOCallbacks FileCallbacks{&readFile, &writeFile,   &seekFile,
                                          &tellFile, &atEndOfFile, nullptr};

// Padding is used (and kept) so the comments take the room reserved for them; the file's dates
// and permissions stay.
void writeInPlace(const QString& path, const FlacTag& tag)
{
    ChainHandle chain(FLAC__metadata_chain_new());
    if (!chain)
        fail(path, QStringLiteral("out of memory"));
    const QByteArray name = QFile::encodeName(path);
    if (!FLAC__metadata_chain_read(chain.get(), name.constData()))
        fail(path, chainError(chain.get()));
    applyTag(chain.get(), tag, path);
    if (!FLAC__metadata_chain_write(chain.get(), true, true))
        fail(path, chainError(chain.get()));
}

// The sibling receives either the whole new file from libFLAC, or a copy of the file whose
// metadata libFLAC then rewrites in place when the padding has room.
void writeThroughSibling(const QString& path, const FlacTag& tag)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        fail(path, input.errorString());
    ChainHandle chain(FLAC__metadata_chain_new());
    if (!chain)
        fail(path, QStringLiteral("out of memory"));
    if (!FLAC__metadata_chain_read_with_callbacks(chain.get(), &input, FileCallbacks))
        fail(path, chainError(chain.get()));
    applyTag(chain.get(), tag, path);

    SafeRewrite rewrite(path, cannotWrite(path));
    QFile& sibling = rewrite.file();
    bool written = false;
    if (FLAC__metadata_chain_check_if_tempfile_needed(chain.get(), true)) {
        written = FLAC__metadata_chain_write_with_callbacks_and_tempfile(
            chain.get(), true, &input, FileCallbacks, &sibling, FileCallbacks);
    } else {
        if (!input.seek(0))
            fail(path, input.errorString());
        rewrite.append(input);
        written =
            FLAC__metadata_chain_write_with_callbacks(chain.get(), true, &sibling, FileCallbacks);
    }
    if (!written)
        fail(path, sibling.error() != QFileDevice::NoError ? sibling.errorString()
                                                           : chainError(chain.get()));
    rewrite.commit(input.permissions());
}

} // namespace

void writeFlacComments(const QString& path, const FlacTag& tag, FlacTagWrite how)
{
    if (how == FlacTagWrite::ThroughSibling)
        writeThroughSibling(path, tag);
    else
        writeInPlace(path, tag);
}
