# album.dll: the album component.
add_library(album SHARED
  model/Thumbnail.cpp
  model/ThumbTable.cpp
  model/ThumbSearch.cpp
  model/ThumbnailMaker.cpp
  model/AlbumDoc.cpp
  model/AlbumExports.cpp
  model/AddToAlbum.cpp
  model/XmlExport.cpp
  model/ExifReader.cpp
  model/PictureInfo.cpp
  model/PictureInfoDlg.cpp
  manager/Module.cpp
  manager/ThreadRegistry.cpp
  manager/AlbumCtrl.cpp
  manager/AlbumMan.cpp
  manager/AlbumManCommands.cpp
  manager/AlbumManDlg.cpp
  manager/ManagerDialogs.cpp
  manager/HostInterface.cpp
  manager/ToolbarLibrary.cpp
  manager/AlbumDialogs.cpp
  resalbum/BrushAlbumCtrl.cpp
  resalbum/ResourcePicture.cpp
  search/AlbumChooser.cpp
  search/SearchCriteria.cpp
  search/SearchRun.cpp
  search/AlbumSearchDlg.cpp
  platform/Alloc.cpp
  platform/Text.cpp
  platform/Path.cpp
  views/DragWindow.cpp
  views/AlbumPrint.cpp
  views/ThumbView.cpp
  views/ThumbListView.cpp
  views/Album.cpp
  views/AlbumEdit.cpp
)
albumkit_dll(album OUTPUT_NAME album)
target_compile_definitions(album PRIVATE ALBUM_BUILDING_DLL)
target_include_directories(album PUBLIC ${CMAKE_SOURCE_DIR}/include PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(album PRIVATE qildll pixamo)
target_link_libraries(album PRIVATE ole32 oleaut32 uuid)
target_link_libraries(album PRIVATE comctl32)
# Stdcall exports are found by their plain names too (CreateXabm as well as
# CreateXabm@8, which the import library uses).
target_link_options(album PRIVATE -Wl,--add-stdcall-alias)
# Printing: the printer dialogs.
target_link_libraries(album PRIVATE comdlg32)
# Files dropped on the album manager.
target_link_libraries(album PRIVATE shell32)
# The toolbar library is loaded at run time by its plain export names, never
# linked: it only has to be built beside album.dll.
add_dependencies(album tevrin)
