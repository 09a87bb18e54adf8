#include "scsi/aspi.h"

ScsiServiceBinding ScsiService;
