// Keeping the computer from sleeping while a flash runs.
#pragma once

// Nonzero: the system stays awake until called with 0. A system without
// SetThreadExecutionState (Windows 95, NT 4) is left as it is.
void KeepSystemAwake(int on);
