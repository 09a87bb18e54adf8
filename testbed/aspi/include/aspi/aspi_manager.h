// An ASPI manager as Windows 9x provides it in wnaspi32.dll, over drive
// models placed at host adapters and targets: the support word, requests
// answered with SS_PENDING and completed from a thread of its own (event or
// posting routine), SS_NO_DEVICE at once for an empty target, and
// SC_ABORT_SRB. Plain Win32 code: serves the host tests and test libraries
// built with mingw-w64.
#pragma once
#include "drivemodel/drive_model.h"
#include "scsi/aspi.h"

#define ASPI_MANAGER_TARGETS 8

// The manager lives from Start to Stop. Start sets the defaults: 1 host
// adapter, status SS_COMP in the support word, no devices, aborts honoured.
// Stop cancels every request still running (none of them is completed or
// notified afterwards) and returns once their threads are done with the
// models, so the models may then go.
void AspiManagerStart(void);
void AspiManagerStop(void);

void AspiManagerSetAdapterCount(int count);  // 0 to 255
void AspiManagerSetSupportStatus(BYTE status);
// A model at (haId, targetId), LUN 0; null empties the place.
void AspiManagerAttach(BYTE haId, BYTE targetId, drivemodel::DriveModel *model);
// false: SC_ABORT_SRB is refused with SS_INVALID_SRB and the request runs on,
// as with a manager that cannot abort.
void AspiManagerHonourAborts(bool on);
// Requests accepted with SS_PENDING and not yet completed or aborted.
int AspiManagerPendingCount(void);

DWORD ASPI_CALL AspiManagerGetSupportInfo(void);
DWORD ASPI_CALL AspiManagerSendCommand(LPVOID srb);
