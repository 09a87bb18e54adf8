// The small operations through which every part writes into the main dialog,
// and the two kinds of message box.
#pragma once
#include "platform/win32.h"

// The main dialog, stored first thing at WM_INITDIALOG and never cleared.
extern HWND MainDialogHandle;

// Replaces the whole text of the status box.
void ShowStatus(const char *text);
// Writes a drive revision into the current-version field; one that begins
// with '0' shows as "N/A ".
void ShowCurrentVersion(const char *text);
// Appends an entry to the drive list, unsorted; returns the list's answer.
int AddDriveListEntry(const char *text);

// System-modal boxes with no owner, captioned with the program title.
void ShowErrorBox(const char *text);
// Returns nonzero when the user answered OK.
int AskQuestion(const char *text);
