// Listing a folder's picture files in one pass, with the status the listing
// already returned, for EnumPictureFiles and the folder search.
#pragma once

#include <windows.h>

#include <vector>

struct PictureFileEntry {
  char path[MAX_PATH];           // folder + "\" + name
  unsigned long long size;       // bytes
  long long modified;            // last write, seconds since 1970 (UTC) as the C runtime's stat gives it
};

// The picture files of folder (no trailing "\"), grouped by the picture
// extension table in table order and, within a type, in the order the file
// system lists them: the same files in the same order as one pattern search
// per table extension, for the price of one pass over the folder. A name the
// file system knows also by a short name matches by either, as a pattern
// search would. Files whose path does not fit MAX_PATH are left out. false
// when memory ran out (files then holds what was found before).
bool ListPictureFiles(const char* folder, std::vector<PictureFileEntry>* files);
