// The control states that the start-up, "Flash" and the end of a flash
// give the main dialog.
#pragma once

// The drive list and every button disabled, as while a thread works.
void DisableDialogControls(void);
// "Flash" shown, it, the drive list and "Cancel" enabled; "Power Off" too
// when asked.
void EnableDialogControls(int withPowerOff);
// "flashed of drives" in the drive counter.
void ShowDriveCounter(void);
