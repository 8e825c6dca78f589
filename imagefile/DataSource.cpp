#include "imagefile/DataSource.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "imagefile/ImageError.h"

namespace {

[[noreturn]] void RaiseEndOfData() {
    RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");
}

// Code reported when a file cannot be opened, read or written.
constexpr int kFileAccessError = CTextException::WrongSignature;

// Output buffers are kept for the next sink of the same thread: a fresh buffer of a few
// megabytes would cost more in page faults than encoding into it.
struct SinkBufferCache {
    uint8_t* buffer = nullptr;
    size_t capacity = 0;
    ~SinkBufferCache() { std::free(buffer); }
};
thread_local SinkBufferCache t_sinkBuffer;

uint8_t* TakeSinkBuffer(size_t capacity, size_t* granted) {
    if (t_sinkBuffer.buffer && t_sinkBuffer.capacity >= capacity) {
        uint8_t* buffer = t_sinkBuffer.buffer;
        *granted = t_sinkBuffer.capacity;
        t_sinkBuffer.buffer = nullptr;
        t_sinkBuffer.capacity = 0;
        return buffer;
    }
    *granted = capacity;
    return static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
}

void ReturnSinkBuffer(uint8_t* buffer, size_t capacity) {
    if (!buffer) return;
    if (capacity > t_sinkBuffer.capacity) {
        std::swap(buffer, t_sinkBuffer.buffer);
        t_sinkBuffer.capacity = capacity;
    }
    std::free(buffer);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CDataSource

CDataSource::~CDataSource() = default;

void CDataSource::SetData(const uint8_t* data, size_t size, std::string name) {
    m_data = data;
    m_size = size;
    m_pos = 0;
    m_name = std::move(name);
    m_closed = false;
}

void CDataSource::Advance(size_t n) noexcept {
    const size_t before = m_pos;
    m_pos += n;
    if (m_progress && m_size > 0 && before / 1024 != m_pos / 1024)
        m_progress->OnProgress(double(m_pos) / double(m_size));
}

const uint8_t* CDataSource::ReadNBytes(size_t n) {
    if (n > m_size - m_pos) RaiseEndOfData();
    const uint8_t* p = m_data + m_pos;
    Advance(n);
    return p;
}

bool CDataSource::TryRead(size_t n, const uint8_t** data) noexcept {
    if (n > m_size - m_pos) return false;
    *data = m_data + m_pos;
    Advance(n);
    return true;
}

const uint8_t* CDataSource::GetBufferPtr(size_t n) const {
    if (n > m_size - m_pos) RaiseEndOfData();
    return m_data + m_pos;
}

const uint8_t* CDataSource::ReadEverything(size_t* count) {
    *count = m_size - m_pos;
    return ReadNBytes(*count);
}

void CDataSource::Seek(size_t position) {
    if (position > m_size) RaiseEndOfData();
    m_pos = position;
}

void CDataSource::Close() {
    if (m_closed) return;
    m_closed = true;
    if (m_progress) m_progress->OnProgress(1.0);
}

// ---------------------------------------------------------------------------------------------
// CMemorySource

CMemorySource::CMemorySource(const uint8_t* data, size_t size) {
    char name[64];
    std::snprintf(name, sizeof name, "%p", static_cast<const void*>(data));
    SetData(data, size, name);
}

// ---------------------------------------------------------------------------------------------
// CFileSource

CFileSource::~CFileSource() {
    Release();
}

int CFileSource::Open(const std::string& path) {
    Release();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kFileAccessError;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return kFileAccessError;
    }
    const size_t size = size_t(st.st_size);
    if (size > 0) {
        // One mapping, populated up front: decoders then read memory, not the kernel.
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (map == MAP_FAILED) {
            ::close(fd);
            return kFileAccessError;
        }
        m_map = map;
        m_mapSize = size;
    }
    ::close(fd);
    SetData(static_cast<const uint8_t*>(m_map), size, path);
    return 0;
}

void CFileSource::Close() {
    CDataSource::Close();
    Release();
    SetData(nullptr, 0, GetName());
}

void CFileSource::Release() noexcept {
    if (m_map) ::munmap(m_map, m_mapSize);
    m_map = nullptr;
    m_mapSize = 0;
}

// ---------------------------------------------------------------------------------------------
// CFileSink

CFileSink::~CFileSink() {
    Discard();
}

int CFileSink::Open(const std::string& path, size_t capacity) {
    Discard();
    // Saving through a symbolic link replaces the file it points to, not the link.
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (resolved) {
            target = resolved;
            std::free(resolved);
        }
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    // A file the user may not write stays as it is, even where its folder would allow
    // replacing it.
    if (exists && (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0))
        return kFileAccessError;
    if (!exists && errno != ENOENT) return kFileAccessError;

    const size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    int fd = -1;
    std::string temp;
    for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        // Unique among the process's own sinks by the counter; a name left by a process that
        // died mid-save only costs another attempt.
        static std::atomic<unsigned> s_serial{0};
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%ld-%u.tmp", long(::getpid()),
                      s_serial.fetch_add(1, std::memory_order_relaxed));
        temp = folder + "." + name + suffix;
        // Mode 0666 lets the umask and the folder's default permissions decide, as for any
        // file the user creates.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return kFileAccessError;
    // Pages of the buffer are only touched as output arrives, so a generous capacity is free.
    size_t granted = 0;
    uint8_t* buffer = TakeSinkBuffer(capacity, &granted);
    if (!buffer) {
        ::close(fd);
        ::unlink(temp.c_str());
        return CTextException::OutOfMemory;
    }
    m_path = target;
    m_tempPath = temp;
    m_fd = fd;
    m_keepMode = exists;
    m_mode = exists ? unsigned(st.st_mode & 07777) : 0;
    m_uid = exists ? unsigned(st.st_uid) : 0;
    m_gid = exists ? unsigned(st.st_gid) : 0;
    m_buffer = buffer;
    m_bufferSize = granted;
    m_capacity = capacity;
    m_size = 0;
    return 0;
}

