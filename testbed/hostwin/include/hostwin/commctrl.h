// The common-controls pieces the product uses: the progress bar.
#pragma once
#include "user.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PROGRESS_CLASSA "msctls_progress32"
#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_GETPOS (WM_USER + 8)

void WINAPI InitCommonControls(void);

#ifdef __cplusplus
}
#endif
