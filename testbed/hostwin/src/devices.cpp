// Drive-letter devices: "\\.\X:" opens the device attached to letter X, and
// DeviceIoControl serves the SCSI control codes from its model, checking the
// pass-through record as the port driver does.
#include <atomic>
#include <cctype>
#include <cstring>

#include "hostwin/sim_devices.h"
#include "machine.h"

using namespace hostwin;

namespace {

struct DeviceState {
    DeviceModel model;
    DeviceActivity activity;
    int openSerial = 0;
    int opensToFail = 0;
    int callsToFail = 0;
    std::atomic<int> openHandles{0};
};

struct DeviceHandle : Object {
    std::shared_ptr<DeviceState> device;
    int serial = 0;
    bool broken = false;  // a failed call spoils the handle until it is reopened
    ~DeviceHandle() override { device->openHandles--; }
};

std::map<char, std::shared_ptr<DeviceState>> &Devices() {
    static auto *devices = [] {
        auto *d = new std::map<char, std::shared_ptr<DeviceState>>;
        M().resetHooks.push_back([d] { d->clear(); });
        AddOpenHook([d](const std::string &path, DWORD, bool *handled) -> std::shared_ptr<Object> {
            if (path.size() != 6 || path.compare(0, 4, "\\\\.\\") != 0 || path[5] != ':' ||
                !std::isalpha(static_cast<unsigned char>(path[4])))
                return nullptr;
            *handled = true;
            auto it = d->find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[4]))));
            if (it == d->end()) {
                SetError(ERROR_FILE_NOT_FOUND);
                return nullptr;
            }
            DeviceState &dev = *it->second;
            if (dev.opensToFail != 0) {
                if (dev.opensToFail > 0) dev.opensToFail--;
                dev.activity.failedOpens++;
                SetError(ERROR_ACCESS_DENIED);
                return nullptr;
            }
            auto handle = std::make_shared<DeviceHandle>();
            handle->device = it->second;
            handle->serial = ++dev.openSerial;
            dev.openHandles++;
            dev.activity.opens++;
            SetError(ERROR_SUCCESS);
            return handle;
        });
        return d;
    }();
    return *devices;
}

std::vector<BYTE> StandardInquiry(BYTE peripheralType) {
    std::vector<BYTE> data(36, 0);
    data[0] = peripheralType;
    data[1] = peripheralType == 5 ? 0x80 : 0x00;  // removable medium
    data[2] = 0x02;
    data[3] = 0x02;
    data[4] = 31;
    std::memcpy(&data[8], "SIMULATE", 8);
    std::memcpy(&data[16], "DEVICE          ", 16);
    std::memcpy(&data[32], "1.00", 4);
    return data;
}

std::vector<BYTE> InquiryDataAnswer(const DeviceModel &model) {
    if (!model.inquiryDataAnswer.empty()) return model.inquiryDataAnswer;
    std::vector<BYTE> inquiry = StandardInquiry(model.peripheralType);
    SCSI_ADAPTER_BUS_INFO bus{};
    bus.NumberOfBuses = 1;
    bus.BusData[0].NumberOfLogicalUnits = 1;
    bus.BusData[0].InquiryDataOffset = sizeof(SCSI_ADAPTER_BUS_INFO);
    SCSI_INQUIRY_DATA unit{};
    unit.TargetId = 1;
    unit.DeviceClaimed = TRUE;
    unit.InquiryDataLength = static_cast<ULONG>(inquiry.size());
    std::vector<BYTE> answer(sizeof bus + offsetof(SCSI_INQUIRY_DATA, InquiryData) + inquiry.size());
    std::memcpy(answer.data(), &bus, sizeof bus);
    std::memcpy(answer.data() + sizeof bus, &unit, offsetof(SCSI_INQUIRY_DATA, InquiryData));
    std::memcpy(answer.data() + sizeof bus + offsetof(SCSI_INQUIRY_DATA, InquiryData), inquiry.data(), inquiry.size());
    return answer;
}

BOOL Fail(DWORD error) {
    SetError(error);
    return FALSE;
}

bool ValidPassThrough(const SCSI_PASS_THROUGH_DIRECT &p, DWORD inSize, DWORD outSize, const DeviceModel &model) {
    if (inSize < sizeof p || outSize < sizeof p || p.Length != sizeof p) return false;
    if (p.CdbLength == 0 || p.CdbLength > 16 || p.DataIn > SCSI_IOCTL_DATA_UNSPECIFIED) return false;
    if (p.SenseInfoLength && (p.SenseInfoOffset < sizeof p || p.SenseInfoOffset + p.SenseInfoLength > outSize))
        return false;
    if (p.DataTransferLength && !p.DataBuffer) return false;
    if (p.DataTransferLength > model.maximumTransferLength) return false;
    return (reinterpret_cast<uintptr_t>(p.DataBuffer) & model.alignmentMask) == 0;
}

}  // namespace

