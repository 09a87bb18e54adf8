// Identification of drives, the search across adapters and targets, the
// drive list and the selected drive.
#include <cstring>
#include <string>

#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive_bench.h"
#include "payload/payload.h"

namespace {

using drivemodel::CommandKind;
using drivemodel::DriveConfig;

void SetRevisionPattern(const char *text) {
    for (int i = 0; i < 4; i++) RevisionPattern[i] = static_cast<BYTE>(text[i] + REVISION_OFFSET);
}

DriveConfig Drive(const char *vendor, const char *product, const char *revision) {
    DriveConfig config;
    std::memcpy(config.vendor, vendor, 8);
    std::memcpy(config.product, product, 16);
    std::memcpy(config.revision, revision, 4);
    return config;
}

class Discovery : public bench::DriveBench {};

TEST_F(Discovery, PatternsMatchTheirFields) {
    struct Case {
        const char *name;
        bool (*match)(const char *);
        const char *data;
        bool expected;
    } cases[] = {
        {"vendor", MatchVendor, "QMDISC  ", true},
        {"vendor, last character", MatchVendor, "QMDISC X", false},
        {"vendor, case", MatchVendor, "qmdisc  ", false},
        {"product", MatchProduct, "DVD-RW QM-2816R ", true},
        {"product, first character", MatchProduct, "XVD-RW QM-2816R ", false},
        {"product, alternative form", MatchProduct, "DVDRW QM2816R?? ", false},
    };
    for (const Case &c : cases) EXPECT_EQ(c.match(c.data), c.expected) << c.name;
}

TEST_F(Discovery, RevisionPatternWithAndWithoutProduct) {
    struct Case {
        const char *pattern;
        const char *revision;
        const char *product;  // null: the revision alone
        bool expected;
    } cases[] = {
        {"1.??", "1.00", nullptr, true},
        {"1.??", "1.Z9", nullptr, true},
        {"1.??", "1.??", nullptr, true},  // '?' in the pattern matches a literal '?' too
        {"1.??", "2.00", nullptr, false},
        {"1.??", "1?00", nullptr, false},  // '?' in the data is no wildcard
        {"1.5?", "1.57", nullptr, true},
        {"1.5?", "1.47", nullptr, false},
        {"1.??", "1.00", "DVDRW QM2816R?? ", true},
        {"1.??", "1.00", "DVDRW QM2816RAB ", true},
        {"1.??", "1.00", "DVDRW QM2816RAB!", false},
        {"1.??", "1.00", "DVD-RW QM-2816R ", false},
        {"1.??", "2.00", "DVDRW QM2816RAB ", false},
    };
    for (const Case &c : cases) {
        SetRevisionPattern(c.pattern);
        EXPECT_EQ(MatchRevisionPattern(c.revision, c.product), c.expected)
            << c.pattern << " " << c.revision << " " << (c.product ? c.product : "(none)");
    }
}

// Stored bytes and data bytes compare as the drive's bytes: a pattern byte
// that wraps below zero matches a data byte of 0x80 and above.
TEST_F(Discovery, PatternBytesAboveAscii) {
    SetRevisionPattern("1.??");
    RevisionPattern[3] = static_cast<BYTE>(0x80 + REVISION_OFFSET);  // wraps to 0x01
    EXPECT_TRUE(MatchRevisionPattern("1.0\x80", nullptr));
    EXPECT_FALSE(MatchRevisionPattern("1.0\x01", nullptr));
    SetRevisionPattern("1.??");
    EXPECT_FALSE(MatchRevisionPattern("\xB2.00", nullptr));  // 0xB2 is '1' + 0x81, not '1'
}

TEST_F(Discovery, RevisionAgainstUpdateVersion) {
    struct Case {
        const char *pattern;
        const char *revision;
        const char *version;
        bool expected;
    } cases[] = {
        {"1.??", "1.02", "1.02", true},
        {"1.??", "1.00", "1.02", true},  // older, same first three: the fourth never decides
        {"1.??", "1.0Z", "1.02", true},  // newer
        {"1.0?", "1.12", "1.02", false}, // third differs: the pattern decides
        {"1.??", "1.12", "1.02", true},
        {"1.??", "2.02", "1.02", false},
        {"1-??", "1-05", "1.02", true},  // '-' in second place: first three differ, pattern matches
        {"1.??", "1-05", "1.02", false},
        {"????", "103A", "103B", true},  // no '.' or '-': the first two alone decide
        {"????", "113B", "103B", false}, // ... and the pattern is not consulted
        {"????", "1A02", "1.02", false},
    };
    for (const Case &c : cases) {
        SetRevisionPattern(c.pattern);
        EXPECT_EQ(MatchUpdateVersion(c.revision, c.version), c.expected)
            << c.pattern << " " << c.revision << " " << c.version;
    }
}

TEST_F(Discovery, ProbeComposesTheListText) {
    Attach(0, 3);
    EXPECT_TRUE(ProbeDrive(0, 3));
    EXPECT_EQ(std::string(DriveListText), "[HA:0/ID:3]QMDISC  DVD-RW QM-2816R ");
    EXPECT_EQ(std::strlen(DriveListText), 35u);
}

// Rows and list entries follow the order of adapters, then targets; every
// target of every adapter is asked once; only supported drives are listed.
TEST_F(Discovery, SearchAcrossAdaptersAndTargets) {
    AspiManagerSetAdapterCount(2);
    ScsiService.AdapterCount = 2;
    UsePayload("102", "1.02");
    Attach(1, 0, drivemodel::SupportedDrive("1.10"));          // newer, by the pattern
    Attach(0, 5, drivemodel::SupportedDrive("1.00"));          // older
    Attach(0, 2, drivemodel::OtherDevice());                   // not a drive of ours
    Attach(1, 3, drivemodel::SupportedDrive("2.00"));          // a revision this payload is not for
    Attach(1, 6, drivemodel::OemDrive("1.50"));                // the OEM drive
    Attach(1, 7, drivemodel::OemDrive("3.00"));                // OEM drive, wrong revision
    Attach(0, 7, Drive("QMDISC  ", "DVDRW QM2816R?? ", "3.00"));  // our vendor, neither rule
    auto &silent = Attach(0, 6, drivemodel::SupportedDrive());
    silent.AddFault({CommandKind::Inquiry, 1, drivemodel::FaultAction::CheckCondition});

    EnumerateDrives();
    ASSERT_EQ(DriveTable.count, 3);
    struct Row {
        BYTE ha, target;
        const char *vendor, *product, *revision, *text;
    } rows[] = {
        {0, 5, "QMDISC  ", "DVD-RW QM-2816R ", "1.00", "[HA:0/ID:5]QMDISC  DVD-RW QM-2816R "},
        {1, 0, "QMDISC  ", "DVD-RW QM-2816R ", "1.10", "[HA:1/ID:0]QMDISC  DVD-RW QM-2816R "},
        {1, 6, "OEMDRIVE", "DVDRW QM2816RXA ", "1.50", "[HA:1/ID:6]OEMDRIVEDVDRW QM2816RXA "},
    };
    auto entries = ListEntries();
    ASSERT_EQ(entries.size(), 3u);
    for (int i = 0; i < 3; i++) {
        const DriveEntry &row = DriveTable.rows[i];
        EXPECT_EQ(row.index, i);
        EXPECT_EQ(row.haId, rows[i].ha);
        EXPECT_EQ(row.targetId, rows[i].target);
        EXPECT_STREQ(row.vendor, rows[i].vendor);
        EXPECT_STREQ(row.product, rows[i].product);
        EXPECT_STREQ(row.revision, rows[i].revision);
        EXPECT_EQ(entries[i], rows[i].text);
    }
    auto sent = bench::SentCommands();
    ASSERT_EQ(sent.size(), 16u);
    for (int i = 0; i < 16; i++) {
        BYTE ha = sent[i].srb().SRB_HaId, target = sent[i].srb().SRB_Target;
        EXPECT_EQ(ha, i / 8);
        EXPECT_EQ(target, i % 8);
    }
}

TEST_F(Discovery, NoAdapterProbesNothing) {
    ScsiService.AdapterCount = 0;
    Attach(0, 0);
    EnumerateDrives();
    EXPECT_EQ(DriveTable.count, 0);
    EXPECT_TRUE(bench::SentRequests().empty());
    EXPECT_TRUE(ListEntries().empty());
}

TEST_F(Discovery, IdDigitsAboveNine) {
    AspiManagerSetAdapterCount(18);
    ScsiService.AdapterCount = 18;
    Attach(12, 0);
    Attach(17, 7);
    EnumerateDrives();
    auto entries = ListEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].substr(0, 11), "[HA:C/ID:0]");
    EXPECT_EQ(entries[1].substr(0, 11), "[HA:H/ID:7]");
}

