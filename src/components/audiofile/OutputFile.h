#pragma once

#include <QString>

#include <cstdint>
#include <cstdio>
#include <memory>

/// Bytes written at a position that can be moved, for C libraries that write through callbacks,
/// which must not see exceptions: the try calls give false on failure and keep the error for
/// throwIfFailed().
class SeekableOutput
{
public:
    virtual ~SeekableOutput() = default;

    virtual bool tryWrite(const void* data, std::size_t size) noexcept = 0;
    virtual bool trySeek(std::int64_t offset) noexcept = 0;
    virtual std::int64_t position() const = 0;
    virtual std::int64_t size() const = 0;
    virtual void throwIfFailed() const = 0;
};

/// A new output file, created exclusively: an existing file at the path is never opened, let
/// alone truncated. Until commit() succeeds the file counts as incomplete, and an incomplete file
/// is removed when the object goes away (after a write error, a failed completion, or when the
/// writer is dropped), so no half-written file is ever left that looks finished.
class OutputFile final : public SeekableOutput
{
public:
    /// Throws ComponentError when the file exists or cannot be created.
    explicit OutputFile(const QString& path);
    ~OutputFile() override;

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const QString& path() const { return m_path; }

    /// Appends at the current position; throws ComponentError on failure.
    void write(const void* data, std::size_t size);
    /// Overwrites bytes at offset and returns to where it was.
    void writeAt(std::int64_t offset, const void* data, std::size_t size);

    bool tryWrite(const void* data, std::size_t size) noexcept override;
    bool trySeek(std::int64_t offset) noexcept override;
    void throwIfFailed() const override;

    std::int64_t position() const override { return m_position; }
    std::int64_t size() const override { return m_size; }

    /// Writes what is buffered to the file, which stays open and incomplete; throws
    /// ComponentError on failure.
    void flush();
    /// Flushes and closes the file; from then on it is complete and stays.
    void commit();

private:
    struct Closer
    {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    [[noreturn]] void fail() const;

    QString m_path;
    std::unique_ptr<std::FILE, Closer> m_file;
    std::int64_t m_position = 0; // tracked here: asking the stream costs a system call
    std::int64_t m_size = 0;
    int m_error = 0; // errno of the first failed tryWrite/trySeek
};