namespace hostwin {

ScsiAnswer CheckCondition(BYTE senseKey, BYTE asc, BYTE ascq) {
    ScsiAnswer answer;
    answer.status = 0x02;
    answer.sense.assign(18, 0);
    answer.sense[0] = 0x70;
    answer.sense[2] = senseKey;
    answer.sense[7] = 10;
    answer.sense[12] = asc;
    answer.sense[13] = ascq;
    answer.transferred = 0;
    return answer;
}

ScsiHandler StandardScsi(BYTE peripheralType) {
    return [peripheralType](const ScsiRequest &r) {
        ScsiAnswer answer;
        if (r.cdb[0] == 0x12) {
            std::vector<BYTE> data = StandardInquiry(peripheralType);
            DWORD n = std::min<DWORD>({r.length, static_cast<DWORD>(data.size()), r.cdb.size() > 4 ? r.cdb[4] : 0u});
            if (n) std::memcpy(r.data, data.data(), n);
            answer.transferred = n;
            return answer;
        }
        if (r.cdb[0] == 0x00) return answer;
        return CheckCondition(0x05, 0x20, 0x00);
    };
}

DeviceModel HardDisk() {
    DeviceModel model;
    model.peripheralType = 0;
    model.maximumTransferLength = 0x20000;
    return model;
}

void AttachDevice(char letter, const DeviceModel &model) {
    Lock lk(M().lock);
    auto device = std::make_shared<DeviceState>();
    device->model = model;
    if (!device->model.scsi) device->model.scsi = StandardScsi(model.peripheralType);
    device->opensToFail = model.failedOpens;
    device->callsToFail = model.failedCalls;
    Devices()[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = device;
}

void DetachDevice(char letter) {
    Lock lk(M().lock);
    Devices().erase(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
}

DeviceActivity Device(char letter) {
    Lock lk(M().lock);
    auto it = Devices().find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
    if (it == Devices().end()) return {};
    DeviceActivity activity = it->second->activity;
    activity.openHandles = it->second->openHandles;
    return activity;
}

}  // namespace hostwin

extern "C" {

BOOL WINAPI DeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                            LPDWORD returned, LPOVERLAPPED overlapped) {
    Lock lk = Enter();
    if (ShouldFail("DeviceIoControl")) return Fail(ERROR_GEN_FAILURE);
    auto device = FindAs<DeviceHandle>(handle);
    if (!device) return Fail(ERROR_INVALID_HANDLE);
    if (!returned || overlapped) return Fail(ERROR_INVALID_PARAMETER);  // synchronous calls only
    *returned = 0;
    DeviceState &dev = *device->device;
    dev.activity.controlCodes.push_back(code);
    const DeviceModel &model = dev.model;
    switch (code) {
    case IOCTL_SCSI_GET_INQUIRY_DATA: {
        if (!model.answersInquiryData) return Fail(ERROR_INVALID_FUNCTION);
        std::vector<BYTE> answer = InquiryDataAnswer(model);
        if (!out || outSize < answer.size()) return Fail(ERROR_INSUFFICIENT_BUFFER);
        std::memcpy(out, answer.data(), answer.size());
        *returned = static_cast<DWORD>(answer.size());
        return TRUE;
    }
    case IOCTL_SCSI_GET_CAPABILITIES: {
        if (!model.answersCapabilities) return Fail(ERROR_INVALID_FUNCTION);
        if (!out || outSize < sizeof(IO_SCSI_CAPABILITIES)) return Fail(ERROR_INSUFFICIENT_BUFFER);
        IO_SCSI_CAPABILITIES caps{};
        caps.Length = sizeof caps;
        caps.MaximumTransferLength = model.maximumTransferLength;
        caps.MaximumPhysicalPages = model.maximumTransferLength / 4096 + 1;
        caps.AlignmentMask = model.alignmentMask;
        std::memcpy(out, &caps, sizeof caps);
        *returned = sizeof caps;
        return TRUE;
    }
    case IOCTL_SCSI_PASS_THROUGH_DIRECT: {
        if (!model.answersPassThrough) return Fail(ERROR_INVALID_FUNCTION);
        SCSI_PASS_THROUGH_DIRECT p{};
        if (!in || !out || inSize < sizeof p) return Fail(ERROR_INVALID_PARAMETER);
        std::memcpy(&p, in, sizeof p);
        PassThroughRecord record;
        record.handleSerial = device->serial;
        record.sptd = p;
        record.inSize = inSize;
        record.outSize = outSize;
        record.threadId = Self()->id;
        if (!ValidPassThrough(p, inSize, outSize, model)) {
            record.failed = true;
            dev.activity.passThroughs.push_back(record);
            return Fail(ERROR_INVALID_PARAMETER);
        }
        if (device->broken || dev.callsToFail > 0) {
            if (!device->broken) dev.callsToFail--;
            device->broken = true;
            record.failed = true;
            dev.activity.passThroughs.push_back(record);
            return Fail(ERROR_IO_DEVICE);
        }
        dev.activity.passThroughs.push_back(record);
        ScsiRequest request;
        request.cdb.assign(p.Cdb, p.Cdb + p.CdbLength);
        request.direction = p.DataIn;
        request.data = static_cast<BYTE *>(p.DataBuffer);
        request.length = p.DataTransferLength;
        request.timeoutSeconds = p.TimeOutValue;
        ScsiHandler scsi = model.scsi;
        auto keep = device;  // the handle may be closed while the device works
        lk.unlock();
        ScsiAnswer answer = scsi(request);
        lk = Enter();
        p.ScsiStatus = answer.status;
        DWORD senseLen = std::min<DWORD>(p.SenseInfoLength, static_cast<DWORD>(answer.sense.size()));
        if (senseLen) std::memcpy(static_cast<BYTE *>(out) + p.SenseInfoOffset, answer.sense.data(), senseLen);
        p.SenseInfoLength = static_cast<UCHAR>(senseLen);
        p.DataTransferLength = std::min(p.DataTransferLength, answer.transferred);
        std::memcpy(out, &p, sizeof p);
        *returned = senseLen ? p.SenseInfoOffset + senseLen : sizeof p;
        SetError(ERROR_SUCCESS);
        return TRUE;
    }
    default:
        return Fail(ERROR_INVALID_FUNCTION);
    }
}

}  // extern "C"

namespace {
// Drive letters open from the first CreateFileA on, attached or not.
const bool registered = (Devices(), true);
}  // namespace
