#pragma once

#include <QString>

#include <memory>

class QIODevice;
struct vorbis_comment;

/// Edits the comments of an Ogg Vorbis or Ogg Opus file: reads the stream's headers (three for
/// Vorbis, two for Opus), then writes the whole stream out again with a new comment header; the
/// other headers stay as they were (an Opus header's vendor text too). The header pages are
/// paginated anew; the audio pages are copied as they are, granule positions included, with only
/// their sequence numbers moved after the new header pages. Every link of a chained stream receives
/// the same comments. Streams multiplexed with others and damaged streams are refused.
class VcEdit final
{
public:
    VcEdit();
    ~VcEdit();
    Q_DISABLE_COPY_MOVE(VcEdit)

    /// Reads the headers at the start of input, which stays in use until write(). Throws
    /// ComponentError "<failure>: <reason>" when they cannot be read ("not an Ogg stream").
    void open(QIODevice& input, const QString& failure);

    /// The comment block: the comments read by open(), written out by write() (for Opus, all but
    /// its vendor text).
    vorbis_comment* comments();

    /// Writes the whole stream to output with the comment block as its comment header. Throws
    /// ComponentError "<failure>: <reason>" on a read or write error or a damaged stream.
    void write(QIODevice& output, const QString& failure);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
