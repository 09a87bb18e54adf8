// Finding the supported drives behind the ASPI provider and keeping track of
// the selected one.
#include "drive/discovery.h"

#include <string.h>

#include "app/display.h"
#include "drive/commands.h"
#include "payload/payload.h"
#include "scsi/aspi.h"

DriveTableData DriveTable;
char CurrentRevision[5];
char DriveListText[DRIVE_LIST_TEXT_LEN + 1];

#define VENDOR_OFFSET 0x80
#define PRODUCT_OFFSET 0x82
#define ANY_CHARACTER 0x3F
#define DRIVE_TARGETS 8

namespace {

const char *InquiryVendor() { return (const char *)InquiryBuffer + 8; }
const char *InquiryProduct() { return (const char *)InquiryBuffer + 16; }
const char *InquiryRevision() { return (const char *)InquiryBuffer + 32; }

bool MatchPattern(const BYTE *pattern, int length, int offset, const char *data) {
    for (int i = 0; i < length; i++) {
        int expected = pattern[i] - offset;
        if (expected != ANY_CHARACTER && expected != (signed char)data[i]) return false;
    }
    return true;
}

char IdDigit(BYTE n) { return (char)(n < 10 ? '0' + n : 'A' + (n - 10)); }

void ComposeListText(BYTE haId, BYTE targetId) {
    memcpy(DriveListText, "[HA:0/ID:0]", 11);
    DriveListText[4] = IdDigit(haId);
    DriveListText[9] = IdDigit(targetId);
    memcpy(DriveListText + 11, InquiryVendor(), 8);
    memcpy(DriveListText + 19, InquiryProduct(), 16);
    DriveListText[DRIVE_LIST_TEXT_LEN] = 0;
}

void CopyField(char *to, const char *from, int length) {
    memcpy(to, from, length);
    to[length] = 0;
}

}  // namespace

bool MatchVendor(const char *vendor) { return MatchPattern(VendorPattern, 8, VENDOR_OFFSET, vendor); }

bool MatchProduct(const char *product) { return MatchPattern(ProductPattern, 16, PRODUCT_OFFSET, product); }

bool MatchRevisionPattern(const char *revision, const char *product) {
    if (!MatchPattern(RevisionPattern, 4, REVISION_OFFSET, revision)) return false;
    return !product || MatchPattern(AltProductPattern, 16, PRODUCT_OFFSET, product);
}

bool MatchUpdateVersion(const char *revision, const char *version) {
    if (revision[1] == '.' || revision[1] == '-') {
        if (revision[0] == version[0] && revision[1] == version[1] && revision[2] == version[2]) return true;
        return MatchRevisionPattern(revision, NULL);
    }
    return revision[0] == version[0] && revision[1] == version[1];
}

bool ProbeDrive(BYTE haId, BYTE targetId) {
    if (!InquireDrive(haId, targetId)) return false;
    bool supported;
    if (MatchVendor(InquiryVendor()) && MatchProduct(InquiryProduct()))
        supported = MatchUpdateVersion(InquiryRevision(), FirmwarePayload.UpdateVersion) ||
                    MatchRevisionPattern(InquiryRevision(), NULL);
    else
        supported = MatchRevisionPattern(InquiryRevision(), InquiryProduct());
    ComposeListText(haId, targetId);
    return supported;
}

void EnumerateDrives(void) {
    int rows = 0;
    // A full table ends the search: no further drive could be listed.
    for (int h = 0; h < ScsiService.AdapterCount && rows < DRIVE_TABLE_ROWS; h++) {
        for (BYTE t = 0; t < DRIVE_TARGETS && rows < DRIVE_TABLE_ROWS; t++) {
            if (!ProbeDrive((BYTE)h, t)) continue;
            DriveEntry *row = &DriveTable.rows[rows];
            row->index = (BYTE)rows;
            row->haId = (BYTE)h;
            row->targetId = t;
            CopyField(row->vendor, InquiryVendor(), 8);
            CopyField(row->product, InquiryProduct(), 16);
            CopyField(row->revision, InquiryRevision(), 4);
            AddDriveListEntry(DriveListText);
            rows++;
        }
    }
    DriveTable.count = rows;
}

void SelectDrive(int index) {
    if (index < 0 || index >= DriveTable.count) return;
    DriveTable.selected = index;
    CurrentTarget.haId = DriveTable.rows[index].haId;
    CurrentTarget.targetId = DriveTable.rows[index].targetId;
    CopyField(CurrentRevision, DriveTable.rows[index].revision, 4);
}

void RefreshSelectedRevision(void) {
    int selected = DriveTable.selected;
    if (selected < 0 || selected >= DriveTable.count || !InquireCurrentDrive()) return;
    memcpy(DriveTable.rows[selected].revision, InquiryRevision(), 4);
    SelectDrive(selected);
}
