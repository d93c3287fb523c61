// The album manager's use of the shared dialogs (AlbumDialogs.h).
#include "ManagerDialogs.h"

#include "platform/Text.h"

// The shared dialogs come from another part of the component; until it is
// built in, every entry is null and the commands that need a dialog fail.
#define SHARED_DIALOG __attribute__((weak))
SHARED_DIALOG int RunNewAlbumDialog(HWND owner, const char* folder);
SHARED_DIALOG const char* GetNewAlbumName();
SHARED_DIALOG void SetNewAlbumName(const char* name);
SHARED_DIALOG int RunSortDialog(HWND owner);
SHARED_DIALOG int GetSortKey();
SHARED_DIALOG int GetSortDescending();
SHARED_DIALOG int RunRemoveChoiceDialog(HWND owner);
SHARED_DIALOG int GetDeleteMode();
SHARED_DIALOG int ValidateAlbumName(HWND owner, const char* folder, char* name, int withMessages);

int AskNewAlbumName(HWND owner, const char* folder, const char* proposal, char* chosen) {
  if (!RunNewAlbumDialog || !SetNewAlbumName || !GetNewAlbumName) return 0;
  if (proposal) SetNewAlbumName(proposal);
  if (RunNewAlbumDialog(owner, folder) != 1) return 0;
  // The dialog leaves the accepted file name, ".abm" included, in the buffer.
  return CopyTextWhole(chosen, MAX_PATH, GetNewAlbumName()) ? 1 : 0;
}

void ClearNewAlbumName() {
  if (SetNewAlbumName) SetNewAlbumName("");
}

int CheckNewAlbumName(const char* folder, const char* name, char* chosen) {
  if (!ValidateAlbumName) return 0;
  char buffer[MAX_PATH];
  if (!CopyTextWhole(buffer, name)) return 0;
  if (!ValidateAlbumName(nullptr, folder, buffer, 0)) return 0;
  return CopyTextWhole(chosen, MAX_PATH, buffer) ? 1 : 0;
}

int AskSortOrder(HWND owner, int* key, int* descending) {
  if (!RunSortDialog || !GetSortKey || !GetSortDescending || RunSortDialog(owner) != 1) return 0;
  *key = GetSortKey();
  *descending = GetSortDescending();
  return 1;
}

int AskRemoveChoice(HWND owner, int* deleteFiles) {
  if (!RunRemoveChoiceDialog || !GetDeleteMode || RunRemoveChoiceDialog(owner) != 1) return 0;
  // The first option keeps the picture files.
  *deleteFiles = GetDeleteMode() == 1 ? 0 : 1;
  return 1;
}
