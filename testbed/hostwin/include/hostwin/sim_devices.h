// The test side of the drive-letter devices: what answers behind
// CreateFileA("\\\\.\\D:") and DeviceIoControl, and what the product sent.
#pragma once
#include <functional>
#include <vector>

#include "windows.h"

namespace hostwin {

// One SCSI command as the device receives it through the pass-through.
struct ScsiRequest {
    std::vector<BYTE> cdb;
    int direction = SCSI_IOCTL_DATA_OUT;  // SCSI_IOCTL_DATA_*
    BYTE *data = nullptr;                 // the caller's buffer, DataBuffer
    DWORD length = 0;                     // DataTransferLength
    ULONG timeoutSeconds = 0;
};

struct ScsiAnswer {
    BYTE status = 0;          // SCSI status byte
    std::vector<BYTE> sense;  // sense bytes returned with the status
    // Bytes moved; the whole length unless a model says fewer.
    DWORD transferred = 0xFFFFFFFFu;
};

using ScsiHandler = std::function<ScsiAnswer(const ScsiRequest &)>;

// A device behind a drive letter and how it answers the control codes.
struct DeviceModel {
    BYTE peripheralType = 5;  // CD/DVD
    bool answersInquiryData = true;  // IOCTL_SCSI_GET_INQUIRY_DATA
    bool answersCapabilities = true; // IOCTL_SCSI_GET_CAPABILITIES
    bool answersPassThrough = true;  // IOCTL_SCSI_PASS_THROUGH_DIRECT
    ULONG maximumTransferLength = 0x10000;
    ULONG alignmentMask = 1;
    // When not empty: the raw answer to IOCTL_SCSI_GET_INQUIRY_DATA, for
    // malformed answers.
    std::vector<BYTE> inquiryDataAnswer;
    int failedOpens = 0;  // opens that fail before one succeeds; -1 never opens
    // Pass-through calls that fail before one succeeds. A failed call leaves
    // its handle broken: later calls on it fail too, until it is reopened.
    int failedCalls = 0;
    ScsiHandler scsi;  // empty: StandardScsi of peripheralType
};

// Answers INQUIRY with standard data of the given type ("SIMULATE" /
// "DEVICE"), TEST UNIT READY with GOOD, everything else with CHECK CONDITION,
// ILLEGAL REQUEST.
ScsiHandler StandardScsi(BYTE peripheralType);
// A hard disk that answers every probe.
DeviceModel HardDisk();
ScsiAnswer CheckCondition(BYTE senseKey, BYTE asc, BYTE ascq);

// Puts a device behind a letter ('C' to 'Z'); letters without one do not open.
void AttachDevice(char letter, const DeviceModel &model);
void DetachDevice(char letter);

// One pass-through call as the product made it.
struct PassThroughRecord {
    int handleSerial = 0;          // 1 for the first open of the letter, and so on
    SCSI_PASS_THROUGH_DIRECT sptd{}; // as received, before the device answered
    DWORD inSize = 0, outSize = 0;
    DWORD threadId = 0;
    bool failed = false;
};

struct DeviceActivity {
    int opens = 0;         // successful opens
    int failedOpens = 0;
    int openHandles = 0;   // handles of the letter not yet closed
    std::vector<DWORD> controlCodes;  // every DeviceIoControl code, in order
    std::vector<PassThroughRecord> passThroughs;
};
DeviceActivity Device(char letter);

}  // namespace hostwin
