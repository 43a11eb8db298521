#include "tags/VcEdit.h"

#include "base/ComponentError.h"
#include "tags/SafeRewrite.h"

#include <QByteArray>
#include <QIODevice>
#include <QtEndian>

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <cstring>
#include <optional>

namespace {

constexpr int ReadChunkSize = 1 << 16;
constexpr int PageSequenceOffset = 18;

// Thrown with the reason alone; open() and write() put what failed in front of it.
[[noreturn]] void fail(const char* reason)
{
    throw ComponentError(QString::fromLatin1(reason));
}

class OggSync final
{
public:
    OggSync() { ogg_sync_init(&state); }
    ~OggSync() { ogg_sync_clear(&state); }
    Q_DISABLE_COPY_MOVE(OggSync)

    ogg_sync_state state;
};

class OggStream final
{
public:
    explicit OggStream(int serial) { ogg_stream_init(&state, serial); }
    ~OggStream() { ogg_stream_clear(&state); }
    Q_DISABLE_COPY_MOVE(OggStream)

    // Segments of the pages read so far that no packet taken out has covered yet.
    bool holdsMoreData() const { return state.lacing_returned != state.lacing_fill; }

    ogg_stream_state state;
};

class VorbisHeaderState final
{
public:
    VorbisHeaderState()
    {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~VorbisHeaderState()
    {
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
    Q_DISABLE_COPY_MOVE(VorbisHeaderState)

    void take(ogg_packet& packet, const char* failure)
    {
        if (vorbis_synthesis_headerin(&info, &comment, &packet) != 0)
            fail(failure);
    }

    vorbis_info info;
    vorbis_comment comment;
};

struct PacketClear
{
    void operator()(ogg_packet* packet) const { ogg_packet_clear(packet); }
};

// Hands out the pages of the input one by one. Bytes that do not form a page end the reading:
// a rewrite must not drop parts of a file silently.
class PageReader final
{
public:
    explicit PageReader(QIODevice& input) : m_input(input) {}

    /// False at the end of the input.
    bool next(ogg_page& page)
    {
        while (true) {
            const int result = ogg_sync_pageout(&m_sync.state, &page);
            if (result == 1)
                return true;
            if (result < 0)
                fail("damaged Ogg data");
            if (!readMore())
                return false;
        }
    }

private:
    bool readMore()
    {
        char* buffer = ogg_sync_buffer(&m_sync.state, ReadChunkSize);
        const qint64 read = m_input.read(buffer, ReadChunkSize);
        if (read < 0)
            throw ComponentError(m_input.errorString());
        if (read == 0) {
            if (m_sync.state.fill > m_sync.state.returned)
                fail("the stream ends inside a page");
            return false;
        }
        ogg_sync_wrote(&m_sync.state, static_cast<long>(read));
        return true;
    }

    QIODevice& m_input;
    OggSync m_sync;
};

enum class Codec { Vorbis, Opus };

// The header packets of one link (three for Vorbis, two for Opus) but the comments, and how many
// pages carried them.
struct LinkHeaders
{
    int serial = 0;
    Codec codec = Codec::Vorbis;
    QByteArray identification;
    QByteArray setup;      // Vorbis
    QByteArray vendor;     // Opus: the comment header's vendor text
    QByteArray opusBinary; // Opus: binary data after the comments, kept as it is
    bool endsStream = false;
    long pages = 0;
};

constexpr char OpusHeadMagic[] = "OpusHead";
constexpr char OpusTagsMagic[] = "OpusTags";
constexpr qsizetype OpusMagicSize = 8;

bool startsWith(const ogg_packet& packet, const char* magic)
{
    return packet.bytes >= OpusMagicSize &&
           std::memcmp(packet.packet, magic, static_cast<std::size_t>(OpusMagicSize)) == 0;
}

// Reads the comment header of an Opus link: its vendor text and binary tail into link, its
// comments into comments. False when it is damaged.
bool readOpusTags(const ogg_packet& packet, LinkHeaders& link, vorbis_comment& comments)
{
    if (!startsWith(packet, OpusTagsMagic))
        return false;
    const auto* data = reinterpret_cast<const char*>(packet.packet);
    const qint64 size = packet.bytes;
    qint64 at = OpusMagicSize;
    const auto field = [&](QByteArray& out) {
        if (size - at < 4)
            return false;
        const quint32 length = qFromLittleEndian<quint32>(data + at);
        at += 4;
        if (static_cast<quint64>(size - at) < length)
            return false;
        out = QByteArray(data + at, static_cast<qsizetype>(length));
        at += length;
        return true;
    };
    if (!field(link.vendor) || size - at < 4)
        return false;
    const quint32 count = qFromLittleEndian<quint32>(data + at);
    at += 4;
    for (quint32 i = 0; i < count; ++i) {
        QByteArray comment;
        if (!field(comment))
            return false;
        vorbis_comment_add(&comments, comment.constData());
    }
    // Data after the comments is kept only when it says it is meant to be (lowest bit set).
    if (at < size && (data[at] & 1))
        link.opusBinary = QByteArray(data + at, static_cast<qsizetype>(size - at));
    return true;
}

void appendLittleEndian32(QByteArray& bytes, quint32 value)
{
    char le[4];
    qToLittleEndian(value, le);
    bytes.append(le, 4);
}

QByteArray opusTagsPacket(const LinkHeaders& link, const vorbis_comment& comments)
{
    QByteArray packet(OpusTagsMagic, OpusMagicSize);
    appendLittleEndian32(packet, static_cast<quint32>(link.vendor.size()));
    packet += link.vendor;
    appendLittleEndian32(packet, static_cast<quint32>(comments.comments));
    for (int i = 0; i < comments.comments; ++i) {
        appendLittleEndian32(packet, static_cast<quint32>(comments.comment_lengths[i]));
        packet.append(comments.user_comments[i], comments.comment_lengths[i]);
    }
    return packet + link.opusBinary;
}

QByteArray bytesOf(const ogg_packet& packet)
{
    return QByteArray(reinterpret_cast<const char*>(packet.packet), packet.bytes);
}

ogg_packet packetOf(QByteArray& bytes, ogg_int64_t number)
{
    ogg_packet packet{};
    packet.packet = reinterpret_cast<unsigned char*>(bytes.data());
    packet.bytes = bytes.size();
    packet.b_o_s = number == 0;
    packet.packetno = number;
    return packet;
}

QByteArray commentHeader(vorbis_comment& comment)
{
    ogg_packet packet;
    if (vorbis_commentheader_out(&comment, &packet) != 0)
        return {};
    const std::unique_ptr<ogg_packet, PacketClear> owner(&packet);
    return bytesOf(packet);
}

void writePage(QIODevice& output, const ogg_page& page)
{
    const QString failure = QStringLiteral("error writing the new stream");
    writeFully(output, reinterpret_cast<const char*>(page.header), page.header_len, failure);
    writeFully(output, reinterpret_cast<const char*>(page.body), page.body_len, failure);
}

void setPageSequence(ogg_page& page, long sequence)
{
    for (int i = 0; i < 4; ++i)
        page.header[PageSequenceOffset + i] = static_cast<unsigned char>(sequence >> (8 * i));
    ogg_page_checksum_set(&page);
}

} // namespace

struct VcEdit::Private
{
    void readHeaders(ogg_page& first, LinkHeaders& link, VorbisHeaderState& vorbis);
    void readVorbisHeaders(OggStream& stream, ogg_packet& packet, LinkHeaders& link,
                           VorbisHeaderState& vorbis);
    void nextHeaderPacket(OggStream& stream, ogg_packet& packet, LinkHeaders& link);
    void writeLink(const LinkHeaders& link);
    long writeHeaders(const LinkHeaders& link);
    long flushPages(OggStream& stream);
    void copyAudioPages(const LinkHeaders& link, long sequenceShift);
    bool readNextLink(LinkHeaders& link);

