// The album manager's use of the shared dialogs (AlbumDialogs.h).
#include "ManagerDialogs.h"

#include "AlbumDialogs.h"
#include "platform/Text.h"

int AskNewAlbumName(HWND owner, const char* folder, const char* proposal, char* chosen) {
  if (proposal && !SetNewAlbumName(proposal)) return 0;
  if (RunNewAlbumDialog(owner, folder) != 1) return 0;
  // The dialog leaves the accepted file name, ".abm" included, in the buffer.
  return CopyTextWhole(chosen, MAX_PATH, GetNewAlbumName()) ? 1 : 0;
}

void ClearNewAlbumName() { SetNewAlbumName(""); }

int CheckNewAlbumName(const char* folder, const char* name, char* chosen) {
  char buffer[MAX_PATH];
  if (!CopyTextWhole(buffer, name)) return 0;
  if (!ValidateAlbumName(nullptr, folder, buffer, 0)) return 0;
  return CopyTextWhole(chosen, MAX_PATH, buffer) ? 1 : 0;
}

int AskSortOrder(HWND owner, int* key, int* descending) {
  if (RunSortDialog(owner) != 1) return 0;
  *key = GetSortKey();
  *descending = GetSortDescending();
  return 1;
}

int AskRemoveChoice(HWND owner, int* deleteFiles) {
  if (RunRemoveChoiceDialog(owner) != 1) return 0;
  // The first option keeps the picture files.
  *deleteFiles = GetDeleteMode() == 1 ? 0 : 1;
  return 1;
}
