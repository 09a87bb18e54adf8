// The SCSI commands sent to a drive: INQUIRY and the four vendor commands.
// Each blocks until the command completes or its wait limit passes, and is
// true exactly when the request ended with SS_COMP.
#pragma once
#include "platform/win32.h"

#define INQUIRY_LEN 48
#define UNIT_SIZE 4096u

struct DriveAddress {
    BYTE haId;
    BYTE targetId;
};
// The drive the vendor commands address; only SelectDrive changes it.
extern DriveAddress CurrentTarget;
// Standard INQUIRY data of the drive last asked: vendor 8-15, product 16-31,
// revision 32-35.
extern BYTE InquiryBuffer[INQUIRY_LEN];

bool InquireDrive(BYTE haId, BYTE targetId);
bool InquireCurrentDrive(void);
bool WriteImageChunk(DWORD address, UINT units, const BYTE *data);
bool RunBlockOperation(BYTE operation, DWORD maskHigh, DWORD maskLow);
bool SetDownloadMode(BYTE mode);
bool SendCheckValue(WORD value);
