// The identification data built into the program decodes to the names a
// supported drive reports.
#include <gtest/gtest.h>

#include <string>

#include "drive/discovery.h"
#include "payload/payload.h"

namespace {

std::string Decode(const BYTE *pattern, size_t length, int offset) {
    std::string s;
    for (size_t i = 0; i < length; i++) s += static_cast<char>(static_cast<BYTE>(pattern[i] - offset));
    return s;
}

TEST(Patterns, DecodeToTheSupportedDrive) {
    EXPECT_EQ(Decode(VendorPattern, sizeof VendorPattern, 0x80), "QMDISC  ");
    EXPECT_EQ(Decode(ProductPattern, sizeof ProductPattern, 0x82), "DVD-RW QM-2816R ");
    EXPECT_EQ(Decode(AltProductPattern, sizeof AltProductPattern, 0x82), "DVDRW QM2816R?? ");
    EXPECT_EQ(Decode(StoredRevisionPattern, sizeof StoredRevisionPattern, REVISION_OFFSET), "1.??");
    EXPECT_EQ(StoredRevisionPattern[2], 0xC0);  // the stored form of '?'
    EXPECT_STREQ(ModelCode, "K827");
}

}  // namespace
