// Ids of the plug-in's string resources (shared by the .rc and the code).
#pragma once

#define IDS_CAPTION 1
#define IDS_PLUGIN_NAME 2
#define IDS_VENDOR 3
#define IDS_DESCRIPTION 4
#define IDS_UPDATE_URL 5
#define IDS_COLUMN_PATTERN 700
#define IDS_COLUMN_NAME 701
#define IDS_COLUMN_ADDRESS 702
#define IDS_OUT_OF_MEMORY 1000
#define IDS_CANNOT_CREATE_INI 1001
#define IDS_HOST_API_FAILED 1002
#define IDS_NO_MAILBOXES 1003
#define IDS_REGEX_COMPILE_ERROR 1004
#define IDS_SETTINGS_NOT_SAVED 1005
