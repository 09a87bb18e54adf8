// ReadPayloadFile: where the trailer is looked for, what is taken from it,
// and every way a file is refused.
#include <gtest/gtest.h>

#include <cstring>

#include "hostwin/sim.h"
#include "payload/payload.h"
#include "payload_files.h"

namespace {

using testfiles::Bytes;

class ReadPayload : public testing::Test {
protected:
    void SetUp() override {
        testfiles::ResetPayload();
        testfiles::AllocateImage();
    }
    void TearDown() override { testfiles::ResetPayload(); }
    testfiles::ScratchDir dir;
};

std::string Decoded(const BYTE *pattern) {
    std::string s;
    for (int i = 0; i < 4; i++) s += static_cast<char>(pattern[i] - REVISION_OFFSET);
    return s;
}

TEST_F(ReadPayload, ShortTrailerKeepsTheBuiltInPattern) {
    Bytes image = testfiles::Image("102");
    std::string path = dir.Write("fw.exe", testfiles::Program(image, testfiles::Trailer(0x12F4)));
    ASSERT_EQ(ReadPayloadFile(path.c_str()), 1);
    EXPECT_EQ(PayloadReadVerdict, PAYLOAD_ACCEPTED);
    EXPECT_EQ(FirmwarePayload.TrailerLength, TRAILER_SHORT);
    EXPECT_EQ(FirmwarePayload.CheckValue, 0x12F4);  // first byte high
    EXPECT_STREQ(FirmwarePayload.Signature, "K827");
    EXPECT_STREQ(FirmwarePayload.UpdateVersion, "1.02");
    EXPECT_EQ(0, std::memcmp(FirmwarePayload.Image, image.data(), IMAGE_SIZE));
    EXPECT_EQ(0, std::memcmp(RevisionPattern, StoredRevisionPattern, 4));
    EXPECT_EQ(hostwin::OpenHandleCount(), 0);
}

TEST_F(ReadPayload, LongTrailerSetsTheLastTwoPatternBytes) {
    Bytes image = testfiles::Image("105");
    std::string path = dir.Write("fw.exe", testfiles::Program(image, testfiles::Trailer(0xA55A, "K827", "5?")));
    ASSERT_EQ(ReadPayloadFile(path.c_str()), 1);
    EXPECT_EQ(FirmwarePayload.TrailerLength, TRAILER_LONG);
    EXPECT_EQ(FirmwarePayload.CheckValue, 0xA55A);
    EXPECT_EQ(0, std::memcmp(FirmwarePayload.Image, image.data(), IMAGE_SIZE));
    EXPECT_EQ(RevisionPattern[0], StoredRevisionPattern[0]);
    EXPECT_EQ(RevisionPattern[1], StoredRevisionPattern[1]);
    EXPECT_EQ(RevisionPattern[2], 0xB6);  // '5' + 0x81
    EXPECT_EQ(RevisionPattern[3], 0xC0);  // '?' matches anything
    EXPECT_EQ(Decoded(RevisionPattern), "1.5?");
}

TEST_F(ReadPayload, SuffixBytesWrapModulo256) {
    std::string path = dir.Write("fw.exe", testfiles::Program(testfiles::Image(), testfiles::Trailer(0, "K827", "\x7F\x90")));
    ASSERT_EQ(ReadPayloadFile(path.c_str()), 1);
    EXPECT_EQ(RevisionPattern[2], 0x00);
    EXPECT_EQ(RevisionPattern[3], 0x11);
}

TEST_F(ReadPayload, CheckValueIsNotTested) {
    std::string path = dir.Write("fw.exe", testfiles::Program(testfiles::Image(), testfiles::Trailer(0xFFFF)));
    EXPECT_EQ(ReadPayloadFile(path.c_str()), 1);
    EXPECT_EQ(FirmwarePayload.CheckValue, 0xFFFF);
}

TEST_F(ReadPayload, NothingInFrontOfTheImageIsNeeded) {
    struct Case {
        const char *suffix;
        DWORD trailer;
    } cases[] = {{"", TRAILER_SHORT}, {"12", TRAILER_LONG}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.trailer);
        std::string path = dir.Write("bare.bin", testfiles::Program(testfiles::Image(), testfiles::Trailer(7, "K827", c.suffix), {}));
        EXPECT_EQ(ReadPayloadFile(path.c_str()), 1);
        EXPECT_EQ(FirmwarePayload.TrailerLength, c.trailer);
    }
}

