// Finding and identifying the supported drives, and the selected drive.
#pragma once
#include "platform/win32.h"

#define DRIVE_TABLE_ROWS 24
#define DRIVE_LIST_TEXT_LEN 35

struct DriveEntry {
    BYTE index;
    BYTE haId;
    BYTE targetId;
    char vendor[9];
    char product[17];
    char revision[5];
};

struct DriveTableData {
    DriveEntry rows[DRIVE_TABLE_ROWS];
    int count;     // rows in use
    int selected;  // the selected row
};
extern DriveTableData DriveTable;
extern char CurrentRevision[5];
extern char DriveListText[DRIVE_LIST_TEXT_LEN + 1];

// Identification data, each byte the expected character plus the pattern's
// offset (vendor 0x80, products 0x82); '?' matches any character.
extern const BYTE VendorPattern[8];
extern const BYTE ProductPattern[16];
extern const BYTE AltProductPattern[16];

void EnumerateDrives(void);
bool ProbeDrive(BYTE haId, BYTE targetId);
void SelectDrive(int index);
void RefreshSelectedRevision(void);

bool MatchVendor(const char *vendor);
bool MatchProduct(const char *product);
bool MatchRevisionPattern(const char *revision, const char *product);  // product may be NULL
bool MatchUpdateVersion(const char *revision, const char *version);
