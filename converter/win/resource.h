// Resource and control ids of Corvane Movie Converter.
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_CONVERTER 102
#define IDD_OUTPUT_FOLDER 130
#define IDD_CODEC_SELECT 131
#define IDD_EXPORT_SETTINGS 132

// The two codec presets, stored as resources of type "B".
#define IDR_PRESET_H263 133
#define IDR_PRESET_SORENSON3 135

#define IDM_ABOUTBOX 16

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

// Main dialog
#define IDC_FILE_NAMES 1000
#define IDC_FILE_PATHS 1001
#define IDC_ADD 1002
#define IDC_REMOVE 1003
#define IDC_CONVERT_ALL 1004
#define IDC_PROGRESS 1005
#define IDC_STATUS 1006
#define IDC_OUTPUT_FOLDER 1014

// Output folder dialog
#define IDC_SAME_FOLDER 1015
#define IDC_OTHER_FOLDER 1016
#define IDC_BROWSE 1017
#define IDC_FOLDER_EDIT 1018

// Codec dialog
#define IDC_SORENSON3 1019
#define IDC_H263 1020
#define IDC_CUSTOM 1021

// Exporter settings dialog (Custom)
#define IDC_VIDEO_ON 1100
#define IDC_VIDEO_CODEC 1101
#define IDC_QUALITY 1102
#define IDC_KEY_FRAMES 1103
#define IDC_SOUND_ON 1104
#define IDC_SOUND_FORMAT 1105
#define IDC_SOUND_RATE 1106
#define IDC_SOUND_CHANNELS 1107
