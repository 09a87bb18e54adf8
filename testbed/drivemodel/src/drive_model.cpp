#include "drivemodel/drive_model.h"

#include <string.h>

namespace drivemodel {

namespace {

const DWORD kImageFirstBlock = 3, kImageLastBlock = 30;
const DWORD kInquiryMax = 48;

struct Guard {
    CRITICAL_SECTION *cs;
    explicit Guard(CRITICAL_SECTION *c) : cs(c) { EnterCriticalSection(cs); }
    ~Guard() { LeaveCriticalSection(cs); }
};

void CopyField(char *to, size_t size, const char *from) {
    memset(to, 0, size);
    strncpy(to, from, size - 1);
}

// The revision a drive reports for the image it holds: bytes 1 to 3 of the
// image, a letter in the first place giving the undotted form.
void ImageRevision(const BYTE *image, char revision[5]) {
    BYTE b1 = image[1], b2 = image[2], b3 = image[3];
    bool letter = (b1 >= 'A' && b1 <= 'Z') || (b1 >= 'a' && b1 <= 'z');
    revision[0] = static_cast<char>(letter ? b2 : b1);
    revision[1] = letter ? '0' : '.';
    revision[2] = static_cast<char>(letter ? b3 : b2);
    revision[3] = static_cast<char>(letter ? b1 : b3);
    revision[4] = 0;
}

}  // namespace

const char *KindName(CommandKind kind) {
    switch (kind) {
    case CommandKind::Inquiry: return "INQUIRY";
    case CommandKind::WriteChunk: return "WRITE CHUNK";
    case CommandKind::BlockOp: return "BLOCK OPERATION";
    case CommandKind::DownloadMode: return "DOWNLOAD MODE";
    case CommandKind::CheckValue: return "CHECK VALUE";
    case CommandKind::Other: break;
    }
    return "OTHER";
}

CommandKind KindOf(const BYTE *cdb, DWORD cdbLen) {
    if (cdbLen == 0) return CommandKind::Other;
    if (cdb[0] == 0x12) return CommandKind::Inquiry;
    if (cdbLen < 2) return CommandKind::Other;
    if (cdb[0] == 0xCB) return cdb[1] == 0x01 ? CommandKind::WriteChunk : CommandKind::BlockOp;
    if (cdb[0] == 0xCC && cdb[1] == 0x01) return CommandKind::DownloadMode;
    if (cdb[0] == 0xCC && cdb[1] == 0x04) return CommandKind::CheckValue;
    return CommandKind::Other;
}

DWORD HostWaitLimit(CommandKind kind) { return kind == CommandKind::BlockOp ? 1200000 : 5000; }
DWORD LateDelay(CommandKind kind) { return HostWaitLimit(kind) + 1000; }

static DriveConfig Identified(const char *vendor, const char *product, const char *revision) {
    DriveConfig config;
    CopyField(config.vendor, sizeof config.vendor, vendor);
    CopyField(config.product, sizeof config.product, product);
    CopyField(config.revision, sizeof config.revision, revision);
    return config;
}

DriveConfig SupportedDrive(const char *revision) { return Identified("QMDISC  ", "DVD-RW QM-2816R ", revision); }
DriveConfig OemDrive(const char *revision) { return Identified("OEMDRIVE", "DVDRW QM2816RXA ", revision); }
DriveConfig OtherDevice() {
    DriveConfig config = Identified("ACME    ", "HARD DISK 540MB ", "2.10");
    config.deviceType = 0x00;
    config.vendorCommands = false;
    return config;
}

DriveModel::DriveModel(const DriveConfig &config)
    : config_(config), flash_(kMemorySize, config.flashFill), ram_(kMemorySize, 0xFF) {
    InitializeCriticalSection(&lock_);
    CopyField(revision_, sizeof revision_, config.revision);
}

DriveModel::~DriveModel() { DeleteCriticalSection(&lock_); }

Ticket DriveModel::Receive(const Request &request) {
    Guard g(&lock_);
    CommandKind kind = KindOf(request.cdb, request.cdbLen);
    int n = ++received_[static_cast<int>(kind)];
    Ticket ticket;
    for (const Fault &f : faults_) {
        if (f.kind == kind && n >= f.ordinal && (f.count == 0 || n < f.ordinal + f.count)) {
            ticket.faulted = true;
            ticket.fault = f;
            break;
        }
    }
    if (ticket.faulted) {
        switch (ticket.fault.action) {
        case FaultAction::Refuse: ticket.fate = Fate::Refused; break;
        case FaultAction::NeverComplete: ticket.fate = Fate::NeverEnds; break;
        case FaultAction::Delay: ticket.delayMs = ticket.fault.delayMs; break;
        case FaultAction::CompleteLate:
            ticket.delayMs = ticket.fault.delayMs ? ticket.fault.delayMs : LateDelay(kind);
            break;
        case FaultAction::CheckCondition: break;
        }
    }
    LogEntry entry = {};
    entry.kind = kind;
    memcpy(entry.cdb, request.cdb, sizeof entry.cdb);
    entry.cdbLen = request.cdbLen;
    entry.dataLen = request.dataLen;
    if (kind == CommandKind::WriteChunk) entry.address = request.cdb[3] << 16 | request.cdb[4] << 8 | request.cdb[5];
    if (kind == CommandKind::BlockOp)
        for (int i = 2; i <= 8; i++) entry.mask = entry.mask << 8 | request.cdb[i];
    entry.receivedAt = GetTickCount();
    entry.faulted = ticket.faulted;
    log_.push_back(entry);
    ticket.logIndex = static_cast<int>(log_.size() - 1);
    if (ticket.fate == Fate::Refused) {
        log_.back().outcome = Outcome::Refused;
        log_.back().completedAt = entry.receivedAt;
    }
    return ticket;
}

Result DriveModel::Execute(Request &request, const Ticket &ticket) {
    bool forever = ticket.fate == Fate::NeverEnds;
    DWORD wait = forever ? INFINITE : ticket.delayMs;
    bool limited = request.timeLimitMs && (forever || request.timeLimitMs < wait);
    if (limited) wait = request.timeLimitMs;
    Result result;
    if (wait) {
        if (request.cancel) {
            if (WaitForSingleObject(request.cancel, wait) == WAIT_OBJECT_0) result.outcome = Outcome::Cancelled;
        } else {
            Sleep(wait);
        }
    }
    if (result.outcome == Outcome::Completed && limited) result.outcome = Outcome::TimedOut;
    if (result.outcome == Outcome::Completed) {
        Guard g(&lock_);
        if (ticket.faulted && ticket.fault.action == FaultAction::CheckCondition)
            result = CheckCondition(ticket.fault.senseKey, ticket.fault.asc, ticket.fault.ascq);
        else
            result = Perform(request);
    }
    Finish(ticket, result);
    return result;
}

Result DriveModel::Submit(Request &request) {
    Ticket ticket = Receive(request);
    if (ticket.fate == Fate::Refused) {
        Result result;
        result.outcome = Outcome::Refused;
        return result;
    }
    return Execute(request, ticket);
}

void DriveModel::Finish(const Ticket &ticket, const Result &result) {
    Guard g(&lock_);
    LogEntry &entry = log_[ticket.logIndex];
    entry.outcome = result.outcome;
    entry.status = result.status;
    entry.completedAt = GetTickCount();
}

void DriveModel::AddFault(const Fault &fault) {
    Guard g(&lock_);
    faults_.push_back(fault);
}

void DriveModel::ClearFaults() {
    Guard g(&lock_);
    faults_.clear();
}

std::vector<LogEntry> DriveModel::Log() const {
    Guard g(&lock_);
    return log_;
}

std::vector<BYTE> DriveModel::Flash() const {
    Guard g(&lock_);
    return flash_;
}

std::vector<BYTE> DriveModel::RamBuffer() const {
    Guard g(&lock_);
    return ram_;
}

DriveState DriveModel::State() const {
    Guard g(&lock_);
    DriveState state;
    state.downloadMode = downloadMode_;
    state.verified = verified_;
    memcpy(state.revision, downloadMode_ ? config_.downloadRevision : revision_, sizeof state.revision);
    return state;
}

void DriveModel::LoadFlash(const BYTE *contents, DWORD length) {
    Guard g(&lock_);
    if (length > kMemorySize) length = kMemorySize;
    memcpy(flash_.data(), contents, length);
}

Result DriveModel::CheckCondition(BYTE key, BYTE asc, BYTE ascq) {
    Result result;
    result.status = 0x02;
    result.sense[0] = 0x70;
    result.sense[2] = key;
    result.sense[7] = 10;
    result.sense[12] = asc;
    result.sense[13] = ascq;
    result.senseLen = sizeof result.sense;
    return result;
}

// Sense codes the drive answers with.
#define ILLEGAL_REQUEST 0x05
#define INVALID_OPCODE 0x20
#define INVALID_FIELD 0x24
#define SEQUENCE_ERROR 0x2C
#define MISCOMPARE_KEY 0x0E
#define MISCOMPARE 0x1D

Result DriveModel::Perform(Request &request) {
    const BYTE *cdb = request.cdb;
    CommandKind kind = KindOf(cdb, request.cdbLen);
    if (kind == CommandKind::Inquiry) return Inquiry(request);
    if (kind == CommandKind::Other || !config_.vendorCommands)
        return CheckCondition(ILLEGAL_REQUEST, INVALID_OPCODE, 0);
    // Every vendor command has a 12-byte CDB; only the chunk write carries data.
    bool dataOk = kind == CommandKind::WriteChunk ? request.direction == Direction::Out
                                                  : request.dataLen == 0;
    if (request.cdbLen != 12 || !dataOk) return CheckCondition(ILLEGAL_REQUEST, INVALID_FIELD, 0);
    if (kind == CommandKind::DownloadMode) return DownloadMode(cdb);
    if (!downloadMode_) return CheckCondition(ILLEGAL_REQUEST, SEQUENCE_ERROR, 0);
    if (kind == CommandKind::WriteChunk) return WriteChunk(request);
    if (kind == CommandKind::CheckValue) return CheckValue(cdb);
    return BlockOp(cdb);
}

Result DriveModel::Inquiry(Request &request) {
    const BYTE *cdb = request.cdb;
    if (request.cdbLen != 6 || (cdb[1] & 0x01) || cdb[2] != 0)  // no vital product data pages
        return CheckCondition(ILLEGAL_REQUEST, INVALID_FIELD, 0);
    BYTE data[kInquiryMax] = {};
    data[0] = config_.deviceType;
    data[1] = config_.deviceType == 0x05 ? 0x80 : 0x00;  // removable medium
    data[2] = 0x02;
    data[3] = 0x02;
    data[4] = kInquiryMax - 5;
    memcpy(data + 8, config_.vendor, 8);
    memcpy(data + 16, config_.product, 16);
    memcpy(data + 32, downloadMode_ ? config_.downloadRevision : revision_, 4);
    DWORD n = cdb[4];
    if (n > config_.inquiryLength) n = config_.inquiryLength;
    if (n > kInquiryMax) n = kInquiryMax;
    if (n > request.dataLen) n = request.dataLen;
    if (request.direction != Direction::In) n = 0;
    if (n && request.data) memcpy(request.data, data, n);
    Result result;
    result.transferred = n;
    return result;
}

Result DriveModel::WriteChunk(Request &request) {
    const BYTE *cdb = request.cdb;
    DWORD address = cdb[3] << 16 | cdb[4] << 8 | cdb[5];
    DWORD length = cdb[8] * kUnitSize;
    if (length == 0 || request.dataLen != length || !request.data || address % kUnitSize ||
        address + length > kMemorySize)
        return CheckCondition(ILLEGAL_REQUEST, INVALID_FIELD, 0);
    memcpy(ram_.data() + address, request.data, length);
    for (DWORD i = 0; i < length; i += 2) receivedSum_ += request.data[i] << 8 | request.data[i + 1];
    verified_ = false;  // new data must be checked again
    Result result;
    result.transferred = length;
    return result;
}

Result DriveModel::BlockOp(const BYTE *cdb) {
    BYTE op = cdb[1];
    ULONGLONG mask = 0;
    for (int i = 2; i <= 8; i++) mask = mask << 8 | cdb[i];
    const ULONGLONG boot = (1ull << kBootBlocks) - 1;
    if ((op != 4 && op != 2) || mask == 0 || (mask & boot) || cdb[9] || cdb[10] || cdb[11])
        return CheckCondition(ILLEGAL_REQUEST, INVALID_FIELD, 0);
    // Programming the flash is allowed only from a checked buffer.
    if (op == 2 && !verified_) return CheckCondition(ILLEGAL_REQUEST, SEQUENCE_ERROR, 0);
    for (DWORD b = 0; b < kBlockCount; b++) {
        if (!(mask >> b & 1)) continue;
        BYTE *block = flash_.data() + b * kBlockSize;
        if (op == 4) {
            memset(block, 0xFF, kBlockSize);
            erased_[b] = true;
            programmed_[b] = false;
        } else {
            const BYTE *from = ram_.data() + b * kBlockSize;
            for (DWORD i = 0; i < kBlockSize; i++) block[i] &= from[i];  // flash bits only clear
            programmed_[b] = erased_[b];
        }
    }
    return Result();
}

Result DriveModel::DownloadMode(const BYTE *cdb) {
    if (memcmp(cdb + 4, config_.key, 4) != 0 || cdb[3] || cdb[8] || cdb[9] || cdb[10] || cdb[11])
        return CheckCondition(ILLEGAL_REQUEST, INVALID_FIELD, 0);
    if (cdb[2] == 1) {
        downloadMode_ = true;
        verified_ = false;
        receivedSum_ = 0;
        memset(erased_, 0, sizeof erased_);
        memset(programmed_, 0, sizeof programmed_);
        return Result();
    }
    if (cdb[2] != 0) return CheckCondition(ILLEGAL_REQUEST, INVALID_FIELD, 0);
    if (!downloadMode_) return Result();  // leaving when not in download mode changes nothing
    downloadMode_ = false;
    bool complete = verified_;
    for (DWORD b = kImageFirstBlock; b <= kImageLastBlock; b++) complete = complete && programmed_[b];
    if (complete) ImageRevision(flash_.data() + kImageFirstBlock * kBlockSize, revision_);
    return Result();
}

Result DriveModel::CheckValue(const BYTE *cdb) {
    WORD value = static_cast<WORD>(cdb[2] << 8 | cdb[3]);
    bool match = config_.check == CheckMode::AcceptAll ||
                 (config_.check == CheckMode::Verify && value == receivedSum_);
    for (int i = 4; i < 12; i++) match = match && cdb[i] == 0;
    verified_ = match;
    if (!match) return CheckCondition(MISCOMPARE_KEY, MISCOMPARE, 0);
    return Result();
}

}  // namespace drivemodel
