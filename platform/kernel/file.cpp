// file.cpp - synchronous files: CreateFileA, ReadFile, WriteFile, SetFilePointer, GetFileSize.
//
// A file handle owns one POSIX descriptor, closed when the last handle to it goes. Reads,
// writes and seeks of one file are serialised by the file's own mutex, so a seek computes and
// checks the new position before it moves (a refused seek leaves the position unchanged).
// File handles share the handle table with events and threads; a wait on a file handle is
// satisfied at once (synchronous I/O is always complete).
//
// LIMITATIONS: share modes, attributes, flags and templates are ignored; no overlapped I/O;
// paths are passed to the file system as given.

#include "kernel_object.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace plat::kernel {
namespace {

class FileObject final : public Object {
public:
    explicit FileObject(int fd) : Object(ObjectType::File), fd_(fd) {}
    ~FileObject() override { close(fd_); }

    bool IsSignalled() const override { return true; }

    int Fd() const { return fd_; }
    std::mutex& Mutex() { return mutex_; }

private:
    const int fd_;
    std::mutex mutex_; // serialises position-dependent calls
};

// The system error for an errno of a failed open, read, write or seek.
DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EBADF:
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case EINVAL:
    case ESPIPE:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// ENOENT means a missing file when the folder exists, a missing path otherwise.
DWORD MissingError(const char* path)
{
    const size_t length = std::strlen(path);
    if (length == 0 || length >= PATH_MAX)
        return ERROR_PATH_NOT_FOUND;
    char folder[PATH_MAX];
    const char* slash = std::strrchr(path, '/');
    if (!slash) {
        folder[0] = '.';
        folder[1] = '\0';
    } else {
        const size_t folderLength = slash == path ? 1 : static_cast<size_t>(slash - path);
        std::memcpy(folder, path, folderLength);
        folder[folderLength] = '\0';
    }
    struct stat info;
    if (stat(folder, &info) == 0 && S_ISDIR(info.st_mode))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

HANDLE FailOpen(DWORD error)
{
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

int OpenRetrying(const char* path, int flags)
{
    int fd;
    do {
        fd = open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace
} // namespace plat::kernel

using namespace plat::kernel;

// Opens or creates a file. Directories cannot be opened (ERROR_ACCESS_DENIED). CREATE_ALWAYS and
// OPEN_ALWAYS on an existing file succeed with last error ERROR_ALREADY_EXISTS, otherwise 0.
PLAT_API HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD /*shareMode*/, SECURITY_ATTRIBUTES* /*attributes*/,
                            DWORD disposition, DWORD /*flags*/, HANDLE /*templateFile*/)
{
    if (!path)
        return FailOpen(ERROR_INVALID_PARAMETER);

    const bool read = (access & GENERIC_READ) != 0;
    const bool write = (access & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY; // non-blocking only while opening (a FIFO would block)
    flags |= write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY;

    int fd = -1;
    bool existed = false;
    switch (disposition) {
    case OPEN_EXISTING:
        fd = OpenRetrying(path, flags);
        break;
    case TRUNCATE_EXISTING:
        if (!write)
            return FailOpen(ERROR_INVALID_PARAMETER);
        fd = OpenRetrying(path, flags | O_TRUNC);
        break;
    case CREATE_NEW:
        fd = OpenRetrying(path, flags | O_CREAT | O_EXCL);
        break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        // Create exclusively first to learn whether the file existed.
        fd = OpenRetrying(path, flags | O_CREAT | O_EXCL);
        if (fd < 0 && errno == EEXIST) {
            existed = true;
            fd = OpenRetrying(path, flags | O_CREAT | (disposition == CREATE_ALWAYS ? O_TRUNC : 0));
        }
        break;
    default:
        return FailOpen(ERROR_INVALID_PARAMETER);
    }
    if (fd < 0) {
        const int error = errno;
        return FailOpen(error == ENOENT ? MissingError(path) : ErrorFromErrno(error));
    }

    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return FailOpen(ERROR_ACCESS_DENIED);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    ObjectRef file;
    try {
        file = std::make_shared<FileObject>(fd);
    } catch (const std::bad_alloc&) {
        close(fd);
        return FailOpen(ERROR_NOT_ENOUGH_MEMORY);
    }
    HANDLE handle = InsertHandle(std::move(file));
    if (!handle)
        return FailOpen(ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

// Reads up to `bytesToRead` bytes; at the end of the file it succeeds with fewer (0 at the end).
PLAT_API BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, OVERLAPPED* overlapped)
{
    if (bytesRead)
        *bytesRead = 0;
    auto object = LookupTyped<FileObject>(file, ObjectType::File);
    if (!object)
        return FALSE;
    if (overlapped || (!buffer && bytesToRead != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(object->Mutex());
    DWORD done = 0;
    while (done < bytesToRead) {
        const ssize_t n = read(object->Fd(), static_cast<char*>(buffer) + done, bytesToRead - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (bytesRead)
                *bytesRead = done;
            SetLastError(ErrorFromErrno(errno));
            return FALSE;
        }
        if (n == 0)
            break;
        done += static_cast<DWORD>(n);
    }
    if (bytesRead)
        *bytesRead = done;
    return TRUE;
}

PLAT_API BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                        OVERLAPPED* overlapped)
{
    if (bytesWritten)
        *bytesWritten = 0;
    auto object = LookupTyped<FileObject>(file, ObjectType::File);
    if (!object)
        return FALSE;
    if (overlapped || (!buffer && bytesToWrite != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(object->Mutex());
    DWORD done = 0;
    while (done < bytesToWrite) {
        const ssize_t n = write(object->Fd(), static_cast<const char*>(buffer) + done, bytesToWrite - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (bytesWritten)
                *bytesWritten = done;
            SetLastError(n == 0 ? ERROR_DISK_FULL : ErrorFromErrno(errno));
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (bytesWritten)
        *bytesWritten = done;
    return TRUE;
}

// Moves the file position by a signed 64-bit distance: `distance` alone (sign-extended) when
// `distanceHigh` is null, else *distanceHigh:distance. Returns the new position's low 32 bits
// and stores the high part in *distanceHigh. A position before the start fails with
// ERROR_NEGATIVE_SEEK; with a null `distanceHigh`, a position that does not fit in 32 bits fails
// with ERROR_INVALID_PARAMETER. On failure the position is unchanged and the result is
// INVALID_SET_FILE_POINTER; on success the last error is 0 (a low part of 0xFFFFFFFF is valid).
PLAT_API DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method)
{
    auto object = LookupTyped<FileObject>(file, ObjectType::File);
    if (!object)
        return INVALID_SET_FILE_POINTER;
    const int64_t move = distanceHigh ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                                             static_cast<uint32_t>(distance))
                                      : static_cast<int64_t>(distance);
    std::lock_guard<std::mutex> lock(object->Mutex());
    int64_t base;
    switch (method) {
    case FILE_BEGIN:
        base = 0;
        break;
    case FILE_CURRENT:
        base = lseek(object->Fd(), 0, SEEK_CUR);
        break;
    case FILE_END: {
        struct stat info;
        base = fstat(object->Fd(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
        break;
    }
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if ((move < 0 && base + move < 0) || (move > 0 && base > INT64_MAX - move)) {
        SetLastError(move < 0 ? ERROR_NEGATIVE_SEEK : ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    const int64_t target = base + move;
    if (!distanceHigh && target > static_cast<int64_t>(UINT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(object->Fd(), static_cast<off_t>(target), SEEK_SET) < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<uint64_t>(target));
}

// The size's low 32 bits; the high part goes to *sizeHigh when given. On success the last error
// is 0, so a low part of INVALID_FILE_SIZE can be told from a failure.
PLAT_API DWORD GetFileSize(HANDLE file, DWORD* sizeHigh)
{
    auto object = LookupTyped<FileObject>(file, ObjectType::File);
    if (!object)
        return INVALID_FILE_SIZE;
    struct stat info;
    if (fstat(object->Fd(), &info) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    if (sizeHigh)
        *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}
