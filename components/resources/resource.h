// Identifiers of the resource module Morvex.dll: every text, dialog template,
// menu, bitmap and cursor that album.dll loads, and the control and command
// identifiers inside them. Plain #defines only, so that windres and C++ share
// this file.
#ifndef ALBUMKIT_RESOURCES_RESOURCE_H
#define ALBUMKIT_RESOURCES_RESOURCE_H

// Message box texts (full sentences).
#define IDS_CANNOT_OPEN_PICTURE        1028  // damaged or unsupported picture
#define IDS_PICTURE_FILE_ERROR         4001  // any other failure to open a picture file
#define IDS_INVALID_ALBUM_NAME         4003
#define IDS_ASK_SAVE_CHANGES           4011
#define IDS_ALBUM_NAME_EXISTS          4013
#define IDS_CANNOT_PREPARE_PICTURE     4014  // brush or stamp preparation gave no picture
#define IDS_ASK_DELETE_ALBUM           4020
#define IDS_CANNOT_DELETE_ALBUM        4021
#define IDS_ALBUM_NAME_RESERVED        4026  // the name is the untitled album's name
#define IDS_INVALID_DATE_RANGE         4028
#define IDS_ASK_SAVE_RESULTS           4039
#define IDS_ASK_REMOVE_RESOURCES       4040
#define IDS_SOME_DROPS_FAILED          4043
#define IDS_NO_WILDCARDS_IN_NAME       4044
#define IDS_INVALID_SIZE               4056  // a size too large for the search's size bound
#define IDS_ASK_REFRESH_DUPLICATE      4231  // format: %s = path of the picture
#define IDS_ASK_REPLACE_RESOURCE       4057  // format: %s = path of the stored picture
#define IDS_RESOURCE_ALBUM_UNREADABLE  4058  // imports refused: the album file is damaged
#define IDS_PATH_TOO_LONG              11001
#define IDS_CANNOT_OPEN_ALBUM          4006  // an album file that cannot be read; nothing changed
#define IDS_CANNOT_SAVE_ALBUM          4007  // a save that failed while leaving or closing

// Message box captions and dialog titles.
#define IDS_CAPTION_ADD_RESOURCES      4002
#define IDS_TITLE_ADD_TO_ALBUM         4004  // album chooser title when adding files
#define IDS_CAPTION_ALBUM              4005
#define IDS_CAPTION_ALBUM_MANAGER      4010
#define IDS_CAPTION_RESOURCE_ALBUM     4016
#define IDS_TITLE_OPEN_ALBUM           4022  // album chooser title when opening a manager
#define IDS_CAPTION_SEARCH             4027
#define IDS_CAPTION_PHOTO_ALBUM        4042

// Status line formats and texts.
#define IDS_FMT_ITEM_INFO              4008  // %d %d %d date, %d KB, %d width, %d height
#define IDS_FMT_ITEM_COUNT             4009  // %d = number of items
#define IDS_SEARCH_STARTING            4023
#define IDS_FMT_SEARCHING              4024  // %s = file or album being examined
#define IDS_FMT_SEARCH_DONE            4025  // %d = number of pictures found
#define IDS_FMT_ADDING                 4012  // %d of %d, %s = file being added

// Names shown as list entries; neither can be the name of an album file.
#define IDS_UNTITLED_ALBUM             4017
#define IDS_ALL_ALBUMS                 4029

// Album manager toolbar tooltips, in button order.
#define IDS_TIP_ADD                    4030
#define IDS_TIP_ACQUIRE                4031
#define IDS_TIP_SORT                   4032
#define IDS_TIP_DELETE                 4033
#define IDS_TIP_SAVE                   4034
#define IDS_TIP_PRINT                  4035
#define IDS_TIP_SEARCH                 4036
#define IDS_TIP_BATCH                  4037
#define IDS_TIP_HELP                   4038

// Print dialog: box sizes (1, 1.5, 2 and 2.5 inches) and the names check box.
#define IDS_PRINT_BOX_1IN              4045
#define IDS_PRINT_BOX_1_5IN            4046
#define IDS_PRINT_BOX_2IN              4047
#define IDS_PRINT_BOX_2_5IN            4048
#define IDS_PRINT_NAMES                4133

// Search dialog: tab titles, size choices and the Find button's two texts.
#define IDS_TAB_NAME_LOCATION          4049
#define IDS_TAB_DATE                   4050
#define IDS_TAB_TYPE_SIZE              4051
#define IDS_SIZE_AT_LEAST              4052
#define IDS_SIZE_AT_MOST               4053
#define IDS_BUTTON_CONTINUE            4054
#define IDS_BUTTON_FIND                4055

