// The drive commands: every request block byte for byte, the wait limits,
// the outcomes a provider can give, and what happens to a request whose
// wait limit passed.
#include <cstring>
#include <functional>

#include "drive/commands.h"
#include "drive_bench.h"

namespace {

using drivemodel::CommandKind;
using drivemodel::Fault;
using drivemodel::FaultAction;

BYTE ChunkData[8 * UNIT_SIZE];

struct CommandCase {
    const char *name;
    std::function<bool()> call;
    CommandKind kind;
    BYTE flags;
    DWORD bufLen;
    const void *bufPointer;
    std::vector<BYTE> cdb;
    uint64_t wait;
};

std::vector<CommandCase> CommandCases() {
    const uint64_t minutes20 = 20 * 60 * 1000;
    return {
        {"InquireDrive", [] { return InquireDrive(1, 5); }, CommandKind::Inquiry, 0x48, 48, InquiryBuffer,
         {0x12, 0, 0, 0, 0x30, 0}, 5000},
        {"InquireCurrentDrive", [] { return InquireCurrentDrive(); }, CommandKind::Inquiry, 0x48, 48, InquiryBuffer,
         {0x12, 0, 0, 0, 0x30, 0}, 5000},
        {"WriteImageChunk", [] { return WriteImageChunk(0x123000, 8, ChunkData); }, CommandKind::WriteChunk, 0x50,
         32768, ChunkData, {0xCB, 0x01, 0, 0x12, 0x30, 0x00, 0, 0, 0x08, 0, 0, 0}, 5000},
        // Only 24 address bits travel.
        {"WriteImageChunkWideAddress", [] { return WriteImageChunk(0x1234567, 1, ChunkData); },
         CommandKind::WriteChunk, 0x50, 4096, ChunkData, {0xCB, 0x01, 0, 0x23, 0x45, 0x67, 0, 0, 0x01, 0, 0, 0}, 5000},
        {"RunBlockOperation", [] { return RunBlockOperation(4, 0xFFABCDEF, 0x12345678); }, CommandKind::BlockOp, 0x40,
         0, nullptr, {0xCB, 0x04, 0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56, 0x78, 0, 0, 0}, minutes20},
        {"SetDownloadModeEnter", [] { return SetDownloadMode(1); }, CommandKind::DownloadMode, 0x40, 0, nullptr,
         {0xCC, 0x01, 0x01, 0, 'K', '8', '2', '7', 0, 0, 0, 0}, 5000},
        {"SetDownloadModeAnyValue", [] { return SetDownloadMode(0x7E); }, CommandKind::DownloadMode, 0x40, 0, nullptr,
         {0xCC, 0x01, 0x7E, 0, 'K', '8', '2', '7', 0, 0, 0, 0}, 5000},
        {"SendCheckValue", [] { return SendCheckValue(0x1234); }, CommandKind::CheckValue, 0x40, 0, nullptr,
         {0xCC, 0x04, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0}, 5000},
    };
}

class Commands : public bench::DriveBench {
protected:
    void SetUp() override {
        DriveBench::SetUp();
        AspiManagerSetAdapterCount(2);
        ScsiService.AdapterCount = 2;
        CurrentTarget = {1, 5};
    }
};

// Each request block as sent, with every field not named zero, and the
// time the command waits for a drive that never answers; the overdue
// request is then aborted.
TEST_F(Commands, RequestBlocksAndWaitLimits) {
    for (const CommandCase &c : CommandCases()) {
        SCOPED_TRACE(c.name);
        auto &drive = Attach(1, 5);
        drive.AddFault({c.kind, 1, FaultAction::NeverComplete});
        size_t before = bench::SentRequests().size();
        uint64_t start = hostwin::Now();
        EXPECT_FALSE(c.call());
        EXPECT_EQ(hostwin::Now() - start, c.wait);

        auto sent = bench::SentRequests();
        ASSERT_EQ(sent.size(), before + 2);
        const bench::Sent &command = sent[before];
        SRB_ExecSCSICmd expected;
        std::memset(&expected, 0, sizeof expected);
        expected.SRB_Cmd = SC_EXEC_SCSI_CMD;
        expected.SRB_HaId = 1;
        expected.SRB_Target = 5;
        expected.SRB_Flags = c.flags;
        expected.SRB_BufLen = c.bufLen;
        expected.SRB_BufPointer = const_cast<BYTE *>(static_cast<const BYTE *>(c.bufPointer));
        expected.SRB_SenseLen = 16;
        expected.SRB_CDBLen = static_cast<BYTE>(c.cdb.size());
        LPVOID event = command.srb().SRB_PostProc;
        expected.SRB_PostProc = event;
        std::memcpy(expected.CDBByte, c.cdb.data(), c.cdb.size());
        EXPECT_NE(event, nullptr);
        EXPECT_EQ(command.record, std::vector<BYTE>(reinterpret_cast<BYTE *>(&expected),
                                                    reinterpret_cast<BYTE *>(&expected) + sizeof expected));

        const bench::Sent &abort = sent[before + 1];
        ASSERT_EQ(abort.cmd(), SC_ABORT_SRB);
        SRB_Abort a;
        std::memcpy(&a, abort.record.data(), sizeof a);
        BYTE haId = a.SRB_HaId;
        LPVOID toAbort = a.SRB_ToAbort;
        EXPECT_EQ(haId, 1);
        EXPECT_EQ(toAbort, command.address);
        hostwin::SettleThreads();  // the manager's thread records the outcome after the abort returns
        EXPECT_EQ(drive.Log().back().outcome, drivemodel::Outcome::Cancelled);
        AspiManagerAttach(1, 5, nullptr);
    }
    EXPECT_EQ(hostwin::OpenHandleCount(), 0);
    EXPECT_EQ(hostwin::InvalidHandleUses(), 0);
}

// How long a drive may take: just inside the limit succeeds, a completion
// after it fails when the limit passes.
TEST_F(Commands, CompletionWithinAndBeyondTheLimit) {
    struct Case {
        const char *name;
        std::function<bool()> call;
        CommandKind kind;
        DWORD delay;
        bool result;
        uint64_t elapsed;
    } cases[] = {
        {"inquiry in 4999 ms", [] { return InquireCurrentDrive(); }, CommandKind::Inquiry, 4999, true, 4999},
        {"inquiry in 5001 ms", [] { return InquireCurrentDrive(); }, CommandKind::Inquiry, 5001, false, 5000},
        {"check value in 4999 ms", [] { return SendCheckValue(0); }, CommandKind::CheckValue, 4999, true, 4999},
        {"block in 19 minutes", [] { return RunBlockOperation(4, 0, 8); }, CommandKind::BlockOp, 19 * 60000, true,
         19 * 60000},
        {"block in 21 minutes", [] { return RunBlockOperation(4, 0, 8); }, CommandKind::BlockOp, 21 * 60000, false,
         20 * 60000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        drivemodel::DriveConfig config = drivemodel::SupportedDrive();
        config.check = drivemodel::CheckMode::AcceptAll;
        auto &drive = Attach(1, 5, config);
        ASSERT_TRUE(SetDownloadMode(1));
        drive.AddFault({c.kind, 1, FaultAction::Delay, c.delay});
        uint64_t start = hostwin::Now();
        EXPECT_EQ(c.call(), c.result);
        EXPECT_EQ(hostwin::Now() - start, c.elapsed);
        AspiManagerAttach(1, 5, nullptr);
    }
}

TEST_F(Commands, SuccessfulChunkWriteReachesTheDrive) {
    auto &drive = Attach(1, 5);
    for (size_t i = 0; i < sizeof ChunkData; i++) ChunkData[i] = static_cast<BYTE>(i * 7);
    ASSERT_TRUE(SetDownloadMode(1));
    EXPECT_TRUE(WriteImageChunk(0x30000, 8, ChunkData));
    auto ram = drive.RamBuffer();
    EXPECT_EQ(0, std::memcmp(ram.data() + 0x30000, ChunkData, sizeof ChunkData));
    auto commands = bench::SentCommands();
    DWORD bufLen = commands.back().srb().SRB_BufLen;
    EXPECT_EQ(bufLen, 32768u);
    EXPECT_EQ(commands.back().srb().CDBByte[8], 0x08);
}

// Answers that end a command at once: no wait, false.
TEST_F(Commands, ImmediateFailures) {
    struct Case {
        const char *name;
        FaultAction action;
    } cases[] = {{"refused by the adapter", FaultAction::Refuse}, {"CHECK CONDITION", FaultAction::CheckCondition}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto &drive = Attach(1, 5);
        drive.AddFault({CommandKind::DownloadMode, 1, c.action});
        uint64_t start = hostwin::Now();
        EXPECT_FALSE(SetDownloadMode(1));
        EXPECT_EQ(hostwin::Now(), start);
        EXPECT_FALSE(drive.State().downloadMode);
        for (const bench::Sent &s : bench::SentRequests()) EXPECT_NE(s.cmd(), SC_ABORT_SRB);
        AspiManagerAttach(1, 5, nullptr);
    }
    EXPECT_EQ(hostwin::OpenHandleCount(), 0);
}

TEST_F(Commands, InquiryOfAnEmptyTargetLeavesTheBuffer) {
    std::memset(InquiryBuffer, 0xEE, sizeof InquiryBuffer);
    uint64_t start = hostwin::Now();
    EXPECT_FALSE(InquireDrive(0, 3));
    EXPECT_EQ(hostwin::Now(), start);
    EXPECT_EQ(std::vector<BYTE>(InquiryBuffer, InquiryBuffer + 48), std::vector<BYTE>(48, 0xEE));
    EXPECT_EQ(bench::SentCommands().size(), 1u);
}

// Only the status decides: a short answer succeeds and the bytes it did not
// reach keep what an earlier inquiry left.
TEST_F(Commands, ShortInquiryKeepsTheRest) {
    drivemodel::DriveConfig config = drivemodel::SupportedDrive();
    config.inquiryLength = 12;
    Attach(1, 5, config);
    std::memset(InquiryBuffer, 0xEE, sizeof InquiryBuffer);
    EXPECT_TRUE(InquireDrive(1, 5));
    EXPECT_EQ(InquiryBuffer[0], 0x05);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(InquiryBuffer) + 8, 4), "QMDI");
    EXPECT_EQ(InquiryBuffer[12], 0xEE);
    EXPECT_EQ(InquiryBuffer[47], 0xEE);
}

