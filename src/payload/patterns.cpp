// The identification data built into the program. The patterns are stored
// offset-encoded, each byte the expected character plus the pattern's offset,
// so the plain model names do not stand in the file.
#include "drive/discovery.h"
#include "payload/payload.h"

#define VENDOR(c) (BYTE)((c) + 0x80)
#define PRODUCT(c) (BYTE)((c) + 0x82)
#define REVISION(c) (BYTE)((c) + REVISION_OFFSET)

const char ModelCode[5] = "K827";

// "QMDISC  "
const BYTE VendorPattern[8] = {VENDOR('Q'), VENDOR('M'), VENDOR('D'), VENDOR('I'),
                               VENDOR('S'), VENDOR('C'), VENDOR(' '), VENDOR(' ')};

// "DVD-RW QM-2816R "
const BYTE ProductPattern[16] = {PRODUCT('D'), PRODUCT('V'), PRODUCT('D'), PRODUCT('-'),
                                 PRODUCT('R'), PRODUCT('W'), PRODUCT(' '), PRODUCT('Q'),
                                 PRODUCT('M'), PRODUCT('-'), PRODUCT('2'), PRODUCT('8'),
                                 PRODUCT('1'), PRODUCT('6'), PRODUCT('R'), PRODUCT(' ')};

// "DVDRW QM2816R?? "
const BYTE AltProductPattern[16] = {PRODUCT('D'), PRODUCT('V'), PRODUCT('D'), PRODUCT('R'),
                                    PRODUCT('W'), PRODUCT(' '), PRODUCT('Q'), PRODUCT('M'),
                                    PRODUCT('2'), PRODUCT('8'), PRODUCT('1'), PRODUCT('6'),
                                    PRODUCT('R'), PRODUCT('?'), PRODUCT('?'), PRODUCT(' ')};

// "1.??": any 1.xx revision; a payload's suffix narrows the last two.
const BYTE StoredRevisionPattern[4] = {REVISION('1'), REVISION('.'), REVISION('?'), REVISION('?')};
