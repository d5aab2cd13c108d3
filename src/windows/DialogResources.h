// Numbers of the dialog templates, menus and controls of TolvanDialogs.rc,
// shared by the resource script and the dialog procedures. Plain #defines:
// the resource compiler reads this file too.
//
// The settings window is one dialog (the tree, the macro legend, OK and
// Cancel) with a child dialog per page laid over the page area; all
// eighteen template pages are made from one template, the three line
// comment pages from another, so a control number means the same control on
// every page of a kind.
#pragma once

// The add-in's own resources (resources/Tolvan.rc).
#define IDS_PRODUCT_TITLE 110
#define IDB_BUTTON_FACE 1000
#define IDI_ADDIN 1001
#define IDC_LINK_CURSOR 99

// Dialog templates.
#define IDD_MARLET 2000
#define IDD_PAGE_TEMPLATE 2001
#define IDD_PAGE_PARAMETERS 2002
#define IDD_PAGE_MACROS 2003
#define IDD_PAGE_BEHAVIOUR 2004
#define IDD_PAGE_LINE_COMMENT 2005
#define IDD_PAGE_CLICKS 2006
#define IDD_ABOUT 2010
#define IDR_MARLET_MENU 2020

// Menu items.
#define IDM_LOAD 2101
#define IDM_SAVE 2102
#define IDM_EXIT 2103
#define IDM_HELP_CONTENTS 2104
#define IDM_ABOUT 2105

// The main window. OK is not IDOK: Enter in a one-line box must not press
// it, so the dialog has no default button.
#define IDC_TREE 3001
#define IDC_OK 3002
#define IDC_MACRO_HEAD 3003

// Every page: its frame, whose caption is the page's tree text.
#define IDC_FRAME 3100

// Template pages K00 to K17.
#define IDC_COMMENT_LABEL 3110
#define IDC_COMMENT 3111
#define IDC_PREVIEW_LABEL 3112
#define IDC_PREVIEW 3113

// Page K18: txtRef(0) to txtRef(5) and their labels.
#define IDC_REF0 3120
#define IDC_REF_LABEL0 3130

// Page K19.
#define IDC_PARAM_MACRO_REMOVE 3140
#define IDC_MACRO_GRID 3141
#define IDC_MACRO_WORD_LABEL 3142
#define IDC_MACRO_WORD 3143
#define IDC_MACRO_REPLACEMENT_LABEL 3144
#define IDC_MACRO_REPLACEMENT 3145
// cmdUserDefine(0) to cmdUserDefine(4): add, change, delete, up, down.
#define IDC_MACRO_BUTTON0 3150

// Page K20.
#define IDC_COMMENT_PATTERN_LABEL 3160
#define IDC_COMMENT_PATTERN 3161
#define IDC_TOOLBARS_LABEL 3162
#define IDC_TOOLBARS 3163

// Pages K21 to K23: comment before, on each line, after.
#define IDC_LINE_LABEL0 3170
#define IDC_LINE0 3175

// Page K24: one row per kind of click.
#define IDC_CLICK_LABEL0 3180
#define IDC_CLICK_PATTERN0 3185
#define IDC_CLICK_OUT0 3190

// The About box.
#define IDC_ABOUT_ICON 3201
#define IDC_ABOUT_TITLE 3202
#define IDC_ABOUT_VERSION 3203
#define IDC_ABOUT_OWNER 3204
#define IDC_ABOUT_URL 3205
