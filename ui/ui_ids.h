/* Resource and control ids of the settings dialog and the about box. Plain
   macros: the resource compiler reads this file as well as C++. */
#ifndef FROMSEL_UI_UI_IDS_H
#define FROMSEL_UI_UI_IDS_H

#define IDD_SETTINGS 136
#define IDD_ABOUT 106
#define IDC_LINK_CURSOR 137

/* Settings dialog */
#define IDC_MAILBOX 1197
#define IDC_ENABLE 1198
#define IDC_ABOUT 1203
#define IDC_DELIVERED_TO 1207
#define IDC_PATTERN_LABEL 1208
#define IDC_PATTERN 1209
#define IDC_NAME_LABEL 1210
#define IDC_NAME 1211
#define IDC_ADDRESS_LABEL 1212
#define IDC_ADDRESS 1213
#define IDC_REGEX 1214
#define IDC_SET_SENDER 1215
#define IDC_VERP 1216
#define IDC_ADD 1217
#define IDC_REPLACE 1218
#define IDC_REMOVE 1219
#define IDC_UP 1220
#define IDC_DOWN 1221
#define IDC_RULE_LIST 1222

/* About box */
#define IDC_VERSION 1015
#define IDC_MAIL_LINK 1016
#define IDC_WEB_LINK 1030

/* String ids: win32/resource_ids.h */

#endif
