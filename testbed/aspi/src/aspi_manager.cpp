#include "aspi/aspi_manager.h"

#include <string.h>

#include <vector>

using drivemodel::DriveModel;

namespace {

const int kMaxAdapters = 256;
const int kMaxRequests = 32;

// One request between SS_PENDING and its completion.
struct Pending {
    bool used;
    bool aborted;  // completed by the abort (or dropped by Stop): the thread must not touch the SRB
    SRB_ExecSCSICmd *srb;
    DriveModel *model;
    drivemodel::Request request;
    drivemodel::Ticket ticket;
    std::vector<BYTE> bounce;  // the data phase runs here; data-in is copied out on completion
};

struct Manager {
    bool started;
    CRITICAL_SECTION lock;
    int adapterCount;
    BYTE supportStatus;
    bool honourAborts;
    DriveModel *devices[kMaxAdapters][ASPI_MANAGER_TARGETS];
    Pending pending[kMaxRequests];
};
Manager TheManager;

struct Guard {
    Guard() { EnterCriticalSection(&TheManager.lock); }
    ~Guard() { LeaveCriticalSection(&TheManager.lock); }
};

void Notify(SRB_ExecSCSICmd *srb) {
    if (srb->SRB_Flags & SRB_POSTING) {
        reinterpret_cast<void(ASPI_CALL *)(SRB_ExecSCSICmd *)>(srb->SRB_PostProc)(srb);
    } else if (srb->SRB_Flags & SRB_EVENT_NOTIFY) {
        SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
    }
}

void Release(Pending *p) {
    CloseHandle(p->request.cancel);
    p->bounce.clear();
    p->used = false;
}

// Writes the outcome into the caller's record; the manager's lock is held.
void Complete(Pending *p, const drivemodel::Result &result) {
    SRB_ExecSCSICmd *srb = p->srb;
    if (result.outcome != drivemodel::Outcome::Completed) {
        srb->SRB_HaStat = HASTAT_TIMEOUT;
        srb->SRB_Status = SS_ABORTED;
        return;
    }
    if (p->request.direction == drivemodel::Direction::In && result.transferred)
        memcpy(srb->SRB_BufPointer, p->bounce.data(), result.transferred);
    srb->SRB_HaStat = HASTAT_OK;
    srb->SRB_TargStat = result.status;
    if (result.status != SCSI_STATUS_GOOD) {
        DWORD n = srb->SRB_SenseLen < result.senseLen ? srb->SRB_SenseLen : result.senseLen;
        memcpy(srb->SenseArea, result.sense, n);
    }
    srb->SRB_Status = result.status == SCSI_STATUS_GOOD ? SS_COMP : SS_ERR;
}

DWORD WINAPI RequestThread(LPVOID parameter) {
    Pending *p = static_cast<Pending *>(parameter);
    drivemodel::Result result = p->model->Execute(p->request, p->ticket);
    SRB_ExecSCSICmd *srb = nullptr;
    {
        Guard g;
        if (!p->aborted) {
            Complete(p, result);
            srb = p->srb;
        }
        Release(p);
    }
    if (srb) Notify(srb);  // after the last write into the record
    return 0;
}

DWORD Answer(SRB_Header *srb, BYTE status) {
    srb->SRB_Status = status;
    return status;
}

DriveModel *DeviceAt(BYTE haId, BYTE target, BYTE lun) {
    if (target >= ASPI_MANAGER_TARGETS || lun != 0) return nullptr;
    return TheManager.devices[haId][target];
}

DWORD HaInquiry(SRB_HAInquiry *srb) {
    srb->HA_Count = static_cast<BYTE>(TheManager.adapterCount);
    srb->HA_SCSI_ID = 7;
    memcpy(srb->HA_ManagerId, "TESTBED ASPI MGR", 16);
    memset(srb->HA_Identifier, 0, sizeof srb->HA_Identifier);
    memcpy(srb->HA_Identifier, "TESTBED HA", 10);
    memset(srb->HA_Unique, 0, sizeof srb->HA_Unique);
    srb->HA_Unique[3] = ASPI_MANAGER_TARGETS;
    srb->HA_Unique[6] = 0x01;  // 0x10000 bytes at most per transfer
    return Answer(reinterpret_cast<SRB_Header *>(srb), SS_COMP);
}

DWORD GetDeviceType(SRB_GDEVBlock *srb) {
    Guard g;
    DriveModel *model = DeviceAt(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
    if (!model) return Answer(reinterpret_cast<SRB_Header *>(srb), SS_NO_DEVICE);
    srb->SRB_DeviceType = model->Config().deviceType & 0x1F;
    return Answer(reinterpret_cast<SRB_Header *>(srb), SS_COMP);
}

DWORD Execute(SRB_ExecSCSICmd *srb) {
    SRB_Header *header = reinterpret_cast<SRB_Header *>(srb);
    BYTE notify = srb->SRB_Flags & (SRB_POSTING | SRB_EVENT_NOTIFY);
    BYTE direction = srb->SRB_Flags & (SRB_DIR_IN | SRB_DIR_OUT);
    if (notify == (SRB_POSTING | SRB_EVENT_NOTIFY) || direction == (SRB_DIR_IN | SRB_DIR_OUT) ||
        srb->SRB_CDBLen == 0 || srb->SRB_CDBLen > 16 || (srb->SRB_BufLen && !srb->SRB_BufPointer))
        return Answer(header, SS_INVALID_SRB);
    Guard g;
    DriveModel *model = DeviceAt(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
    if (!model) return Answer(header, SS_NO_DEVICE);
    Pending *p = nullptr;
    for (Pending &slot : TheManager.pending)
        if (!slot.used) {
            p = &slot;
            break;
        }
    HANDLE cancel = p ? CreateEventA(nullptr, TRUE, FALSE, nullptr) : nullptr;
    if (!cancel) return Answer(header, SS_ABORTED);  // out of resources: refused at once
    p->used = true;
    p->aborted = false;
    p->srb = srb;
    p->model = model;
    p->request = drivemodel::Request();
    memcpy(p->request.cdb, srb->CDBByte, srb->SRB_CDBLen);
    p->request.cdbLen = srb->SRB_CDBLen;
    p->request.direction = direction == SRB_DIR_IN    ? drivemodel::Direction::In
                           : direction == SRB_DIR_OUT ? drivemodel::Direction::Out
                                                      : drivemodel::Direction::None;
    p->bounce.assign(srb->SRB_BufLen, 0);
    if (direction == SRB_DIR_OUT && srb->SRB_BufLen) memcpy(p->bounce.data(), srb->SRB_BufPointer, srb->SRB_BufLen);
    p->request.data = p->bounce.data();
    p->request.dataLen = srb->SRB_BufLen;
    p->request.cancel = cancel;
    p->ticket = model->Receive(p->request);
    if (p->ticket.fate == drivemodel::Fate::Refused) {
        Release(p);
        srb->SRB_HaStat = HASTAT_OK;
        srb->SRB_TargStat = SCSI_STATUS_BUSY;
        return Answer(header, SS_ERR);
    }
    srb->SRB_Status = SS_PENDING;
    HANDLE thread = CreateThread(nullptr, 0, RequestThread, p, 0, nullptr);
    if (!thread) {
        Release(p);
        return Answer(header, SS_ABORTED);
    }
    CloseHandle(thread);
    return SS_PENDING;
}

// As the Windows 9x managers do, the aborted request is completed at once
// with SS_ABORTED and notified; once the abort has returned the manager no
// longer touches that record.
DWORD Abort(SRB_Abort *srb) {
    SRB_ExecSCSICmd *target = static_cast<SRB_ExecSCSICmd *>(srb->SRB_ToAbort);
    Pending *found = nullptr;
    {
        Guard g;
        for (Pending &slot : TheManager.pending)
            if (slot.used && !slot.aborted && slot.srb == target) found = &slot;
        if (!found || !TheManager.honourAborts) return Answer(reinterpret_cast<SRB_Header *>(srb), SS_INVALID_SRB);
        found->aborted = true;
        target->SRB_HaStat = HASTAT_OK;
        target->SRB_Status = SS_ABORTED;
        SetEvent(found->request.cancel);
    }
    Notify(target);
    return Answer(reinterpret_cast<SRB_Header *>(srb), SS_COMP);
}

bool AnyRequestThread() {
    Guard g;
    for (Pending &p : TheManager.pending)
        if (p.used) return true;
    return false;
}

}  // namespace

void AspiManagerStart(void) {
    memset(TheManager.devices, 0, sizeof TheManager.devices);
    for (Pending &p : TheManager.pending) p = Pending();
    InitializeCriticalSection(&TheManager.lock);
    TheManager.adapterCount = 1;
    TheManager.supportStatus = SS_COMP;
    TheManager.honourAborts = true;
    TheManager.started = true;
}

void AspiManagerStop(void) {
    if (!TheManager.started) return;
    {
        Guard g;
        for (Pending &p : TheManager.pending)
            if (p.used) {
                p.aborted = true;
                SetEvent(p.request.cancel);
            }
    }
    while (AnyRequestThread()) Sleep(1);
    DeleteCriticalSection(&TheManager.lock);
    TheManager.started = false;
}

void AspiManagerSetAdapterCount(int count) {
    Guard g;
    TheManager.adapterCount = count;
}

void AspiManagerSetSupportStatus(BYTE status) {
    Guard g;
    TheManager.supportStatus = status;
}

void AspiManagerAttach(BYTE haId, BYTE targetId, DriveModel *model) {
    Guard g;
    if (targetId < ASPI_MANAGER_TARGETS) TheManager.devices[haId][targetId] = model;
}

void AspiManagerHonourAborts(bool on) {
    Guard g;
    TheManager.honourAborts = on;
}

int AspiManagerPendingCount(void) {
    Guard g;
    int n = 0;
    for (Pending &p : TheManager.pending) n += p.used && !p.aborted;
    return n;
}

DWORD ASPI_CALL AspiManagerGetSupportInfo(void) {
    Guard g;
    return static_cast<DWORD>(TheManager.supportStatus) << 8 | (TheManager.adapterCount & 0xFF);
}

DWORD ASPI_CALL AspiManagerSendCommand(LPVOID raw) {
    SRB_Header *srb = static_cast<SRB_Header *>(raw);
    int count;
    {
        Guard g;
        count = TheManager.adapterCount;
    }
    if (srb->SRB_HaId >= count) return Answer(srb, SS_INVALID_HA);
    switch (srb->SRB_Cmd) {
    case SC_HA_INQUIRY: return HaInquiry(static_cast<SRB_HAInquiry *>(raw));
    case SC_GET_DEV_TYPE: return GetDeviceType(static_cast<SRB_GDEVBlock *>(raw));
    case SC_EXEC_SCSI_CMD: return Execute(static_cast<SRB_ExecSCSICmd *>(raw));
    case SC_ABORT_SRB: return Abort(static_cast<SRB_Abort *>(raw));
    case SC_RESET_DEV:
    case SC_RESCAN_SCSI_BUS:
    case SC_GETSET_TIMEOUTS: return Answer(srb, SS_COMP);
    default: return Answer(srb, SS_INVALID_SRB);
    }
}