TEST_F(ReadPayload, UpdateVersionForms) {
    struct Case {
        const char *bytes;
        const char *version;
    } cases[] = {
        {"102", "1.02"},      {"B13", "103B"},      {"z99", "909z"},      {"A00", "000A"},
        {"Z12", "102Z"},      {"a12", "102a"},      {"@12", "@.12"},      {"[12", "[.12"},
        {"`12", "`.12"},      {"{12", "{.12"},      {"912", "9.12"},      {"-12", "-.12"},
        {"\x80" "12", "\x80.12"}, {"\xC1" "AB", "\xC1.AB"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes);
        std::string path = dir.Write("fw.exe", testfiles::Program(testfiles::Image(c.bytes), testfiles::Trailer(1)));
        ASSERT_EQ(ReadPayloadFile(path.c_str()), 1);
        EXPECT_STREQ(FirmwarePayload.UpdateVersion, c.version);
    }
}

// Every refusal, with what it must leave untouched.
TEST_F(ReadPayload, RefusedFiles) {
    Bytes good = testfiles::Image();
    Bytes longTrailer = testfiles::Trailer(0x1234, "K827", "9?");
    Bytes shifted = testfiles::Concat({0, 0}, good);  // the marker 2 bytes late
    shifted.resize(IMAGE_SIZE);
    struct Case {
        const char *name;
        Bytes content;
        PayloadVerdict verdict;
    } cases[] = {
        {"lower-case signature", testfiles::Program(good, testfiles::Trailer(1, "k827")), PAYLOAD_NO_SIGNATURE},
        {"other model code", testfiles::Program(good, testfiles::Trailer(1, "K828")), PAYLOAD_NO_SIGNATURE},
        {"signature 5 bytes before the end", testfiles::Program(good, testfiles::Concat(testfiles::Trailer(1), {'x'})), PAYLOAD_NO_SIGNATURE},
        {"signature only at the start", testfiles::Program(good, Bytes(6, 0), {'K', '8', '2', '7'}), PAYLOAD_NO_SIGNATURE},
        {"marker 0xAB", testfiles::Program(testfiles::Image("102", 0xAB), testfiles::Trailer(1)), PAYLOAD_BAD_MARKER},
        {"long trailer, marker where a short one puts it", testfiles::Program(shifted, longTrailer), PAYLOAD_BAD_MARKER},
        {"long trailer, bad marker", testfiles::Program(testfiles::Image("102", 0x00), longTrailer), PAYLOAD_BAD_MARKER},
        {"0x1C0003 bytes", Bytes(IMAGE_SIZE + 3, 0xAA), PAYLOAD_TOO_SHORT},
        {"empty", {}, PAYLOAD_TOO_SHORT},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        hostwin::Reset();
        std::string path = dir.Write("fw.exe", c.content);
        EXPECT_EQ(ReadPayloadFile(path.c_str()), 0);
        EXPECT_EQ(PayloadReadVerdict, c.verdict);
        EXPECT_EQ(0, std::memcmp(RevisionPattern, StoredRevisionPattern, 4));
        EXPECT_EQ(FirmwarePayload.UpdateVersion[0], '\0');
        EXPECT_EQ(FirmwarePayload.TrailerLength, 0u);
        EXPECT_EQ(hostwin::OpenHandleCount(), 0);
    }
}

TEST_F(ReadPayload, SizeTestComesBeforeAnyRead) {
    std::string path = dir.Write("fw.exe", Bytes(IMAGE_SIZE + 3, 0xAA));
    EXPECT_EQ(ReadPayloadFile(path.c_str()), 0);
    EXPECT_EQ(hostwin::CallCount("ReadFile"), 0);
}

