// Finding, checking and reading the payload at the end of the program's file.
#include "payload/payload.h"

#include <string.h>

#include "app/display.h"
#include "app/messages.h"

FirmwarePayloadData FirmwarePayload;
PayloadVerdict PayloadReadVerdict;
BYTE RevisionPattern[4];

#define MIN_PAYLOAD_FILE (IMAGE_SIZE + 4)

void InitRevisionPattern(void) { memcpy(RevisionPattern, StoredRevisionPattern, sizeof RevisionPattern); }

// Reads exactly `count` bytes at `offset`; anything less is a failure.
static int ReadAt(HANDLE file, DWORD offset, void *buffer, DWORD count) {
    LONG high = 0;  // offsets beyond 2 GiB stay positive
    DWORD done = 0;
    if (SetFilePointer(file, (LONG)offset, &high, FILE_BEGIN) != offset || high != 0) return 0;
    return ReadFile(file, buffer, count, &done, NULL) && done == count;
}

// "102" reads 1.02; a leading letter moves to the end: "B13" reads 103B.
static void DeriveUpdateVersion(const BYTE *head, char *version) {
    BYTE b1 = head[1], b2 = head[2], b3 = head[3];
    if ((b1 >= 'A' && b1 <= 'Z') || (b1 >= 'a' && b1 <= 'z')) {
        version[0] = (char)b2;
        version[1] = '0';
        version[2] = (char)b3;
        version[3] = (char)b1;
    } else {
        version[0] = (char)b1;
        version[1] = '.';
        version[2] = (char)b2;
        version[3] = (char)b3;
    }
    version[4] = '\0';
}

static PayloadVerdict ReadPayload(HANDLE file) {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return PAYLOAD_READ_FAILED;
    if (high == 0 && size < MIN_PAYLOAD_FILE) return PAYLOAD_TOO_SHORT;
    if (high != 0) return PAYLOAD_READ_FAILED;  // no program of ours reaches 4 GiB

    // The short trailer is tried first; its place then holds the long one's
    // signature and suffix.
    BYTE trailer[6];
    DWORD trailerLength = TRAILER_SHORT;
    if (!ReadAt(file, size - TRAILER_SHORT, trailer, sizeof trailer)) return PAYLOAD_READ_FAILED;
    if (memcmp(trailer + 2, ModelCode, 4) != 0) {
        trailerLength = TRAILER_LONG;
        if (!ReadAt(file, size - TRAILER_LONG, trailer, sizeof trailer)) return PAYLOAD_READ_FAILED;
        if (memcmp(trailer + 2, ModelCode, 4) != 0) return PAYLOAD_NO_SIGNATURE;
    }
    BYTE suffix[2];
    if (trailerLength == TRAILER_LONG && !ReadAt(file, size - 2, suffix, sizeof suffix)) return PAYLOAD_READ_FAILED;

    // The size test alone leaves files of 4 to 7 bytes more than an image
    // with no room for the image in front of the trailer.
    if (size < IMAGE_SIZE + trailerLength) return PAYLOAD_TOO_SHORT;
    DWORD imageStart = size - IMAGE_SIZE - trailerLength;
    BYTE head[4];
    if (!ReadAt(file, imageStart, head, sizeof head)) return PAYLOAD_READ_FAILED;
    if (head[0] != IMAGE_MARKER) return PAYLOAD_BAD_MARKER;
    if (!ReadAt(file, imageStart, FirmwarePayload.Image, IMAGE_SIZE)) return PAYLOAD_READ_FAILED;

    FirmwarePayload.CheckValue = (WORD)((trailer[0] << 8) | trailer[1]);
    memcpy(FirmwarePayload.Signature, trailer + 2, 4);
    FirmwarePayload.Signature[4] = '\0';
    DeriveUpdateVersion(head, FirmwarePayload.UpdateVersion);
    FirmwarePayload.TrailerLength = trailerLength;
    if (trailerLength == TRAILER_LONG) {
        RevisionPattern[2] = (BYTE)(suffix[0] + REVISION_OFFSET);
        RevisionPattern[3] = (BYTE)(suffix[1] + REVISION_OFFSET);
    }
    return PAYLOAD_ACCEPTED;
}

int ReadPayloadFile(const char *path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        PayloadReadVerdict = PAYLOAD_CANNOT_OPEN;
        return 0;
    }
    PayloadReadVerdict = ReadPayload(file);
    CloseHandle(file);
    return PayloadReadVerdict == PAYLOAD_ACCEPTED;
}

static char *CopyText(const char *text, DWORD length) {
    char *copy = (char *)HeapAlloc(GetProcessHeap(), 0, length + 1);
    if (copy) {
        memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

// The first token of the command line: a quoted path without its quotes,
// or the text up to the first blank without a trailing quote.
static const char *FirstToken(const char *line, DWORD *length) {
    const char *end;
    if (line[0] == '"') {
        line++;
        end = strchr(line, '"');
        if (!end) end = line + strlen(line);
    } else {
        end = strchr(line, ' ');
        if (!end) end = line + strlen(line);
        if (end > line && end[-1] == '"') end--;
    }
    *length = (DWORD)(end - line);
    return line;
}

// A command prompt passes the name as typed ("fwflash" without ".exe", or
// a path with blanks cut short); the loaded module is the same file.
static int ReadOwnModule(void) {
    char name[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(NULL, name, sizeof name);
    if (length == 0 || length >= MAX_PATH) return 0;
    char *path = CopyText(name, length);
    if (!path) return 0;
    HeapFree(GetProcessHeap(), 0, FirmwarePayload.ProgramPath);
    FirmwarePayload.ProgramPath = path;
    return ReadPayloadFile(path);
}

static int LoadFromCommandLine(void) {
    DWORD length;
    const char *token = FirstToken(GetCommandLineA(), &length);
    if (length == 0) return 0;  // "", " x", "\"" and "\"\"x" name nothing
    FirmwarePayload.ProgramPath = CopyText(token, length);
    if (!FirmwarePayload.ProgramPath) return 0;
    FirmwarePayload.Image = (BYTE *)HeapAlloc(GetProcessHeap(), 0, IMAGE_SIZE);
    if (!FirmwarePayload.Image) return 0;
    if (ReadPayloadFile(FirmwarePayload.ProgramPath)) return 1;
    return PayloadReadVerdict == PAYLOAD_CANNOT_OPEN && ReadOwnModule();
}

int LoadPayload(void) {
    if (LoadFromCommandLine()) return 1;
    ShowErrorBox(Message(MSG_INCORRECT_FILE));
    return 0;
}
