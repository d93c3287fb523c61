// Builds album items for tests without touching picture files: a record with
// the given path, size, time and description, and a small 24-bit picture.
#pragma once

#include <album.h>

#include <string>
#include <utility>
#include <vector>

#include "../platform/qil.h"

struct ItemSpec {
  ItemSpec(std::string path_, DWORD size_ = 0, DWORD time_ = 0, std::string description_ = "")
      : path(std::move(path_)), size(size_), time(time_), description(std::move(description_)) {}
  ItemSpec(const char* path_) : ItemSpec(std::string(path_)) {}
  std::string path;
  DWORD size;
  DWORD time;
  std::string description;
};

// Bounded, terminated copy into a fixed text field.
template <size_t N>
void Put(char (&field)[N], const std::string& text) {
  size_t length = text.size() < N ? text.size() : N - 1;
  text.copy(field, length);
  field[length] = '\0';
}

// A 24-bit bottom-up DIB of width x height filled with one grey value.
HTOVIMEM MakeSolidDib(int width, int height, BYTE value);

// A new item (id 0, exist 1) owning a 4 x 3 picture.
CThumbnail2* MakeItem(const ItemSpec& wanted);

// The test's view of the table: the view classes' protected operations.
class TestTable : public CThumbTable2 {
public:
  using CThumbTable2::CleanTable;
  using CThumbTable2::Remove;
  using CThumbTable2::SortBy;

  void Append(const ItemSpec& wanted) { Insert(MakeItem(wanted), nullptr); }
  // The items' paths in table order.
  std::vector<std::string> Paths();
  // Empty when every id equals its position, else a description of the first mismatch.
  std::string CheckIds();
};
