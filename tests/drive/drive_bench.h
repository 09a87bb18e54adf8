// The bench for the drive tests: drive models behind the ASPI manager
// stand-in, bound as the program's provider, a dialog with a status box and
// a drive list, and the program's drive state put back between tests. Every
// request the program sends is recorded as it stood when sent.
#pragma once
#include <gtest/gtest.h>

#include <string.h>

#include <memory>
#include <vector>

#include "aspi/aspi_manager.h"
#include "drivemodel/drive_model.h"
#include "hostwin/sim.h"
#include "payload_files.h"

namespace bench {

struct Sent {
    std::vector<BYTE> record;  // the request block's bytes when sent
    const void *address;
    int stage;                 // FlashStage when sent
    uint64_t at;               // simulated time when sent
    BYTE cmd() const { return record[0]; }
    // A copy: fields of the packed record must not be bound by reference.
    SRB_ExecSCSICmd srb() const {
        SRB_ExecSCSICmd r;
        memcpy(&r, record.data(), sizeof r);
        return r;
    }
};

// Requests the program sent since the bench was set up, in order.
std::vector<Sent> SentRequests();
// Only the SC_EXEC_SCSI_CMD ones.
std::vector<Sent> SentCommands();

class DriveBench : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A model at (ha, target); the bench owns it.
    drivemodel::DriveModel &Attach(BYTE ha, BYTE target,
                                   const drivemodel::DriveConfig &config = drivemodel::SupportedDrive());
    // Sets the payload the flash writes: an image with these version
    // characters, its check value, and the UpdateVersion they show as.
    void UsePayload(const std::string &versionChars, const char *updateVersion);
    std::string StatusText() const;
    std::vector<std::string> ListEntries() const;

    testfiles::Bytes image;
    HWND dialog = nullptr;
    std::vector<std::unique_ptr<drivemodel::DriveModel>> models;
};

WORD CheckValueOf(const testfiles::Bytes &image);

}  // namespace bench
