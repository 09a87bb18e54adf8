#include "drive_bench.h"

#include <cstring>
#include <mutex>

#include "app/display.h"
#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/flash.h"
#include "payload/payload.h"
#include "platform/atomic.h"
#include "res/resource.h"

namespace bench {

namespace {

std::mutex sentLock;
std::vector<Sent> sent;

size_t RecordSize(BYTE cmd) {
    switch (cmd) {
    case SC_EXEC_SCSI_CMD: return sizeof(SRB_ExecSCSICmd);
    case SC_ABORT_SRB: return sizeof(SRB_Abort);
    case SC_HA_INQUIRY: return sizeof(SRB_HAInquiry);
    default: return sizeof(SRB_Header);
    }
}

DWORD ASPI_CALL RecordingSend(LPVOID srb) {
    const BYTE *bytes = static_cast<const BYTE *>(srb);
    {
        std::lock_guard<std::mutex> g(sentLock);
        sent.push_back({std::vector<BYTE>(bytes, bytes + RecordSize(bytes[0])), srb, AtomicLoad(&FlashStage),
                        hostwin::Now()});
    }
    return AspiManagerSendCommand(srb);
}

}  // namespace

std::vector<Sent> SentRequests() {
    std::lock_guard<std::mutex> g(sentLock);
    return sent;
}

std::vector<Sent> SentCommands() {
    std::vector<Sent> commands;
    for (const Sent &s : SentRequests())
        if (s.cmd() == SC_EXEC_SCSI_CMD) commands.push_back(s);
    return commands;
}

WORD CheckValueOf(const testfiles::Bytes &image) {
    WORD sum = 0;
    for (size_t i = 0; i + 1 < image.size(); i += 2) sum += image[i] << 8 | image[i + 1];
    return sum;
}

void DriveBench::SetUp() {
    {
        std::lock_guard<std::mutex> g(sentLock);
        sent.clear();
    }
    AspiManagerStart();
    ScsiService.SupportInfo = AspiManagerGetSupportInfo;
    ScsiService.SendCommand = RecordingSend;
    ScsiService.AdapterCount = 1;
    dialog = hostwin::CreateTestWindow(nullptr, 0, "#32770");
    hostwin::CreateTestWindow(dialog, IDC_STATUS, "STATIC");
    hostwin::CreateTestWindow(dialog, IDC_DRIVE_LIST, "COMBOBOX");
    MainDialogHandle = dialog;
    DriveTable = DriveTableData{};
    CurrentTarget = DriveAddress{};
    std::memset(CurrentRevision, 0, sizeof CurrentRevision);
    std::memset(InquiryBuffer, 0, sizeof InquiryBuffer);
    std::memset(DriveListText, 0, sizeof DriveListText);
    AtomicStore(&FlashStage, 0);
    UsePayload("102", "1.02");
}

void DriveBench::TearDown() {
    AspiManagerStop();
    ScsiService = ScsiServiceBinding{};
    FirmwarePayload = FirmwarePayloadData{};
    FlashImage = nullptr;
    InitRevisionPattern();
    MainDialogHandle = nullptr;
}

drivemodel::DriveModel &DriveBench::Attach(BYTE ha, BYTE target, const drivemodel::DriveConfig &config) {
    models.push_back(std::make_unique<drivemodel::DriveModel>(config));
    AspiManagerAttach(ha, target, models.back().get());
    return *models.back();
}

void DriveBench::UsePayload(const std::string &versionChars, const char *updateVersion) {
    image = testfiles::Image(versionChars);
    FirmwarePayload = FirmwarePayloadData{};
    FirmwarePayload.CheckValue = CheckValueOf(image);
    std::memcpy(FirmwarePayload.Signature, "K827", 5);
    std::strncpy(FirmwarePayload.UpdateVersion, updateVersion, 4);
    FlashImage = image.data();
    InitRevisionPattern();
}

std::string DriveBench::StatusText() const { return hostwin::Control(dialog, IDC_STATUS).text; }

std::vector<std::string> DriveBench::ListEntries() const { return hostwin::Control(dialog, IDC_DRIVE_LIST).items; }

}  // namespace bench
