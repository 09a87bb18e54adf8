// Files keep the Win32 calls' semantics over the host's files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "hostwin/sim.h"

namespace {

std::string MakeFile(const std::string &content) {
    char name[] = "/tmp/hostwin-fileXXXXXX";
    int fd = mkstemp(name);
    FILE *f = fdopen(fd, "wb");
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
    return name;
}

TEST(Files, SeekFromEndReadAndShortRead) {
    std::string path = MakeFile("0123456789");
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(f, nullptr), 10u);
    EXPECT_EQ(SetFilePointer(f, -4, nullptr, FILE_END), 6u);
    char buf[8] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(f, buf, 8, &got, nullptr));
    EXPECT_EQ(got, 4u);  // end of file: success with fewer bytes
    EXPECT_EQ(std::string(buf, got), "6789");
    EXPECT_EQ(SetFilePointer(f, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    CloseHandle(f);
    std::remove(path.c_str());
}

TEST(Files, OpenFailures) {
    struct Case {
        const char *path;
        DWORD error;
    } cases[] = {{"", ERROR_PATH_NOT_FOUND},
                 {"/tmp/no-such-file-here", ERROR_FILE_NOT_FOUND},
                 {"/tmp", ERROR_ACCESS_DENIED}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(CreateFileA(c.path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

}  // namespace