TEST_F(Commands, EventCreationFailureSendsNothing) {
    Attach(1, 5);
    hostwin::FailCall("CreateEventA");
    EXPECT_FALSE(SetDownloadMode(1));
    EXPECT_EQ(StatusText(), "Create Event Fail");
    EXPECT_TRUE(bench::SentRequests().empty());
    EXPECT_TRUE(SetDownloadMode(1));  // the next call is unaffected
}

TEST_F(Commands, NoProviderBoundSendsNothing) {
    Attach(1, 5);
    ScsiService.SendCommand = nullptr;
    EXPECT_FALSE(InquireDrive(1, 5));
    EXPECT_EQ(hostwin::CallCount("CreateEventA"), 0);
}

// A provider that cannot abort completes the overdue request later. Until it
// has, the command's record and event stay the provider's: the same command
// is refused without being sent, other commands run, and the late completion
// writes into the kept record and sets the kept event, never a reused one.
TEST_F(Commands, LateCompletionIsWaitedOutBeforeTheRecordIsReused) {
    auto &drive = Attach(1, 5);
    AspiManagerHonourAborts(false);
    ASSERT_TRUE(SetDownloadMode(1));
    drive.AddFault({CommandKind::CheckValue, 1, FaultAction::CompleteLate, 7000});
    uint64_t start = hostwin::Now();
    EXPECT_FALSE(SendCheckValue(0x1111));
    EXPECT_EQ(hostwin::Now() - start, 5000u);
    EXPECT_EQ(AspiManagerPendingCount(), 1);

    size_t sent = bench::SentCommands().size();
    EXPECT_FALSE(SendCheckValue(0x2222));  // refused: the record is still out
    EXPECT_EQ(bench::SentCommands().size(), sent);
    EXPECT_TRUE(InquireCurrentDrive());  // another command's record is free

    Sleep(2000);  // the drive answers the first request now
    hostwin::SettleThreads();  // and the manager's thread has completed it
    EXPECT_EQ(AspiManagerPendingCount(), 0);
    auto log = drive.Log();
    const drivemodel::LogEntry *late = nullptr;
    for (const auto &e : log)
        if (e.kind == CommandKind::CheckValue) late = &e;
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(late->outcome, drivemodel::Outcome::Completed);
    EXPECT_EQ(late->completedAt - late->receivedAt, 7000u);

    EXPECT_FALSE(SendCheckValue(0x3333));  // sent again, and answered by the drive
    EXPECT_EQ(bench::SentCommands().size(), sent + 2);
    EXPECT_EQ(hostwin::InvalidHandleUses(), 0);
    EXPECT_EQ(hostwin::OpenHandleCount(), 0);
}

// A provider that aborts: the overdue request ends with the abort and the
// next call of the command goes out at once.
TEST_F(Commands, AbortedRequestFreesTheRecordAtOnce) {
    auto &drive = Attach(1, 5);
    ASSERT_TRUE(SetDownloadMode(1));
    drive.AddFault({CommandKind::WriteChunk, 1, FaultAction::CompleteLate});
    EXPECT_FALSE(WriteImageChunk(0x40000, 1, ChunkData));
    EXPECT_EQ(AspiManagerPendingCount(), 0);
    EXPECT_TRUE(WriteImageChunk(0x50000, 1, ChunkData));
    Sleep(10000);  // past the first request's completion time: nothing arrives
    auto log = drive.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].outcome, drivemodel::Outcome::Cancelled);
    EXPECT_EQ(log[2].outcome, drivemodel::Outcome::Completed);
    auto ram = drive.RamBuffer();
    EXPECT_EQ(ram[0x40000], 0xFF);  // the aborted chunk never reached the buffer
    EXPECT_EQ(hostwin::InvalidHandleUses(), 0);
    EXPECT_EQ(hostwin::OpenHandleCount(), 0);
}

}  // namespace