// Picture information: column titles, units, values and row labels.
#define IDS_INFO_COL_PROPERTY          4067
#define IDS_INFO_COL_VALUE             4068
#define IDS_UNIT_BITS_PER_PIXEL        4069
#define IDS_UNIT_SECONDS               4070
#define IDS_UNIT_MILLIMETRES           4071
#define IDS_UNIT_PIXELS_PER_INCH       4072
#define IDS_ISO_PREFIX                 4073  // followed directly by the number
#define IDS_FLASH_FIRED                4074
#define IDS_FLASH_NOT_FIRED            4075
#define IDS_LIGHT_UNKNOWN              4076
#define IDS_LIGHT_DAYLIGHT             4077
#define IDS_LIGHT_FLUORESCENT          4078
#define IDS_LIGHT_TUNGSTEN             4079
#define IDS_LIGHT_FLASH                4080
#define IDS_PROGRAM_NORMAL             4081
#define IDS_PROGRAM_MANUAL             4082
#define IDS_PROGRAM_APERTURE_PRIORITY  4083
#define IDS_PROGRAM_SHUTTER_PRIORITY   4084
#define IDS_PROGRAM_CREATIVE           4085
#define IDS_PROGRAM_ACTION             4086
#define IDS_PROGRAM_PORTRAIT           4087
#define IDS_PROGRAM_LANDSCAPE          4089
#define IDS_INFO_MAKE                  4091
#define IDS_INFO_MODEL                 4093
#define IDS_INFO_EXIF_VERSION          4095
#define IDS_INFO_DATE_TAKEN            4097
#define IDS_INFO_DATE_DIGITIZED        4099
#define IDS_INFO_COMPRESSION           4100
#define IDS_INFO_EXPOSURE_TIME         4101
#define IDS_INFO_F_NUMBER              4102
#define IDS_INFO_EXPOSURE_BIAS         4103  // the row exists but shows no value
#define IDS_INFO_FOCAL_LENGTH          4105
#define IDS_INFO_FOCAL_PLANE_XRES      4107
#define IDS_INFO_FOCAL_PLANE_YRES      4109
#define IDS_INFO_ISO_SPEED             4112
#define IDS_INFO_FLASH                 4114
#define IDS_INFO_LIGHT_SOURCE          4120
#define IDS_INFO_EXPOSURE_PROGRAM      4217

// File dialog filter description for the picture patterns.
#define IDS_PICTURE_FILTER             9056

// Dialog templates.
#define IDD_NEW_ALBUM                  4218
#define IDD_PRINT                      4219
#define IDD_CHOOSE_ALBUM               4221
#define IDD_SEARCH                     4222
#define IDD_PICTURE_INFO               4226
#define IDD_SORT                       4227
#define IDD_ALBUM_MANAGER              4228
#define IDD_REMOVE_CHOICE              4230

// Menu: the item context menu (first submenu: manager, second: search results).
#define IDM_ITEM_CONTEXT               4161

// Context menu commands.
#define IDM_CUT                        4209
#define IDM_COPY                       4210
#define IDM_PASTE                      4211
#define IDM_DELETE_ITEMS               4212
#define IDM_SEND_TO_HOST               4213
#define IDM_HELP                       4215
#define IDM_PICTURE_INFO               4216

// Album manager toolbar commands.
#define IDM_TB_SAVE                    1001
#define IDM_TB_SORT                    1002
#define IDM_TB_ADD                     1003
#define IDM_TB_DELETE                  1004
#define IDM_TB_ACQUIRE                 1005
#define IDM_TB_PRINT                   1007
#define IDM_TB_SEARCH                  1008
#define IDM_TB_BATCH                   1011
#define IDM_TB_HELP                    1012

// Bitmaps: the docked close button; two sets of four toolbar strips in toolbar order.
#define IDB_CLOSE_BUTTON               4169
#define IDB_TOOLBAR_CLASSIC_1          4117
#define IDB_TOOLBAR_CLASSIC_2          4125
#define IDB_TOOLBAR_CLASSIC_3          4122
#define IDB_TOOLBAR_CLASSIC_4          4235
#define IDB_TOOLBAR_NEW_1              4234
#define IDB_TOOLBAR_NEW_2              4232
#define IDB_TOOLBAR_NEW_3              4233
#define IDB_TOOLBAR_NEW_4              4236

// Cursor shown while album items are dragged.
#define IDC_DRAGCURSOR                 4129

