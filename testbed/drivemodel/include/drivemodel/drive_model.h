// A model of the QM-2816R drive and of other SCSI devices, for the test bed:
// it executes one CDB at a time and answers with a SCSI status and sense
// bytes, as the drive would. Host adapters (the ASPI manager stand-in, the
// simulated pass-through devices, the test wnaspi32.dll) put it behind their
// own interface. Plain C++ over Win32 calls: builds on the host stand-in and
// with mingw-w64.
#pragma once
#include <vector>

#include "platform/win32.h"

namespace drivemodel {

// The drive's memory map: 56 blocks of 64 KiB, the first three holding the
// boot code that the block operations never touch.
constexpr DWORD kBlockSize = 0x10000;
constexpr DWORD kBlockCount = 56;
constexpr DWORD kMemorySize = kBlockSize * kBlockCount;
constexpr DWORD kBootBlocks = 3;
constexpr DWORD kUnitSize = 4096;

enum class CommandKind {
    Inquiry,       // 0x12
    WriteChunk,    // 0xCB, sub-code 0x01
    BlockOp,       // 0xCB, any other sub-code
    DownloadMode,  // 0xCC, sub-code 0x01
    CheckValue,    // 0xCC, sub-code 0x04
    Other,         // anything else (the drive refuses it)
};
const char *KindName(CommandKind kind);
CommandKind KindOf(const BYTE *cdb, DWORD cdbLen);

enum class Direction { None, In, Out };

// What a fault injected for one command does.
enum class FaultAction {
    Refuse,          // the host adapter refuses the request at once; the drive never sees it
    CheckCondition,  // the drive answers CHECK CONDITION with the fault's sense, does nothing
    Delay,           // the command runs normally after delayMs
    CompleteLate,    // the command runs normally, but only after the host's wait limit
    NeverComplete,   // the command never ends (until the host adapter cancels it)
};

struct Fault {
    CommandKind kind = CommandKind::Other;
    int ordinal = 1;  // the n-th command of that kind the drive receives, from 1
    FaultAction action = FaultAction::Refuse;
    DWORD delayMs = 0;  // Delay; CompleteLate: 0 means LateDelay(kind)
    int count = 1;      // consecutive commands of the kind affected; 0: all from ordinal on
    BYTE senseKey = 0x05, asc = 0x24, ascq = 0x00;  // CheckCondition
};

// The wait limits of the flash utility for each command kind, and the delay
// CompleteLate uses by default: one second beyond it.
DWORD HostWaitLimit(CommandKind kind);
DWORD LateDelay(CommandKind kind);

enum class CheckMode {
    Verify,    // compare with the sum of the chunk data received since entering download mode
    AcceptAll,
    RejectAll,
};

struct DriveConfig {
    char vendor[9] = "QMDISC  ";
    char product[17] = "DVD-RW QM-2816R ";
    char revision[5] = "1.00";
    char downloadRevision[5] = "1.DL";  // reported while in download mode
    BYTE deviceType = 0x05;             // INQUIRY byte 0: CD/DVD device
    bool vendorCommands = true;         // false: 0xCB and 0xCC are illegal requests
    char key[5] = "K827";               // the download-mode switch's key
    CheckMode check = CheckMode::Verify;
    BYTE flashFill = 0x5A;  // initial contents of the flash (the old firmware)
    DWORD inquiryLength = 36;  // bytes of INQUIRY data the device has (at most 48)
};

// Preset devices for discovery.
DriveConfig SupportedDrive(const char *revision = "1.00");
DriveConfig OemDrive(const char *revision = "1.00");  // other vendor, the alternative product
DriveConfig OtherDevice();                            // a disk that answers only INQUIRY

// One command as the host adapter hands it over. The data buffer is the
// adapter's: data-in is written into it, data-out read from it.
struct Request {
    BYTE cdb[16] = {};
    DWORD cdbLen = 0;
    Direction direction = Direction::None;
    BYTE *data = nullptr;
    DWORD dataLen = 0;
    // Optional manual-reset event the adapter sets to cancel the command
    // while it waits (delay, late completion, never completes).
    HANDLE cancel = nullptr;
    // Optional limit the adapter gives the device (pass-through time-outs):
    // a command that would take longer ends as TimedOut at the limit. 0: none.
    DWORD timeLimitMs = 0;
};

enum class Fate {
    Refused,    // the host adapter must refuse the request at once
    Run,        // run it (Execute), after `delayMs`
    NeverEnds,  // Execute waits until cancelled
};

struct Ticket {
    Fate fate = Fate::Run;
    DWORD delayMs = 0;
    int logIndex = -1;  // the command's entry in the log
    bool faulted = false;
    Fault fault = {};   // a copy of the fault that applies, when faulted
};

enum class Outcome {
    Completed,  // status and sense are valid
    Cancelled,  // the adapter's cancel event was set first; nothing was done
    TimedOut,   // timeLimitMs passed first; nothing was done
    Refused,    // the ticket said so; nothing was done
};

struct Result {
    Outcome outcome = Outcome::Completed;
    BYTE status = 0;     // SCSI status: 0x00 GOOD, 0x02 CHECK CONDITION
    BYTE sense[18] = {}; // fixed-format sense data, valid with CHECK CONDITION
    DWORD senseLen = 0;
    DWORD transferred = 0;  // data bytes moved
};

// One entry of the command log.
struct LogEntry {
    CommandKind kind;
    BYTE cdb[16];
    DWORD cdbLen;
    DWORD dataLen;
    DWORD address;       // WriteChunk: drive address from the CDB
    ULONGLONG mask;      // BlockOp: the 56-bit block mask
    DWORD receivedAt;    // GetTickCount when received
    DWORD completedAt;   // GetTickCount when it ended (0 while running)
    Outcome outcome;
    BYTE status;
    bool faulted;        // a fault applied to it
};

struct DriveState {
    bool downloadMode;
    bool verified;       // the check value matched the data received
    char revision[5];    // what INQUIRY reports now
};

class DriveModel {
public:
    explicit DriveModel(const DriveConfig &config = DriveConfig());
    ~DriveModel();
    DriveModel(const DriveModel &) = delete;
    DriveModel &operator=(const DriveModel &) = delete;