// A NUL in the vendor field ends the list entry there; the row keeps all
// eight bytes.
TEST_F(Discovery, NulInVendorCutsTheListEntry) {
    Attach(0, 0, Drive("OE\0MDRIV", "DVDRW QM2816R?? ", "1.00"));
    EnumerateDrives();
    ASSERT_EQ(DriveTable.count, 1);
    EXPECT_EQ(ListEntries(), std::vector<std::string>{"[HA:0/ID:0]OE"});
    EXPECT_EQ(0, std::memcmp(DriveTable.rows[0].vendor, "OE\0MDRIV", 9));
}

// More supported drives than rows: the first 24 are listed and the search
// ends there, asking no further target.
TEST_F(Discovery, FullTableEndsTheSearch) {
    AspiManagerSetAdapterCount(4);
    ScsiService.AdapterCount = 4;
    for (BYTE ha = 0; ha < 4; ha++)
        for (BYTE t = 0; t < 8; t++) Attach(ha, t);
    EnumerateDrives();
    EXPECT_EQ(DriveTable.count, DRIVE_TABLE_ROWS);
    EXPECT_EQ(ListEntries().size(), 24u);
    EXPECT_EQ(DriveTable.rows[23].haId, 2);
    EXPECT_EQ(DriveTable.rows[23].targetId, 7);
    EXPECT_EQ(bench::SentCommands().size(), 24u);
    for (size_t i = 24; i < models.size(); i++) EXPECT_TRUE(models[i]->Log().empty());
}