uint8_t* CFileSink::Reserve(size_t n) {
    if (n > m_capacity - m_size)
        RaiseImageError(CTextException::EndOfData, "Buffer overflow while encoding.\n");
    return m_buffer + m_size;
}

void CFileSink::WriteNBytes(const void* data, size_t n) {
    std::memcpy(Reserve(n), data, n);
    m_size += n;
}

size_t CFileSink::WriteSome(const void* data, size_t n) noexcept {
    const size_t take = std::min(n, m_capacity - m_size);
    std::memcpy(m_buffer + m_size, data, take);
    m_size += take;
    return take;
}

void CFileSink::Close() {
    if (m_fd < 0) return;
    bool ok = true;
    for (size_t done = 0; ok && done < m_size;) {
        const ssize_t n = ::write(m_fd, m_buffer + done, m_size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += size_t(n);
    }
    if (ok && m_keepMode) {
        // The replacement keeps what the old file had; a group the user may not give away
        // is left as the new file's.
        if (::fchown(m_fd, uid_t(m_uid), gid_t(m_gid)) != 0) {
            const int groupOnly = ::fchown(m_fd, uid_t(-1), gid_t(m_gid));
            (void)groupOnly;
        }
        ok = ::fchmod(m_fd, mode_t(m_mode)) == 0;
    }
    // On disk before it replaces the old file: a crash then leaves one of the two whole, and
    // a full disk is reported here, where delayed allocation may only find it out.
    if (ok) ok = ::fsync(m_fd) == 0;
    if (::close(m_fd) != 0) ok = false;
    m_fd = -1;
    if (ok) ok = ::rename(m_tempPath.c_str(), m_path.c_str()) == 0;
    if (!ok) ::unlink(m_tempPath.c_str());
    ReturnSinkBuffer(m_buffer, m_bufferSize);
    m_buffer = nullptr;
    m_capacity = m_size = m_bufferSize = 0;
    if (!ok) RaiseImageError(kFileAccessError, "Writing " + m_path + " failed");
}

void CFileSink::Discard() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_tempPath.c_str());
    }
    m_fd = -1;
    ReturnSinkBuffer(m_buffer, m_bufferSize);
    m_buffer = nullptr;
    m_capacity = m_size = m_bufferSize = 0;
}
