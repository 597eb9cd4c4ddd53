#pragma once
// Numeric ids of the program's windows, controls, menus, commands, bitmaps, strings, timers
// and messages. Other code and the settings file rely on these values, so they never change.

// Dialog results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Dialog templates.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_TETRAV_DIALOG = 102;
constexpr int IDD_FILESELECT = 146;
constexpr int IDD_OPTIONS = 147;
constexpr int IDD_GOTO = 148;
constexpr int IDD_OFFSET = 149;

// Main window controls.
constexpr int IDC_VIDEO1 = 1000;
constexpr int IDC_VIDEO2 = 1001;
constexpr int IDC_VIDEO3 = 1002;
constexpr int IDC_VIDEO4 = 1003;
constexpr int IDC_SEEKBAR_PLACEHOLDER = 1004;
constexpr int IDC_VOLUME = 1020;
constexpr int IDC_SEEKBAR = 1216;
constexpr int IDC_STATUSBAR = 1217;
constexpr int AFX_IDW_TOOLBAR = 0xE800;

// File selection dialog controls.
constexpr int IDC_FILE1 = 1005;
constexpr int IDC_OPEN1 = 1006;
constexpr int IDC_FILE2 = 1007;
constexpr int IDC_FILE3 = 1008;
constexpr int IDC_FILE4 = 1009;
constexpr int IDC_OPEN2 = 1010;
constexpr int IDC_OPEN3 = 1011;
constexpr int IDC_OPEN4 = 1012;

// Go-to dialog controls.
constexpr int IDC_GOTO_TIME = 1017;

// Time offset dialog controls.
constexpr int IDC_OFFSET_TIME = 1021;
constexpr int IDC_OFFSET_FRAMES = 1022;

// Options dialog controls.
constexpr int IDC_SAVE_PATH = 1007;
constexpr int IDC_BROWSE_PATH = 1008;
constexpr int IDC_FRAME_SYNC = 1009;
constexpr int IDC_TIME_SYNC = 1010;
constexpr int IDC_SHORTEST = 1011;
constexpr int IDC_LONGEST = 1012;
constexpr int IDC_TOPMOST = 1013;
constexpr int IDC_STANDARD = 1014;
constexpr int IDC_HOTKEY1 = 1015;
constexpr int IDC_HOTKEY2 = 1016;
constexpr int IDC_HOTKEY3 = 1017;
constexpr int IDC_HOTKEY4 = 1018;
constexpr int IDC_HOTKEY5 = 1019; // all four panes at one instant

// About box controls.
constexpr int IDC_RULE = 1010;
constexpr int IDC_SUPPORT = 1011;
constexpr int IDC_BANNER = 1016;

// Menus, tool bar, icon.
constexpr int IDR_MAINFRAME = 128; // main menu, tool bar and its bitmap, icon
constexpr int IDR_CONTEXT1 = 129;
constexpr int IDR_CONTEXT2 = 143;
constexpr int IDR_CONTEXT3 = 144;
constexpr int IDR_CONTEXT4 = 145;