class Selection : public bench::DriveBench {
protected:
    void SetUp() override {
        DriveBench::SetUp();
        AspiManagerSetAdapterCount(2);
        ScsiService.AdapterCount = 2;
        Attach(0, 4, drivemodel::SupportedDrive("1.00"));
        second = &Attach(1, 2, drivemodel::SupportedDrive("1.01"));
        EnumerateDrives();
        ASSERT_EQ(DriveTable.count, 2);
    }
    drivemodel::DriveModel *second = nullptr;
};

TEST_F(Selection, SelectsRowsWithinTheTableOnly) {
    SelectDrive(1);
    EXPECT_EQ(DriveTable.selected, 1);
    EXPECT_EQ(CurrentTarget.haId, 1);
    EXPECT_EQ(CurrentTarget.targetId, 2);
    EXPECT_STREQ(CurrentRevision, "1.01");
    for (int index : {-1, 2, 24, 1000}) {
        SelectDrive(index);
        EXPECT_EQ(DriveTable.selected, 1) << index;
        EXPECT_EQ(CurrentTarget.haId, 1) << index;
        EXPECT_EQ(CurrentTarget.targetId, 2) << index;
        EXPECT_STREQ(CurrentRevision, "1.01") << index;
    }
    SelectDrive(0);
    EXPECT_EQ(CurrentTarget.haId, 0);
    EXPECT_EQ(CurrentTarget.targetId, 4);
    EXPECT_STREQ(CurrentRevision, "1.00");
}

TEST_F(Selection, RefreshReadsTheSelectedDrive) {
    SelectDrive(1);
    ASSERT_TRUE(SetDownloadMode(1));  // the drive now reports its download-mode revision
    RefreshSelectedRevision();
    EXPECT_STREQ(DriveTable.rows[1].revision, "1.DL");
    EXPECT_STREQ(CurrentRevision, "1.DL");
    EXPECT_STREQ(DriveTable.rows[0].revision, "1.00");
    auto sent = bench::SentCommands();
    BYTE ha = sent.back().srb().SRB_HaId, target = sent.back().srb().SRB_Target;
    EXPECT_EQ(ha, 1);
    EXPECT_EQ(target, 2);
}

TEST_F(Selection, FailedRefreshKeepsTheRevision) {
    SelectDrive(1);
    ASSERT_TRUE(SetDownloadMode(1));
    second->AddFault({CommandKind::Inquiry, 2, drivemodel::FaultAction::Refuse});
    RefreshSelectedRevision();
    EXPECT_STREQ(DriveTable.rows[1].revision, "1.01");
    EXPECT_STREQ(CurrentRevision, "1.01");
}

}  // namespace
