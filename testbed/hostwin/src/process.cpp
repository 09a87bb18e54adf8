// Process state, last error, version and language, the heap.
#include <cstdlib>
#include <cstring>

#include "machine.h"

using namespace hostwin;

namespace {
thread_local DWORD lastError = 0;
}

namespace hostwin {

void SetError(DWORD code) { lastError = code; }

void SetCommandLine(const std::string &commandLine) {
    Lock lk(M().lock);
    M().commandLine = commandLine;
    M().commandLineBuffer.assign(commandLine.begin(), commandLine.end());
    M().commandLineBuffer.push_back('\0');
}

void SetModuleFileName(const std::string &path) {
    Lock lk(M().lock);
    M().moduleFileName = path;
}

void SetSystemLanguage(LANGID id) {
    Lock lk(M().lock);
    M().systemLanguage = id;
}

void SetPlatform(DWORD platformId, DWORD major, DWORD minor) {
    Lock lk(M().lock);
    M().platformId = platformId;
    M().majorVersion = major;
    M().minorVersion = minor;
}

int64_t LiveAllocations() {
    Lock lk(M().lock);
    return M().liveAllocations;
}

}  // namespace hostwin

extern "C" {

DWORD WINAPI GetLastError(void) { return lastError; }
void WINAPI SetLastError(DWORD code) { lastError = code; }

LPSTR WINAPI GetCommandLineA(void) {
    Lock lk = Enter();
    return M().commandLineBuffer.data();
}

DWORD WINAPI GetModuleFileNameA(HMODULE, LPSTR filename, DWORD size) {
    Lock lk = Enter();
    if (ShouldFail("GetModuleFileNameA")) {
        SetError(ERROR_GEN_FAILURE);
        return 0;
    }
    const std::string &name = M().moduleFileName;
    if (size == 0) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Windows XP and later: a name that does not fit is cut, terminated, and
    // the full size returned with ERROR_INSUFFICIENT_BUFFER.
    if (name.size() >= size) {
        std::memcpy(filename, name.data(), size - 1);
        filename[size - 1] = '\0';
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(filename, name.c_str(), name.size() + 1);
    SetError(ERROR_SUCCESS);
    return static_cast<DWORD>(name.size());
}

LANGID WINAPI GetSystemDefaultLangID(void) {
    Lock lk = Enter();
    M().calls["GetSystemDefaultLangID"]++;
    return M().systemLanguage;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    Lock lk = Enter();
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = M().majorVersion;
    info->dwMinorVersion = M().minorVersion;
    info->dwBuildNumber = 0;
    info->dwPlatformId = M().platformId;
    info->szCSDVersion[0] = '\0';
    return TRUE;
}

HANDLE WINAPI GetProcessHeap(void) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FFF0000)); }

LPVOID WINAPI HeapAlloc(HANDLE, DWORD flags, SIZE_T bytes) {
    Lock lk = Enter();
    if (ShouldFail("HeapAlloc")) return nullptr;  // HeapAlloc sets no last error
    void *p = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
    if (p) M().liveAllocations++;
    return p;
}

BOOL WINAPI HeapFree(HANDLE, DWORD, LPVOID mem) {
    Lock lk = Enter();
    if (!mem) return TRUE;
    std::free(mem);
    M().liveAllocations--;
    return TRUE;
}

}  // extern "C"
