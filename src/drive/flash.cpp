// The flash sequence: six steps that move the payload image into the
// selected drive, with progress and outcome published in FlashStage.
#include "drive/flash.h"

#include "drive/commands.h"
#include "drive/discovery.h"
#include "payload/payload.h"
#include "platform/atomic.h"

volatile int FlashStage;
const BYTE *FlashImage;

#define IMAGE_ADDRESS 0x30000u
#define CHUNK_UNITS 8u
#define FIRST_BLOCK 3
#define LEAVE_PAUSE_MS 1000

namespace {

void NextStage() { AtomicStore(&FlashStage, AtomicLoad(&FlashStage) + 1); }

// A failed step ends the sequence, after telling the drive to leave
// download mode where the step asks for it.
DWORD Fail(int code, bool leave) {
    if (leave) SetDownloadMode(0);
    AtomicStore(&FlashStage, code);
    return 0;
}

}  // namespace

bool EnterDownloadMode(void) {
    return SetDownloadMode(1) && InquireCurrentDrive() &&
           MatchRevisionPattern((const char *)InquiryBuffer + 32, NULL);
}

// A length that is not whole units could never be sent: nothing is sent.
bool DownloadImage(DWORD address, const BYTE *data, DWORD length) {
    if (!data || length % UNIT_SIZE) return false;
    while (length) {
        UINT units = (length & ~0xFFFu) >= CHUNK_UNITS * UNIT_SIZE ? CHUNK_UNITS : length / UNIT_SIZE;
        if (!WriteImageChunk(address, units, data)) return false;
        address += units * UNIT_SIZE;
        data += units * UNIT_SIZE;
        length -= units * UNIT_SIZE;
    }
    return true;
}

bool RunBlockPass(BYTE operation) {
    int last = operation == 4 ? 31 : 30;
    for (int b = FIRST_BLOCK; b <= last; b++)
        if (!RunBlockOperation(operation, 0, 1u << b)) return false;
    return true;
}

bool LeaveDownloadMode(void) {
    if (!SetDownloadMode(0)) return false;
    Sleep(LEAVE_PAUSE_MS);
    return true;
}

DWORD WINAPI FlashThreadProc(LPVOID unused) {
    (void)unused;
    AtomicStore(&FlashStage, 0);
    if (!EnterDownloadMode()) return Fail(-1, true);
    NextStage();
    if (!DownloadImage(IMAGE_ADDRESS, FlashImage, IMAGE_SIZE)) return Fail(-2, true);
    NextStage();
    if (!SendCheckValue(FirmwarePayload.CheckValue)) return Fail(-3, true);
    NextStage();
    if (!RunBlockPass(4)) return Fail(-4, true);
    NextStage();
    // After a failed programming pass the drive stays in download mode,
    // ready to take the image again.
    if (!RunBlockPass(2)) return Fail(-5, false);
    NextStage();
    if (!LeaveDownloadMode()) return Fail(-6, false);
    NextStage();
    return 0;
}
