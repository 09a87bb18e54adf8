// The firmware payload appended to the program's own file, and the revision
// pattern a drive's revision must match.
#pragma once
#include "platform/win32.h"

#define IMAGE_SIZE 0x1C0000u
#define IMAGE_MARKER 0xAA
#define TRAILER_SHORT 6u  // check value, signature
#define TRAILER_LONG 8u   // check value, signature, revision suffix
#define REVISION_OFFSET 0x81

// The drive's model code: the payload trailer's signature and the key of
// the download-mode command.
extern const char ModelCode[5];  // "K827"

struct FirmwarePayloadData {
    char *ProgramPath;      // first token of the command line, exact length
    BYTE *Image;            // IMAGE_SIZE bytes as stored in the file
    WORD CheckValue;        // trailer bytes, first byte high
    char Signature[5];
    char UpdateVersion[5];  // derived from image bytes 1 to 3
};
extern FirmwarePayloadData FirmwarePayload;

// Each byte is the expected revision character plus REVISION_OFFSET; a byte
// of '?' + REVISION_OFFSET matches any character.
extern BYTE RevisionPattern[4];
extern const BYTE StoredRevisionPattern[4];

void InitRevisionPattern(void);
// Reads the payload of the program's own file; 0 after the "Incorrect file" box.
int LoadPayload(void);
// Reads the payload of the file at path into FirmwarePayload (whose Image
// must exist) and RevisionPattern; shows nothing.
int ReadPayloadFile(const char *path);
