// Resource identifiers of the player dialog.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#define IDD_PLAYER 103
#define IDB_PLAY 117
#define IDB_STOP 119
#define IDB_PLAYING 121
#define IDI_PLAYER 1
#define IDC_PLAY 1019
#define IDC_STOP 1020
#define IDC_HIDDEN_DEFAULT 1025
#define IDC_TEXT1 1026
#define IDC_TEXT2 1027
