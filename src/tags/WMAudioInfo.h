#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>

/// Names of the Windows Media attributes the WMA writer sets.
namespace WMAttributeName {
inline constexpr char16_t Author[] = u"Author";
inline constexpr char16_t Title[] = u"Title";
inline constexpr char16_t AlbumTitle[] = u"WM/AlbumTitle";
inline constexpr char16_t Year[] = u"WM/Year";
inline constexpr char16_t Description[] = u"Description";
inline constexpr char16_t Genre[] = u"WM/Genre";
inline constexpr char16_t TrackNumber[] = u"WM/TrackNumber";
inline constexpr char16_t PartOfSet[] = u"WM/PartOfSet";
inline constexpr char16_t AlbumArtist[] = u"WM/AlbumArtist";
inline constexpr char16_t Picture[] = u"WM/Picture";
} // namespace WMAttributeName

/// Type codes of attribute values.
enum class WMAttributeType : quint32 {
    DWord = 0,  // a 32-bit unsigned number, length 4
    String = 1, // UTF-16 text with its terminating zero, length in bytes with the terminator
};

/// Results of the attribute operations; 0 is success.
namespace WMAudioStatus {
inline constexpr qint32 Ok = 0;
inline constexpr qint32 CannotOpen = 1;
inline constexpr qint32 NotAsf = 2;
inline constexpr qint32 InvalidArgument = 3;
inline constexpr qint32 CannotSave = 4;
} // namespace WMAudioStatus

/// The attributes of one ASF (WMA) file. Attributes set here become permanent with commit(),
/// which rewrites the file through a sibling that replaces it in one rename and takes its
/// permission bits: until then, and on any failure, the file stays as it was.
class WMAudioInfo final
{
public:
    ~WMAudioInfo();
    Q_DISABLE_COPY_MOVE(WMAudioInfo)

    /// Sets the attribute name to the value of length bytes at value, read after type.
    /// "Title", "Author" and "Description" go to the content description, where every reader
    /// looks for them; the other names become extended attributes.
    qint32 setAttribute(QStringView name, WMAttributeType type, const void* value, quint16 length);

    /// Sets "WM/Picture" to the front cover picture of the MIME type mimeType.
    qint32 setPicture(const QString& mimeType, const QByteArray& picture);

    /// Writes the attributes set so far into the file. Once only.
    qint32 commit();
    /// Why commit() failed: "Cannot write <file>: <reason>" ("No space left on device"), or
    /// "Cannot create a file in <folder>: <reason>".
    QString errorString() const;

    struct Private;
    /// Made by WMAudioCreateInfo only: nothing else can fill a Private.
    explicit WMAudioInfo(std::unique_ptr<Private> d);

private:
    /// What commit() does; throws ComponentError when it fails.
    void rewriteFile();

    std::unique_ptr<Private> d;
};

/// Opens the attributes of the ASF file fileName into info. Returns 0 on success; a file that
/// cannot be read or is not ASF gives a non-zero status and stays untouched.
qint32 WMAudioCreateInfo(const QString& fileName, std::unique_ptr<WMAudioInfo>& info);