// Commands.
constexpr int IDM_ABOUTBOX = 16;
constexpr int ID_OPEN_FILES = 32771;
constexpr int ID_EXIT = 32772;
constexpr int ID_VIEW_TOPMOST = 32773;
constexpr int ID_VIEW_NORMAL = 32774;
constexpr int ID_PLAY_STEP = 32775;
constexpr int ID_PLAY_GOTO = 32776;
constexpr int ID_OPTIONS = 32777;
constexpr int ID_HELP_CONTENTS = 32778;
constexpr int ID_TB_PLAY = 32780;
constexpr int ID_TB_STOP = 32782;
constexpr int ID_TB_NORMAL_SPEED = 32784;
constexpr int ID_TB_OPEN = 32786;
constexpr int ID_TB_PAUSE = 32789;
constexpr int ID_TB_SLOWER = 32790;
constexpr int ID_TB_FASTER = 32791;
constexpr int ID_PANE_TITLE_1 = 32793;
constexpr int ID_CAPTURE_1 = 32794;
constexpr int ID_PANE_TITLE_2 = 32795;
constexpr int ID_CAPTURE_2 = 32796;
constexpr int ID_PANE_TITLE_3 = 32797;
constexpr int ID_CAPTURE_3 = 32798;
constexpr int ID_PANE_TITLE_4 = 32799;
constexpr int ID_CAPTURE_4 = 32800;
// Commands beyond the transport of the first version: time offsets, the backward step,
// capturing every pane at once and saved sets (recent sets take a range of ids).
constexpr int ID_SET_OFFSET_1 = 32801;   // ..32804 for panes 1..4
constexpr int ID_CLEAR_OFFSET_1 = 32805; // ..32808
constexpr int ID_PLAY_STEP_BACK = 32809;
constexpr int ID_CAPTURE_ALL = 32810;
constexpr int ID_SAVE_SET = 32811;
constexpr int ID_OPEN_SET = 32812;
constexpr int ID_RECENT_SET_FIRST = 32820; // ..32829
constexpr int ID_ALIGN_AUDIO = 32840;      // every pane by its sound
constexpr int ID_ALIGN_AUDIO_1 = 32841;    // ..32844: pane 1..4 alone
constexpr int ID_SET_IN_MARK = 32850;
constexpr int ID_SET_OUT_MARK = 32851;
constexpr int ID_CLEAR_MARKS = 32852;
constexpr int ID_LOOP_PLAY = 32853;
constexpr int ID_EXPORT_VIDEO = 32854;
constexpr int ID_SOLO_1 = 32860;          // ..32863: 只听此画面 of panes 1..4
constexpr int ID_MUTE_1 = 32864;          // ..32867: 静音 of panes 1..4
constexpr int ID_VIEW_PANE_INFO = 32870;  // 显示画面信息
constexpr int ID_RESET_PICTURE_1 = 32871; // ..32874: 还原画面 of panes 1..4
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_HELP = 57670;

// Bitmaps of the seek bar and the options banner.
constexpr int IDB_HORIZONTAL_SCROLLBAR_CHANNEL = 130;
constexpr int IDB_HORIZONTAL_SCROLLBAR_LEFTARROW = 131;
constexpr int IDB_HORIZONTAL_SCROLLBAR_RIGHTARROW = 132;
constexpr int IDB_HORIZONTAL_SCROLLBAR_THUMB = 133;
constexpr int IDB_HORIZONTAL_SCROLLBAR_THUMB_NO_COLOR = 134;
constexpr int IDB_OPTIONS_BANNER = 149;

// Strings.
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDP_SOCKETS_INIT_FAILED = 103;

// Timers of the main window.
constexpr int TIMER_SYNC = 1;
constexpr int TIMER_DISPLAY = 2;

// Hot key ids of panes 1 to 4.
constexpr int HOTKEY_ID_PANE1 = 100;
constexpr int HOTKEY_ID_PANE2 = 200;
constexpr int HOTKEY_ID_PANE3 = 300;
constexpr int HOTKEY_ID_PANE4 = 400;
constexpr int HOTKEY_ID_ALL = 500; // every pane at one instant

// Window messages of the program's own (delivered as Qt events of the same number + QEvent::User).
constexpr int WM_USER = 0x400;
constexpr int WM_GOTO_POSITION = WM_USER + 45;

// Scroll notification codes.
constexpr int SB_LINELEFT = 0;
constexpr int SB_LINEUP = 0;
constexpr int SB_LINERIGHT = 1;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_THUMBTRACK = 5;

// Window and control styles that still carry meaning.
constexpr unsigned WS_CHILD = 0x40000000u;
constexpr unsigned WS_VISIBLE = 0x10000000u;
constexpr unsigned SS_NOTIFY = 0x00000100u;
constexpr unsigned SBS_VERT = 0x00000001u;

// Hot key modifier flags as the settings file stores them.
constexpr unsigned MOD_ALT = 1;
constexpr unsigned MOD_CONTROL = 2;
constexpr unsigned MOD_SHIFT = 4;
