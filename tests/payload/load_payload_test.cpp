// LoadPayload: the program's own file from the command line, the fall-back
// to the loaded module, and the "Incorrect file" box.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/messages.h"
#include "hostwin/sim.h"
#include "payload/payload.h"
#include "payload_files.h"

namespace {

using testfiles::Bytes;

class LoadPayloadTest : public testing::Test {
protected:
    void SetUp() override {
        testfiles::ResetPayload();
        SelectLanguage();
        program = dir.Write("Program Files/fwflash.exe",
                            testfiles::Program(testfiles::Image("102"), testfiles::Trailer(0x4321)));
        other = dir.Write("other.exe", testfiles::Program(testfiles::Image("B13"), testfiles::Trailer(0x1111)));
        broken = dir.Write("broken.exe", Bytes(IMAGE_SIZE + 64, 0));
        noModule = dir.path() + "/no-module.exe";
    }
    void TearDown() override { testfiles::ResetPayload(); }

    // Only the dialog's one error box, exactly as the user sees it.
    void ExpectIncorrectFileBox() {
        auto boxes = hostwin::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].owner, nullptr);
        EXPECT_EQ(boxes[0].text, "Incorrect file");
        EXPECT_EQ(boxes[0].caption, "Drive Firmware Flash Utility");
        EXPECT_EQ(boxes[0].type, 0x1010u);
    }

    testfiles::ScratchDir dir;
    std::string program, other, broken, noModule;
};

// With no usable module file, what the token rules alone make of each line.
TEST_F(LoadPayloadTest, CommandLineTokens) {
    const std::string p = program;  // contains a blank
    const std::string o = other;
    struct Case {
        std::string line;
        std::string path;  // the file loaded, for the lines that load
        int result;
    } cases[] = {
        {"\"" + p + "\" -x \"y z\"", p, 1},     // quoted, blanks kept, quotes dropped
        {"\"" + p + "\"", p, 1},
        {"\"" + p, p, 1},                       // no closing quote: to the end
        {o + " -x", o, 1},                      // unquoted, ends before the blank
        {o, o, 1},
        {o + "\" -x", o, 1},                    // trailing quote of an unquoted token dropped
        {o + "\"", o, 1},
        {o + "\t-x", "", 0},                    // a tab does not end the token
        {p + " -x", "", 0},                      // an unquoted path with a blank is cut
        {o.substr(0, o.size() - 4), "", 0},      // without ".exe"
        {"\"" + broken + "\" \"" + o + "\"", "", 0},  // only the first token counts
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        hostwin::Reset();
        testfiles::ResetPayload();
        hostwin::SetModuleFileName(noModule);
        hostwin::SetCommandLine(c.line);
        EXPECT_EQ(LoadPayload(), c.result);
        if (c.result) {
            EXPECT_STREQ(FirmwarePayload.ProgramPath, c.path.c_str());
            EXPECT_TRUE(hostwin::MessageBoxes().empty());
        } else {
            ExpectIncorrectFileBox();
        }
        EXPECT_EQ(hostwin::OpenHandleCount(), 0);
    }
}

// Lines with no usable first token fail at once: no file is opened and the
// module is not asked for.
TEST_F(LoadPayloadTest, NoUsableFirstToken) {
    for (const std::string &line : std::vector<std::string>{"", " " + program, "\"", "\"\"", "\"\"" + program, "\"\" " + program}) {
        SCOPED_TRACE(line);
        hostwin::Reset();
        testfiles::ResetPayload();
        hostwin::SetModuleFileName(program);
        hostwin::SetCommandLine(line);
        EXPECT_EQ(LoadPayload(), 0);
        ExpectIncorrectFileBox();
        EXPECT_EQ(hostwin::CallCount("CreateFileA"), 0);
        EXPECT_EQ(hostwin::CallCount("GetModuleFileNameA"), 0);
    }
}