// Files that pass the size test but have no room for the image in front of
// the trailer found; the boundary sizes load.
TEST_F(ReadPayload, RoomForTheImage) {
    struct Case {
        DWORD size;
        const char *suffix;
        int result;
    } cases[] = {
        {IMAGE_SIZE + 4, "", 0}, {IMAGE_SIZE + 5, "", 0}, {IMAGE_SIZE + 6, "", 1},
        {IMAGE_SIZE + 6, "12", 0}, {IMAGE_SIZE + 7, "12", 0}, {IMAGE_SIZE + 8, "12", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.size << " suffix " << c.suffix);
        hostwin::Reset();
        Bytes trailer = testfiles::Trailer(0x55AA, "K827", c.suffix);
        Bytes file(c.size - trailer.size(), 0xAA);
        file = testfiles::Concat(file, trailer);
        std::string path = dir.Write("fw.exe", file);
        EXPECT_EQ(ReadPayloadFile(path.c_str()), c.result);
        EXPECT_EQ(PayloadReadVerdict, c.result ? PAYLOAD_ACCEPTED : PAYLOAD_TOO_SHORT);
        EXPECT_GT(hostwin::CallCount("ReadFile"), 0);  // past the size test
        EXPECT_EQ(hostwin::OpenHandleCount(), 0);
    }
}

TEST_F(ReadPayload, FilesThatDoNotOpen) {
    std::string dirPath = dir.path();
    for (const std::string &path : {std::string(""), dirPath + "/missing.exe", dirPath}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(ReadPayloadFile(path.c_str()), 0);
        EXPECT_EQ(PayloadReadVerdict, PAYLOAD_CANNOT_OPEN);
    }
}

// A long-trailer file makes five reads (short try, long try, suffix, image
// head, image); each failed or short read, seek or size query refuses it.
TEST_F(ReadPayload, FailedAndShortReads) {
    std::string path = dir.Write("fw.exe", testfiles::Program(testfiles::Image(), testfiles::Trailer(3, "K827", "12")));
    struct Case {
        const char *call;
        int skip;
    } cases[] = {
        {"ReadFile", 0},       {"ReadFile", 1},       {"ReadFile", 2},       {"ReadFile", 3},
        {"ReadFile", 4},       {"ReadFile.short", 0}, {"ReadFile.short", 1}, {"ReadFile.short", 2},
        {"ReadFile.short", 3}, {"ReadFile.short", 4}, {"SetFilePointer", 0}, {"SetFilePointer", 2},
        {"SetFilePointer", 4}, {"GetFileSize", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.call << " after " << c.skip);
        hostwin::Reset();
        hostwin::FailCall(c.call, c.skip);
        EXPECT_EQ(ReadPayloadFile(path.c_str()), 0);
        EXPECT_EQ(PayloadReadVerdict, PAYLOAD_READ_FAILED);
        EXPECT_EQ(0, std::memcmp(RevisionPattern, StoredRevisionPattern, 4));
        EXPECT_EQ(hostwin::OpenHandleCount(), 0);
    }
    hostwin::Reset();
    hostwin::FailCall("ReadFile", 5);  // a sixth read would be one too many
    EXPECT_EQ(ReadPayloadFile(path.c_str()), 1);
}

TEST_F(ReadPayload, BuiltInPatternReadsOneAnything) {
    InitRevisionPattern();
    EXPECT_EQ(Decoded(StoredRevisionPattern), "1.??");
    EXPECT_EQ(0, std::memcmp(RevisionPattern, StoredRevisionPattern, 4));
}

TEST_F(ReadPayload, InitRestoresAPatternALoadChanged) {
    std::string path = dir.Write("fw.exe", testfiles::Program(testfiles::Image(), testfiles::Trailer(3, "K827", "AB")));
    ASSERT_EQ(ReadPayloadFile(path.c_str()), 1);
    ASSERT_EQ(Decoded(RevisionPattern), "1.AB");
    InitRevisionPattern();
    EXPECT_EQ(Decoded(RevisionPattern), "1.??");
}

}  // namespace
