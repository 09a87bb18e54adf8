// Ids shared by the resource script and the code.
#pragma once

#define IDI_PROGRAM 107

#define IDC_LABEL_DRIVE 1001
#define IDC_LABEL_CURRENT 1002
#define IDC_LABEL_UPDATE 1003
#define IDC_LABEL_STATUS 1005
#define IDC_CURRENT_VERSION 1006
#define IDC_STATUS 1007
#define IDC_UPDATE_VERSION 1008
#define IDC_DRIVE_LIST 1009
#define IDC_PROGRESS 1010
#define IDC_FLASH 1011
#define IDC_DRIVE_COUNTER 1012
