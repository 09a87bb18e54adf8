// The five drive commands. Each owns one static request record and event;
// the record belongs to the ASPI provider from the moment it answers
// SS_PENDING until it has notified the event.
#include "drive/commands.h"

#include <string.h>

#include "app/display.h"
#include "payload/payload.h"
#include "scsi/aspi.h"

DriveAddress CurrentTarget;
BYTE InquiryBuffer[INQUIRY_LEN];

namespace {

const DWORD kCommandWait = 5000;
const DWORD kBlockWait = 20 * 60 * 1000;

struct CommandSlot {
    SRB_ExecSCSICmd srb;
    // Set while a request is out with the provider: the event stays open
    // until the provider has notified it.
    HANDLE event;
    SRB_Abort abort;
};

CommandSlot InquirySlot, ChunkSlot, BlockSlot, ModeSlot, CheckSlot;

struct CommandFields {
    BYTE haId, targetId;
    BYTE flags;
    BYTE *data;
    DWORD dataLen;
    BYTE cdb[12];
    BYTE cdbLen;
    DWORD wait;
};

// A request whose wait ran out is still the provider's until it notifies
// the event; only then may the record and the event be used again.
bool SlotFree(CommandSlot *slot) {
    if (!slot->event) return true;
    if (WaitForSingleObject(slot->event, 0) != WAIT_OBJECT_0) return false;
    CloseHandle(slot->event);
    slot->event = NULL;
    return true;
}

// The wait ran out: ask the provider to drop the request. Only an abort it
// accepts tells that the record is no longer written; a provider that
// refuses may still complete the request later.
bool AbortOverdue(CommandSlot *slot) {
    memset(&slot->abort, 0, sizeof slot->abort);
    slot->abort.SRB_Cmd = SC_ABORT_SRB;
    slot->abort.SRB_HaId = slot->srb.SRB_HaId;
    slot->abort.SRB_ToAbort = &slot->srb;
    return ScsiService.SendCommand(&slot->abort) == SS_COMP;
}

bool Issue(CommandSlot *slot, const CommandFields &fields) {
    if (!ScsiService.SendCommand || !SlotFree(slot)) return false;
    slot->event = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (!slot->event) {
        ShowStatus("Create Event Fail");
        return false;
    }
    SRB_ExecSCSICmd *srb = &slot->srb;
    memset(srb, 0, sizeof *srb);
    srb->SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb->SRB_HaId = fields.haId;
    srb->SRB_Target = fields.targetId;
    srb->SRB_Flags = fields.flags;
    srb->SRB_BufLen = fields.dataLen;
    srb->SRB_BufPointer = fields.data;
    srb->SRB_SenseLen = SENSE_LEN;
    srb->SRB_CDBLen = fields.cdbLen;
    srb->SRB_PostProc = slot->event;
    memcpy(srb->CDBByte, fields.cdb, fields.cdbLen);
    ResetEvent(slot->event);
    if (ScsiService.SendCommand(srb) == SS_PENDING &&
        WaitForSingleObject(slot->event, fields.wait) != WAIT_OBJECT_0 && !AbortOverdue(slot))
        return false;  // keeps the event: SlotFree releases it once notified
    CloseHandle(slot->event);
    slot->event = NULL;
    return srb->SRB_Status == SS_COMP;
}

CommandFields VendorCommand(BYTE code, BYTE subCode, DWORD wait) {
    CommandFields fields;
    memset(&fields, 0, sizeof fields);
    fields.haId = CurrentTarget.haId;
    fields.targetId = CurrentTarget.targetId;
    fields.flags = SRB_EVENT_NOTIFY;
    fields.cdb[0] = code;
    fields.cdb[1] = subCode;
    fields.cdbLen = 12;
    fields.wait = wait;
    return fields;
}

}  // namespace

bool InquireDrive(BYTE haId, BYTE targetId) {
    CommandFields fields;
    memset(&fields, 0, sizeof fields);
    fields.haId = haId;
    fields.targetId = targetId;
    fields.flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
    fields.data = InquiryBuffer;
    fields.dataLen = INQUIRY_LEN;
    fields.cdb[0] = 0x12;
    fields.cdb[4] = INQUIRY_LEN;
    fields.cdbLen = 6;
    fields.wait = kCommandWait;
    return Issue(&InquirySlot, fields);
}

bool InquireCurrentDrive(void) {
    DriveAddress target = CurrentTarget;
    return InquireDrive(target.haId, target.targetId);
}

bool WriteImageChunk(DWORD address, UINT units, const BYTE *data) {
    CommandFields fields = VendorCommand(0xCB, 0x01, kCommandWait);
    fields.flags = SRB_DIR_OUT | SRB_EVENT_NOTIFY;
    fields.data = const_cast<BYTE *>(data);  // sent, never written
    fields.dataLen = units * UNIT_SIZE;
    fields.cdb[3] = (BYTE)(address >> 16);
    fields.cdb[4] = (BYTE)(address >> 8);
    fields.cdb[5] = (BYTE)address;
    fields.cdb[8] = (BYTE)units;
    return Issue(&ChunkSlot, fields);
}

bool RunBlockOperation(BYTE operation, DWORD maskHigh, DWORD maskLow) {
    CommandFields fields = VendorCommand(0xCB, operation, kBlockWait);
    fields.cdb[2] = (BYTE)(maskHigh >> 16);
    fields.cdb[3] = (BYTE)(maskHigh >> 8);
    fields.cdb[4] = (BYTE)maskHigh;
    fields.cdb[5] = (BYTE)(maskLow >> 24);
    fields.cdb[6] = (BYTE)(maskLow >> 16);
    fields.cdb[7] = (BYTE)(maskLow >> 8);
    fields.cdb[8] = (BYTE)maskLow;
    return Issue(&BlockSlot, fields);
}

bool SetDownloadMode(BYTE mode) {
    CommandFields fields = VendorCommand(0xCC, 0x01, kCommandWait);
    fields.cdb[2] = mode;
    memcpy(fields.cdb + 4, ModelCode, 4);
    return Issue(&ModeSlot, fields);
}

bool SendCheckValue(WORD value) {
    CommandFields fields = VendorCommand(0xCC, 0x04, kCommandWait);
    fields.cdb[2] = (BYTE)(value >> 8);
    fields.cdb[3] = (BYTE)value;
    return Issue(&CheckSlot, fields);
}
