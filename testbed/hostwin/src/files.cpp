// Files over the host's real files, with the Win32 calls' semantics:
// OPEN_EXISTING only, 32-bit positions, short reads at the end of a file.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "machine.h"

using namespace hostwin;

namespace {

struct File : Object {
    int fd = -1;
    ~File() override {
        if (fd >= 0) close(fd);
    }
};

DWORD ErrorFromErrno(int e) {
    switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    default: return ERROR_GEN_FAILURE;
    }
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD,
                          HANDLE) {
    Lock lk = Enter();
    if (ShouldFail("CreateFileA")) {
        SetError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (!name || !*name) {
        SetError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool handled = false;
    auto special = OpenSpecial(name, access, &handled);
    if (handled) {
        if (!special) return INVALID_HANDLE_VALUE;  // the hook set the error
        return AddHandle(special);
    }
    if (creation != OPEN_EXISTING) {  // the product only opens existing files
        SetError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    int mode = (access & GENERIC_WRITE) ? O_RDWR : O_RDONLY;
    int fd = open(name, mode | O_CLOEXEC);
    if (fd < 0) {
        SetError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // a directory opens only with backup semantics
        close(fd);
        SetError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_shared<File>();
    file->fd = fd;
    SetError(ERROR_SUCCESS);
    return AddHandle(file);
}

DWORD WINAPI GetFileSize(HANDLE handle, LPDWORD high) {
    Lock lk = Enter();
    auto file = FindAs<File>(handle);
    struct stat st;
    if (!file || ShouldFail("GetFileSize") || fstat(file->fd, &st) != 0) {
        SetError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (high) *high = static_cast<DWORD>(size >> 32);
    SetError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

DWORD WINAPI SetFilePointer(HANDLE handle, LONG distance, PLONG distanceHigh, DWORD method) {
    Lock lk = Enter();
    auto file = FindAs<File>(handle);
    if (file && ShouldFail("SetFilePointer")) {
        SetError(ERROR_IO_DEVICE);
        return INVALID_SET_FILE_POINTER;
    }
    if (!file || method > FILE_END) {
        SetError(file ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t move = distanceHigh ? ((static_cast<int64_t>(*distanceHigh) << 32) | static_cast<uint32_t>(distance))
                                : static_cast<int64_t>(distance);
    int64_t base = 0;
    if (method == FILE_CURRENT) base = lseek(file->fd, 0, SEEK_CUR);
    if (method == FILE_END) {
        struct stat st;
        fstat(file->fd, &st);
        base = st.st_size;
    }
    int64_t target = base + move;
    if (target < 0) {
        SetError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    lseek(file->fd, target, SEEK_SET);
    if (distanceHigh) *distanceHigh = static_cast<LONG>(target >> 32);
    SetError(ERROR_SUCCESS);
    return static_cast<DWORD>(target);
}

BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
    Lock lk = Enter();
    if (read) *read = 0;
    auto file = FindAs<File>(handle);
    if (!file) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (ShouldFail("ReadFile")) {
        SetError(ERROR_IO_DEVICE);
        return FALSE;
    }
    if (ShouldFail("ReadFile.short")) toRead /= 2;
    DWORD total = 0;
    while (total < toRead) {
        ssize_t n = ::read(file->fd, static_cast<char *>(buffer) + total, toRead - total);
        if (n < 0) {
            SetError(ERROR_IO_DEVICE);
            return FALSE;
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (read) *read = total;
    SetError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    std::shared_ptr<Object> closing;  // released after the lock: objects may take it
    Lock lk = Enter();
    M().calls["CloseHandle"]++;
    closing = FindHandle(handle);
    if (!closing) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    RemoveHandle(handle);
    lk.unlock();
    closing.reset();
    return TRUE;
}

}  // extern "C"
