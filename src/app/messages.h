// Every text the program shows, in Japanese (Shift-JIS bytes) and English.
#pragma once

enum MessageId {
    MSG_START_FLASHING,
    MSG_FLASHING,
    MSG_UPDATE_FAILED,
    MSG_UPDATE_SUCCESSFUL,
    MSG_INCORRECT_FILE,
    MSG_CONFIRM_CHANGE,
    MSG_TARGET_NOT_FOUND,
    MSG_CONFIRM_POWER_OFF,
    MSG_PROGRESS_FORMAT,
    MSG_ADMIN_REQUIRED,
    MSG_COUNT
};

// The caption of every box and the dialog's title, in both languages.
extern const char ProgramTitle[];

// Chooses the table once from the system default language: 1 Japanese
// (0x0411), 0 English for every other id.
int SelectLanguage(void);

// A text of the active table.
const char *Message(MessageId id);

// Both tables, for callers that must name one.
extern const char *const JapaneseMessages[MSG_COUNT];
extern const char *const EnglishMessages[MSG_COUNT];
