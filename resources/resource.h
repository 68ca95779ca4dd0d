// Resource ids of dorvane.exe, shared by dorvane.rc and the C++ code.
#pragma once

#define IDI_PROGRAM 107  // program window, About box; 16 to 256 pixels
#define IDI_SMALL 108    // title bar and task lists

// Main dialog
#define IDD_MAIN 129
#define IDC_MODE_MERGE 1000     // merge into a long-profile data file
#define IDC_MODE_SCRIPT2D 1001  // RES2DINV concatenation script
#define IDC_MODE_SCRIPT3D 1002  // RES3DINV collate script
#define IDC_OUTPUT_BROWSE 1003
#define IDC_OUTPUT_PATH 1004
#define IDC_ADD_FILE 1005
#define IDC_DELETE_FILE 1006
#define IDC_RUN_JOB 1007
#define IDC_EXIT 1008
#define IDC_GRID_FRAME 1009
#define IDC_PREVIEW 1010  // opens the preview window; stays above the grid frame
#define IDC_HELP_ABOUT 1027
#define IDC_TOPOGRAPHY 2008
// The first input row; later rows are cloned from it with ids from 2201 on,
// position by position in this order.
#define IDC_ROW_BROWSE 2009
#define IDC_ROW_PATH 2010
#define IDC_ROW_LOCATION_LABEL 2011
#define IDC_ROW_X 2012
#define IDC_ROW_Y 2013
#define IDC_ROW_INCREASING 2014
#define IDC_ROW_DECREASING 2015
#define IDC_ROW_X_DIRECTION 2016
#define IDC_ROW_Y_DIRECTION 2017
#define IDC_ROW_X_LABEL 2018
#define IDC_ROW_Y_LABEL 2019
#define IDC_ROW_ORDER_GROUP 2020
#define IDC_ROW_DIRECTION_GROUP 2021

// Preview window (survey/win32/preview_window.cpp)
#define IDC_PREVIEW_COLOURING 3001  // switches colouring by input and by value
#define IDC_PREVIEW_SUMMARY 3002
#define IDC_PREVIEW_FINDINGS 3003
#define IDC_PREVIEW_STATUS 3004

// About box
#define IDD_ABOUT 103
#define IDC_ABOUT_ADDRESS 1026
#define IDC_ABOUT_VERSION 1028
#define IDC_ABOUT_GUIDE 1029  // opens the user guide beside the program

// Menu commands: the grid's popup menu uses 40013 to 40024 (grid/grid_editor.h);
// control ids stay below 40000 so the two never meet.

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
