// The toolbar library as the album component sees it: loaded at process
// attach when it is there, so a host without it still gets working album
// windows (a manager without toolbar, standard scroll bars, no move trigger).
#pragma once

#include "platform/tevrin.h"

struct ToolbarLibrary {
  HMODULE module = nullptr;  // owned: freed at process detach
  decltype(&::RegisterToolBar) RegisterToolBar = nullptr;
  decltype(&::InitializeToolbar) InitializeToolbar = nullptr;
  decltype(&::EnableToolbar) EnableToolbar = nullptr;
  decltype(&::SubclassScroll) SubclassScroll = nullptr;
  decltype(&::DeSubclassScroll) DeSubclassScroll = nullptr;
  decltype(&::CreateTransplantationTrigger) CreateTransplantationTrigger = nullptr;
  decltype(&::FreeTransplantation) FreeTransplantation = nullptr;
};

// The loaded library; every entry is null when it could not be loaded, and
// each may be null on its own when the library lacks it.
const ToolbarLibrary& GetToolbarLibrary();

// Loads "Tevrin.dll" and registers its toolbar class with the resource
// module; ReleaseToolbarLibrary frees it again.
void LoadToolbarLibrary(HMODULE resources);
void ReleaseToolbarLibrary();
