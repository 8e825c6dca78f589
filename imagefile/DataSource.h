#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imagefile/ByteOrder.h"
#include "imagefile/ProgressSink.h"

// Bytes a decoder reads from. Reads hand out pointers into the source's own memory instead of
// copying, so a decoder can work straight from the mapped file.
class CDataSource {
public:
    CDataSource(const CDataSource&) = delete;
    CDataSource& operator=(const CDataSource&) = delete;
    virtual ~CDataSource();

    const std::string& GetName() const { return m_name; }
    size_t GetFileSize() const { return m_size; }
    size_t GetPosition() const { return m_pos; }
    size_t GetRemaining() const { return m_size - m_pos; }

    // Returns the next n bytes and moves past them. Raises code 11 when fewer are left.
    const uint8_t* ReadNBytes(size_t n);
    // The next n bytes without moving. Raises code 11 when fewer are left.
    const uint8_t* GetBufferPtr(size_t n) const;
    // Everything that is left; *count receives its length.
    const uint8_t* ReadEverything(size_t* count);
    void Skip(size_t n) { ReadNBytes(n); }
    // Moves to an absolute position within the data. Raises code 11 beyond the end.
    void Seek(size_t position);

    // For callbacks of C libraries, which must not see an exception: false instead of code 11.
    bool TryRead(size_t n, const uint8_t** data) noexcept;

    uint8_t ReadByte() { return *ReadNBytes(1); }
    uint32_t ReadLE32() { return LE32(ReadNBytes(4)); }

    void SetProgressSink(ProgressSink* sink) { m_progress = sink; }
    // Ends reading: reports completion to the progress sink and lets go of the data.
    virtual void Close();

protected:
    CDataSource() = default;
    void SetData(const uint8_t* data, size_t size, std::string name);

private:
    void Advance(size_t n) noexcept;

    std::string m_name;
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    ProgressSink* m_progress = nullptr;
    bool m_closed = false;
};

// A block of memory owned by the caller.
class CMemorySource : public CDataSource {
public:
    CMemorySource(const uint8_t* data, size_t size);
};

// A file, mapped into memory whole.
class CFileSource : public CDataSource {
public:
    CFileSource() = default;
    ~CFileSource() override;
    // Returns 0, or the error code to report with "Opening %s failed".
    int Open(const std::string& path);
    void Close() override;

private:
    void Release() noexcept;

    void* m_map = nullptr;
    size_t m_mapSize = 0;
};

// Collects an encoder's output in memory, up to a fixed capacity, and writes the file when
// closed. The output goes to a temporary file beside the target, which replaces the target
// only once it is completely on disk: a failed encode or write (a full disk, a file-size
// limit) leaves an existing file as it was, and a sink destroyed without Close writes nothing.
class CFileSink {
public:
    CFileSink() = default;
    CFileSink(const CFileSink&) = delete;
    CFileSink& operator=(const CFileSink&) = delete;
    ~CFileSink();

    // Returns 0, or the error code to report with "Opening %s failed".
    int Open(const std::string& path, size_t capacity);
    // Raises code 11 "Buffer overflow while encoding.\n" beyond the capacity.
    void WriteNBytes(const void* data, size_t n);
    // Room for n more bytes, written by the caller and committed with Commit. Raises code 11
    // like WriteNBytes.
    uint8_t* Reserve(size_t n);
    void Commit(size_t n) { m_size += n; }
    // Bytes accepted, up to n, for writers that report a short write themselves.
    size_t WriteSome(const void* data, size_t n) noexcept;

    size_t GetCapacity() const { return m_capacity; }
    size_t GetSize() const { return m_size; }
    uint8_t* GetData() { return m_buffer; }
    // Lets a writer that seeks (TIFF) move inside what was written.
    void SetSize(size_t size) { m_size = size; }

    // Writes the collected bytes to the file. Raises code 1 when the file cannot be written;
    // the file is then as it was before.
    void Close();

private:
    void Discard() noexcept;

    std::string m_path;     // the file to replace (a symbolic link's target)
    std::string m_tempPath; // where the output is written first
    int m_fd = -1;
    bool m_keepMode = false; // the target exists: the new file gets its mode and owner
    unsigned m_mode = 0;
    unsigned m_uid = 0, m_gid = 0;
    uint8_t* m_buffer = nullptr;
    size_t m_bufferSize = 0; // may exceed the capacity when a larger buffer was reused
    size_t m_capacity = 0;
    size_t m_size = 0;
};
