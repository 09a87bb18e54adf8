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
    char *ProgramPath;      // the file the payload was read from, exact length
    BYTE *Image;            // IMAGE_SIZE bytes as stored in the file
    WORD CheckValue;        // trailer bytes, first byte high
    char Signature[5];
    char UpdateVersion[5];  // derived from image bytes 1 to 3
    DWORD TrailerLength;    // TRAILER_SHORT or TRAILER_LONG
};
extern FirmwarePayloadData FirmwarePayload;

// Why ReadPayloadFile last refused a file, for the packer's report.
enum PayloadVerdict {
    PAYLOAD_ACCEPTED,
    PAYLOAD_CANNOT_OPEN,
    PAYLOAD_TOO_SHORT,     // under IMAGE_SIZE + 4 bytes, or no room for the image
    PAYLOAD_NO_SIGNATURE,  // ModelCode neither 4 nor 6 bytes before the end
    PAYLOAD_BAD_MARKER,
    PAYLOAD_READ_FAILED    // a size, seek or read call failed or came up short
};
extern PayloadVerdict PayloadReadVerdict;

// Each byte is the expected revision character plus REVISION_OFFSET; a byte
// of '?' + REVISION_OFFSET matches any character.
extern BYTE RevisionPattern[4];
extern const BYTE StoredRevisionPattern[4];

void InitRevisionPattern(void);
// Reads the payload of the program's own file; 0 after the "Incorrect file" box.
int LoadPayload(void);
// Reads the payload of the file at path into FirmwarePayload (whose Image
// must exist) and RevisionPattern; shows nothing. A refused file leaves
// everything but the Image buffer's contents as it was.
int ReadPayloadFile(const char *path);