// A token that names no file, as a command prompt passes "fwflash" or an
// unquoted path with blanks: the loaded module is read instead.
TEST_F(LoadPayloadTest, TokenThatDoesNotOpenFallsBackToTheModule) {
    const std::string p = program;
    for (const std::string &line : std::vector<std::string>{p.substr(0, p.size() - 4), p + "\t", p + " -x", "fwflash"}) {
        SCOPED_TRACE(line);
        hostwin::Reset();
        testfiles::ResetPayload();
        int64_t before = hostwin::LiveAllocations();
        hostwin::SetModuleFileName(p);
        hostwin::SetCommandLine(line);
        EXPECT_EQ(LoadPayload(), 1);
        EXPECT_STREQ(FirmwarePayload.ProgramPath, p.c_str());
        EXPECT_STREQ(FirmwarePayload.UpdateVersion, "1.02");
        EXPECT_EQ(FirmwarePayload.CheckValue, 0x4321);
        EXPECT_TRUE(hostwin::MessageBoxes().empty());
        EXPECT_EQ(hostwin::LiveAllocations() - before, 2);  // the path and the image; the token's copy is freed
        EXPECT_EQ(hostwin::OpenHandleCount(), 0);
    }
}

// A token that opens is the only file read, whatever it holds.
TEST_F(LoadPayloadTest, TokenThatOpensIsNeverReplaced) {
    hostwin::SetModuleFileName(program);
    hostwin::SetCommandLine("\"" + broken + "\"");
    EXPECT_EQ(LoadPayload(), 0);
    ExpectIncorrectFileBox();
    EXPECT_EQ(hostwin::CallCount("GetModuleFileNameA"), 0);
    EXPECT_STREQ(FirmwarePayload.ProgramPath, broken.c_str());
}

TEST_F(LoadPayloadTest, ModuleThatCannotBeReadEitherFails) {
    struct Case {
        const char *name;
        std::string module;
        const char *fault;
    } cases[] = {
        {"module missing", noModule, nullptr},
        {"module not a payload", broken, nullptr},
        {"module name not given", program, "GetModuleFileNameA"},
        {"module name too long", "/" + std::string(MAX_PATH, 'x'), nullptr},
        {"no memory for the module name", program, "HeapAlloc"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        hostwin::Reset();
        testfiles::ResetPayload();
        hostwin::SetModuleFileName(c.module);
        hostwin::SetCommandLine("fwflash -x");
        if (c.fault) hostwin::FailCall(c.fault, c.fault == std::string("HeapAlloc") ? 2 : 0);
        EXPECT_EQ(LoadPayload(), 0);
        ExpectIncorrectFileBox();
        EXPECT_EQ(hostwin::OpenHandleCount(), 0);
    }
}

TEST_F(LoadPayloadTest, FailedAllocationsFailTheLoad) {
    for (int skip : {0, 1}) {  // the path's copy, the image buffer
        SCOPED_TRACE(skip);
        hostwin::Reset();
        testfiles::ResetPayload();
        hostwin::SetCommandLine("\"" + program + "\"");
        hostwin::FailCall("HeapAlloc", skip);
        EXPECT_EQ(LoadPayload(), 0);
        ExpectIncorrectFileBox();
        EXPECT_EQ(hostwin::CallCount("CreateFileA"), 0);
    }
}

TEST_F(LoadPayloadTest, ReadFailureShowsTheBox) {
    hostwin::SetCommandLine("\"" + program + "\"");
    hostwin::FailCall("ReadFile.short", 2);  // the image read
    EXPECT_EQ(LoadPayload(), 0);
    ExpectIncorrectFileBox();
}

TEST_F(LoadPayloadTest, BoxSpeaksTheChosenLanguage) {
    hostwin::SetSystemLanguage(0x0411);
    SelectLanguage();
    hostwin::SetCommandLine("");
    EXPECT_EQ(LoadPayload(), 0);
    auto boxes = hostwin::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, JapaneseMessages[MSG_INCORRECT_FILE]);
    EXPECT_EQ(boxes[0].caption, "Drive Firmware Flash Utility");
    EXPECT_EQ(boxes[0].type, 0x1010u);
    hostwin::SetSystemLanguage(0x0409);
    SelectLanguage();
}

TEST_F(LoadPayloadTest, LongTrailerThroughTheCommandLine) {
    std::string path = dir.Write("long.exe", testfiles::Program(testfiles::Image("B13"), testfiles::Trailer(0xBEEF, "K827", "3B")));
    hostwin::SetCommandLine(path + " /s");
    ASSERT_EQ(LoadPayload(), 1);
    EXPECT_STREQ(FirmwarePayload.UpdateVersion, "103B");
    EXPECT_EQ(FirmwarePayload.CheckValue, 0xBEEF);
    EXPECT_EQ(RevisionPattern[2], (BYTE)('3' + REVISION_OFFSET));
    EXPECT_EQ(RevisionPattern[3], (BYTE)('B' + REVISION_OFFSET));
}

}  // namespace