    // Step 1, on the adapter's submitting thread: the drive receives the
    // command; it is logged and the faults decide its fate.
    Ticket Receive(const Request &request);
    // Step 2, on any thread: waits the ticket's delay (on the Win32 clock,
    // cut short by request.cancel or request.timeLimitMs), then runs the
    // command and answers. Never call it for a Refused ticket.
    Result Execute(Request &request, const Ticket &ticket);
    // Both steps on the calling thread, for adapters that run every command
    // synchronously (a Refused ticket gives Outcome::Refused at once).
    Result Submit(Request &request);

    void AddFault(const Fault &fault);
    void ClearFaults();

    // Observations; safe from any thread.
    std::vector<LogEntry> Log() const;
    std::vector<BYTE> Flash() const;        // kMemorySize bytes
    std::vector<BYTE> RamBuffer() const;    // kMemorySize bytes
    DriveState State() const;
    const DriveConfig &Config() const { return config_; }
    // Starts the flash over with `contents` (at most kMemorySize bytes from 0).
    void LoadFlash(const BYTE *contents, DWORD length);

private:
    Result Perform(Request &request);
    Result CheckCondition(BYTE key, BYTE asc, BYTE ascq);
    Result Inquiry(Request &request);
    Result WriteChunk(Request &request);
    Result BlockOp(const BYTE *cdb);
    Result DownloadMode(const BYTE *cdb);
    Result CheckValue(const BYTE *cdb);
    void Finish(const Ticket &ticket, const Result &result);

    DriveConfig config_;
    mutable CRITICAL_SECTION lock_;
    std::vector<Fault> faults_;
    std::vector<LogEntry> log_;
    int received_[6] = {};
    std::vector<BYTE> flash_, ram_;
    bool downloadMode_ = false;
    bool verified_ = false;
    WORD receivedSum_ = 0;  // big-endian word sum of chunk data since entering download mode
    bool erased_[kBlockCount] = {};
    bool programmed_[kBlockCount] = {};
    char revision_[5];
};

}  // namespace drivemodel