// Controls of the new-album dialog.
#define IDC_NEW_ALBUM_NAME             99

// Controls of the sort dialog (options 90-94 are the sort keys in order).
#define IDC_SORT_DESCENDING            89
#define IDC_SORT_BY_NAME               90
#define IDC_SORT_BY_TYPE               91
#define IDC_SORT_BY_SIZE               92
#define IDC_SORT_BY_DATE               93
#define IDC_SORT_BY_DESCRIPTION        94

// Controls of the remove-choice dialog.
#define IDC_REMOVE_KEEP_FILES          4195
#define IDC_REMOVE_DELETE_FILES        4196

// Controls of the album chooser.
#define IDC_CHOOSER_ALBUM_LIST         101

// Controls of the picture information dialog.
#define IDC_INFO_LIST                  4204

// Controls of the print dialog (4205 and 4206 are hidden when it opens).
#define IDC_PRINT_BOX_SIZE             4130
#define IDC_PRINT_ALL_ITEMS            4131
#define IDC_PRINT_FILE_NAMES           4133
#define IDC_PRINT_SETUP                4200
#define IDC_PRINT_HIDDEN_1             4205
#define IDC_PRINT_HIDDEN_2             4206

// Controls of the album manager dialog.
#define IDC_MAN_ALBUM_LIST             101
#define IDC_MAN_DESCRIPTION            102
#define IDC_MAN_ALBUM_CTRL             104
#define IDC_MAN_ALBUM_LABEL            202
#define IDC_MAN_TOOLBAR_LABEL          4176
#define IDC_MAN_DESCRIPTION_LABEL      4177
#define IDC_MAN_STATUS                 4180
#define IDC_MAN_STATUS_LABEL           4188
#define IDC_MAN_TOOLBAR                4189
#define IDC_MAN_CLOSE                  4203

// Controls of the search dialog.
#define IDC_SEARCH_DESCRIPTION         102
#define IDC_SEARCH_RESULTS             104
#define IDC_SEARCH_SAVE_AS_ALBUM       4138
#define IDC_SEARCH_TABS                4140
#define IDC_SEARCH_NAME                4144
#define IDC_SEARCH_DESC_TEXT           4146
#define IDC_SEARCH_DESC_OPTION         4147
#define IDC_SEARCH_ANY_DATE            4148
#define IDC_SEARCH_BY_DATE             4149
#define IDC_SEARCH_BETWEEN             4150
#define IDC_SEARCH_LAST_MONTHS         4152
#define IDC_SEARCH_LAST_DAYS           4153
#define IDC_SEARCH_FROM_DATE           4154
#define IDC_SEARCH_TO_DATE             4156
#define IDC_SEARCH_MONTHS              4157
#define IDC_SEARCH_MONTHS_SPIN         4158
#define IDC_SEARCH_DAYS                4160
#define IDC_SEARCH_DAYS_SPIN           4162
#define IDC_SEARCH_FILE_TYPE           4166
#define IDC_SEARCH_SIZE_BOUND          4168
#define IDC_SEARCH_SIZE_KB             4170
#define IDC_SEARCH_DESCRIPTION_LABEL   4177
#define IDC_SEARCH_STATUS              4180
#define IDC_SEARCH_STATUS_LABEL        4188
#define IDC_SEARCH_ALBUM               4189
#define IDC_SEARCH_IN_ALBUMS           4190
#define IDC_SEARCH_FOLDER              4191
#define IDC_SEARCH_IN_FOLDER           4192
#define IDC_SEARCH_SUBFOLDERS          4193
#define IDC_SEARCH_BROWSE              4194
#define IDC_SEARCH_CLOSE               4201
#define IDC_SEARCH_FIND                4202

// Search dialog labels, shown and hidden with their tab page.
#define IDC_SEARCH_PAGE0_LABEL_1       4141
#define IDC_SEARCH_PAGE0_LABEL_2       4145
#define IDC_SEARCH_PAGE1_LABEL_1       4155
#define IDC_SEARCH_PAGE1_LABEL_2       4159
#define IDC_SEARCH_PAGE1_LABEL_3       4164
#define IDC_SEARCH_PAGE2_LABEL_1       4165
#define IDC_SEARCH_PAGE2_LABEL_2       4167
#define IDC_SEARCH_PAGE2_LABEL_3       4172

// Search dialog page 1 controls whose visibility the template alone decides.
#define IDC_SEARCH_PAGE1_FIXED_1       4173
#define IDC_SEARCH_PAGE1_FIXED_2       4174
#define IDC_SEARCH_PAGE1_FIXED_3       4175

#endif
