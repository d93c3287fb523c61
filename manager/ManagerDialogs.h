// The shared name, sort and remove-choice dialogs as the album manager uses
// them: each call runs the dialog (modal, bracketed for the image processing
// library) or the name check, and hands back what the user chose.
#pragma once

#include <windows.h>

// The new-album dialog over folder, proposing proposal (empty: the name
// buffer's last value). 1 when accepted: chosen (MAX_PATH bytes) receives the
// album's file name with ".abm". 0 when cancelled.
int AskNewAlbumName(HWND owner, const char* folder, const char* proposal, char* chosen);
// Forgets the last accepted name, so that the next dialog proposes none.
void ClearNewAlbumName();
// The name check without messages: 1 when folder can take a new album file
// called name (+ ".abm"); chosen then receives that file name.
int CheckNewAlbumName(const char* folder, const char* name, char* chosen);
// The sort dialog: 1 with the key (0 name, 1 type, 2 size, 3 date,
// 4 description) and the order; 0 when cancelled.
int AskSortOrder(HWND owner, int* key, int* descending);
// The remove-choice dialog: 1 with deleteFiles set when the files are to go
// too; 0 when cancelled.
int AskRemoveChoice(HWND owner, int* deleteFiles);