    std::optional<PageReader> reader;
    QIODevice* output = nullptr;
    VorbisHeaderState vorbis;
    LinkHeaders firstLink;
};

void VcEdit::Private::nextHeaderPacket(OggStream& stream, ogg_packet& packet, LinkHeaders& link)
{
    while (true) {
        const int result = ogg_stream_packetout(&stream.state, &packet);
        if (result == 1)
            return;
        if (result < 0)
            fail("damaged Vorbis header");
        ogg_page page;
        if (!reader->next(page))
            fail("the stream ends inside its headers");
        if (ogg_page_serialno(&page) != link.serial)
            fail("Ogg files holding several streams are not supported");
        ogg_stream_pagein(&stream.state, &page);
        ++link.pages;
        link.endsStream = ogg_page_eos(&page);
    }
}

void VcEdit::Private::readHeaders(ogg_page& first, LinkHeaders& link, VorbisHeaderState& vorbis)
{
    link = LinkHeaders{};
    link.serial = ogg_page_serialno(&first);
    link.pages = 1;
    link.endsStream = ogg_page_eos(&first);
    OggStream stream(link.serial);
    ogg_stream_pagein(&stream.state, &first);

    ogg_packet packet;
    nextHeaderPacket(stream, packet, link);
    link.identification = bytesOf(packet);
    if (startsWith(packet, OpusHeadMagic)) {
        link.codec = Codec::Opus;
        nextHeaderPacket(stream, packet, link);
        if (!readOpusTags(packet, link, vorbis.comment))
            fail("damaged Opus header");
    } else {
        readVorbisHeaders(stream, packet, link, vorbis);
    }
    // Audio must start on a fresh page; a page mixing both cannot be paginated anew while its
    // audio stays untouched.
    if (stream.holdsMoreData())
        fail("audio data on a Vorbis header page is not supported");
}

// The identification header is in packet already.
void VcEdit::Private::readVorbisHeaders(OggStream& stream, ogg_packet& packet, LinkHeaders& link,
                                        VorbisHeaderState& vorbis)
{
    vorbis.take(packet, "not an Ogg Vorbis or Opus stream");
    for (int number = 1; number < 3; ++number) {
        nextHeaderPacket(stream, packet, link);
        vorbis.take(packet, "damaged Vorbis header");
    }
    link.setup = bytesOf(packet);
}

// Returns the number of pages written.
long VcEdit::Private::flushPages(OggStream& stream)
{
    long pages = 0;
    ogg_page page;
    while (ogg_stream_flush(&stream.state, &page) != 0) {
        writePage(*output, page);
        ++pages;
    }
    return pages;
}

// The identification header alone on the first page, the comment header (and Vorbis's setup
// header) on the pages after it, the last of them ending where the audio begins. Returns the
// number of pages written.
long VcEdit::Private::writeHeaders(const LinkHeaders& link)
{
    const bool opus = link.codec == Codec::Opus;
    QByteArray identification = link.identification;
    QByteArray comment =
        opus ? opusTagsPacket(link, vorbis.comment) : commentHeader(vorbis.comment);
    QByteArray setup = link.setup;
    if (comment.isEmpty())
        fail("cannot build the comment header");

    OggStream stream(link.serial);
    ogg_packet packet = packetOf(identification, 0);
    ogg_stream_packetin(&stream.state, &packet);
    const long pages = flushPages(stream);
    packet = packetOf(comment, 1);
    if (!opus) {
        ogg_stream_packetin(&stream.state, &packet);
        packet = packetOf(setup, 2);
    }
    packet.e_o_s = link.endsStream;
    ogg_stream_packetin(&stream.state, &packet);
    return pages + flushPages(stream);
}

void VcEdit::Private::copyAudioPages(const LinkHeaders& link, long sequenceShift)
{
    if (link.endsStream)
        return;
    ogg_page page;
    // A stream that ends without its end-of-stream page is copied as far as it goes.
    while (reader->next(page)) {
        if (ogg_page_serialno(&page) != link.serial || ogg_page_bos(&page))
            fail("Ogg files holding several streams are not supported");
        if (sequenceShift != 0)
            setPageSequence(page, ogg_page_pageno(&page) + sequenceShift);
        writePage(*output, page);
        if (ogg_page_eos(&page))
            return;
    }
}

void VcEdit::Private::writeLink(const LinkHeaders& link)
{
    const long pagesWritten = writeHeaders(link);
    copyAudioPages(link, pagesWritten - link.pages);
}

// The link that follows an ended one in a chained stream; false at the end of the input.
bool VcEdit::Private::readNextLink(LinkHeaders& link)
{
    ogg_page page;
    if (!reader->next(page))
        return false;
    if (!ogg_page_bos(&page))
        fail("damaged Ogg data");
    VorbisHeaderState linkVorbis;
    readHeaders(page, link, linkVorbis);
    return true;
}

namespace {

// Bytes that do not start with a page, for whatever reason, are no Ogg stream.
void readFirstPage(PageReader& reader, ogg_page& page)
{
    try {
        if (reader.next(page))
            return;
    } catch (const ComponentError&) {
    }
    fail("not an Ogg stream");
}

// Runs step; a failure it throws gets what failed in front of its reason.
template <typename Step> void failingAs(const QString& failure, Step step)
{
    try {
        step();
    } catch (const ComponentError& error) {
        throw ComponentError(failure + QStringLiteral(": ") + error.message());
    }
}

} // namespace

VcEdit::VcEdit() : d(std::make_unique<Private>()) {}

VcEdit::~VcEdit() = default;

void VcEdit::open(QIODevice& input, const QString& failure)
{
    failingAs(failure, [&] {
        d->reader.emplace(input);
        ogg_page first;
        readFirstPage(*d->reader, first);
        if (!ogg_page_bos(&first))
            fail("not an Ogg Vorbis or Opus stream");
        d->readHeaders(first, d->firstLink, d->vorbis);
    });
}

vorbis_comment* VcEdit::comments()
{
    return &d->vorbis.comment;
}

void VcEdit::write(QIODevice& output, const QString& failure)
{
    failingAs(failure, [&] {
        if (!d->reader)
            fail("no stream is open");
        d->output = &output;
        d->writeLink(d->firstLink);
        LinkHeaders link;
        while (d->readNextLink(link))
            d->writeLink(link);
    });
}
