// The ASPI for Win32 boundary: SCSI request blocks, command and status
// codes, request flags, and ScsiService, the entry points in use.
//
// 32-bit builds have the interface's exact layouts. 64-bit builds keep the
// field order, byte-packed, with pointer and handle fields 8 bytes wide and
// every other field its 32-bit size. Both are checked at compile time below.
#pragma once
#include <stddef.h>

#include "platform/win32.h"

#if defined(_WIN32) && !defined(_WIN64)
#define ASPI_CALL __cdecl
#else
#define ASPI_CALL
#endif

// SRB_Cmd
#define SC_HA_INQUIRY 0x00
#define SC_GET_DEV_TYPE 0x01
#define SC_EXEC_SCSI_CMD 0x02
#define SC_ABORT_SRB 0x03
#define SC_RESET_DEV 0x04
#define SC_SET_HA_PARMS 0x05
#define SC_GET_DISK_INFO 0x06
#define SC_RESCAN_SCSI_BUS 0x07
#define SC_GETSET_TIMEOUTS 0x08

// SRB_Status, SendASPI32Command results, bits 15..8 of the support word
#define SS_PENDING 0x00
#define SS_COMP 0x01
#define SS_ABORTED 0x02
#define SS_ERR 0x04
#define SS_INVALID_HA 0x81
#define SS_NO_DEVICE 0x82
#define SS_INVALID_SRB 0xE0
#define SS_FAILED_INIT 0xE4

// SRB_Flags
#define SRB_POSTING 0x01
#define SRB_ENABLE_RESIDUAL_COUNT 0x04
#define SRB_DIR_IN 0x08
#define SRB_DIR_OUT 0x10
#define SRB_EVENT_NOTIFY 0x40

// SRB_HaStat
#define HASTAT_OK 0x00
#define HASTAT_TIMEOUT 0x09

// SRB_TargStat
#define SCSI_STATUS_GOOD 0x00
#define SCSI_STATUS_CHECK_CONDITION 0x02
#define SCSI_STATUS_BUSY 0x08

// Sense bytes asked for, and room for them in the records this program builds.
#define SENSE_LEN 16
#define SENSE_AREA_LEN 20

#pragma pack(push, 1)

typedef struct {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
} SRB_Header;

typedef struct {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE HA_Count;
    BYTE HA_SCSI_ID;
    BYTE HA_ManagerId[16];
    BYTE HA_Identifier[16];
    BYTE HA_Unique[16];
    WORD HA_Rsvd1;
} SRB_HAInquiry;

typedef struct {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    BYTE SRB_DeviceType;
    BYTE SRB_Rsvd1;
} SRB_GDEVBlock;

typedef struct {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    WORD SRB_Rsvd1;
    DWORD SRB_BufLen;
    BYTE *SRB_BufPointer;
    BYTE SRB_SenseLen;
    BYTE SRB_CDBLen;
    BYTE SRB_HaStat;
    BYTE SRB_TargStat;
    LPVOID SRB_PostProc;  // completion routine or event handle, by SRB_Flags
    DWORD SRB_Rsvd2;
    BYTE SRB_Rsvd3[16];
    BYTE CDBByte[16];
    BYTE SenseArea[SENSE_AREA_LEN];
} SRB_ExecSCSICmd;

typedef struct {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    LPVOID SRB_ToAbort;
} SRB_Abort;

typedef struct {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    BYTE SRB_Rsvd1[12];
    BYTE SRB_HaStat;
    BYTE SRB_TargStat;
} SRB_BusDeviceReset;

typedef struct {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    WORD SRB_Rsvd1;
    DWORD SRB_Timeout;  // half-second units
} SRB_GetSetTimeouts;

#pragma pack(pop)

#define ASPI_CHECK(cond) static_assert(cond, #cond)
ASPI_CHECK(sizeof(SRB_Header) == 8);
ASPI_CHECK(sizeof(SRB_HAInquiry) == 60);
ASPI_CHECK(offsetof(SRB_HAInquiry, HA_ManagerId) == 0x0A);
ASPI_CHECK(offsetof(SRB_HAInquiry, HA_Identifier) == 0x1A);
ASPI_CHECK(offsetof(SRB_HAInquiry, HA_Unique) == 0x2A);
ASPI_CHECK(offsetof(SRB_HAInquiry, HA_Rsvd1) == 0x3A);
ASPI_CHECK(offsetof(SRB_GDEVBlock, SRB_DeviceType) == 0x0A);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_Target) == 0x08);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 0x0C);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 0x10);
ASPI_CHECK(offsetof(SRB_BusDeviceReset, SRB_HaStat) == 0x16);
ASPI_CHECK(offsetof(SRB_BusDeviceReset, SRB_TargStat) == 0x17);
ASPI_CHECK(offsetof(SRB_GetSetTimeouts, SRB_Timeout) == 0x0C);
ASPI_CHECK(offsetof(SRB_Abort, SRB_ToAbort) == 0x08);
#if defined(_WIN64) || !defined(_WIN32)
ASPI_CHECK(sizeof(void *) == 8);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 0x18);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_CDBLen) == 0x19);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_HaStat) == 0x1A);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_TargStat) == 0x1B);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 0x1C);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_Rsvd2) == 0x24);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_Rsvd3) == 0x28);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, CDBByte) == 0x38);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SenseArea) == 0x48);
ASPI_CHECK(sizeof(SRB_ExecSCSICmd) == 92);
ASPI_CHECK(sizeof(SRB_Abort) == 16);
#else
ASPI_CHECK(sizeof(void *) == 4);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 0x14);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_CDBLen) == 0x15);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_HaStat) == 0x16);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_TargStat) == 0x17);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 0x18);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_Rsvd2) == 0x1C);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SRB_Rsvd3) == 0x20);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, CDBByte) == 0x30);
ASPI_CHECK(offsetof(SRB_ExecSCSICmd, SenseArea) == 0x40);
ASPI_CHECK(sizeof(SRB_ExecSCSICmd) == 84);
ASPI_CHECK(sizeof(SRB_Abort) == 12);
#endif
#undef ASPI_CHECK

// The two entry points of an ASPI provider; C calling convention.
typedef DWORD(ASPI_CALL *GetASPI32SupportInfoProc)(void);
typedef DWORD(ASPI_CALL *SendASPI32CommandProc)(LPVOID srb);

// The provider in use: empty at start, bound once at start-up, read after.
struct ScsiServiceBinding {
    GetASPI32SupportInfoProc SupportInfo;
    SendASPI32CommandProc SendCommand;
    int AdapterCount;  // bits 7..0 of the support word
};
extern ScsiServiceBinding ScsiService;
