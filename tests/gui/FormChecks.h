// Checks of the main form shared by the standard and the brimel-200 GUI tests: widget tree,
// texts, fonts, groups, initial states, connections, slot table and a legibility check.
// Each test executable includes this header once and adds "moc_FormChecks.cpp".
#pragma once

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtMath>
#include <iterator>
#include <memory>

#include "GuiTestKit.h"

enum class FormVariant { Standard, B200 };

namespace formchecks {

enum In { Both, StdOnly, B200Only };

// One object of the form: kind (exact class), where it sits, and its initial text.
struct ObjectRow {
    const char *name;
    const char *kind;       // exact class name in the standard build
    const char *kind200;    // in the brimel-200 build when it differs, else nullptr
    const char *parent;     // object name of the parent widget
    const char *text;       // initial text, nullptr when not a text-bearing control
    const char *text200;    // text in the brimel-200 build when it differs
    const char *parent200;  // parent in the brimel-200 build when it differs
    In in;
};

// Texts of the window's controls. "top" rows sit on the central widget.
inline const ObjectRow kObjects[] = {
    {"labelTitle_2", "QLabel", nullptr, "centralwidget", nullptr, nullptr, nullptr, Both},
    {"label_3", "QLabel", nullptr, "centralwidget", "ACTIVE INPUT:", nullptr, nullptr, Both},
    {"rbInA", "QRadioButton", nullptr, "centralwidget", "PORT A [TOP]", nullptr, nullptr, Both},
    {"rbInB", "QRadioButton", nullptr, "centralwidget", "PORT B [BOT]", nullptr, nullptr, Both},
    {"lblWarning", "QLabel", nullptr, "centralwidget", "", nullptr, nullptr, Both},
    {"label_10", "QLabel", nullptr, "centralwidget", "AUTO SWITCH:", nullptr, nullptr, Both},
    {"autoSwEn", "QRadioButton", nullptr, "centralwidget", "ENABLE", nullptr, nullptr, Both},
    {"autoSwDis", "QRadioButton", nullptr, "centralwidget", "DISABLE", nullptr, nullptr, Both},
    {"label_12", "QLabel", nullptr, "centralwidget", " PRIORITY:", nullptr, nullptr, Both},
    {"bPrioNorm", "QRadioButton", nullptr, "centralwidget", "NORMAL", nullptr, nullptr, Both},
    {"pPrioForce", "QRadioButton", nullptr, "centralwidget", "FORCED", nullptr, nullptr, Both},
    {"label_6", "QLabel", nullptr, "centralwidget", "HDCP OUTPUT:", nullptr, nullptr, Both},
    {"hdcp14", "QRadioButton", nullptr, "centralwidget", "1.4", nullptr, nullptr, Both},
    {"hdcp22", "QRadioButton", nullptr, "centralwidget", "2.2", nullptr, nullptr, Both},
    {"lblScale", "QLabel", nullptr, "centralwidget", "SCALING MODE:", "SCALING:", nullptr, Both},
    {"rbScaleDown", "QRadioButton", nullptr, "centralwidget", "DOWN", nullptr, nullptr, Both},
    {"rbScaleThru", "QRadioButton", nullptr, "centralwidget", "THRU", nullptr, nullptr, Both},
    {"rbScaleUp", "QRadioButton", nullptr, "centralwidget", "UP", nullptr, nullptr, Both},
    {"lblScaleLock", "QLabel", nullptr, "centralwidget", "Selection locked with slide switch",
     nullptr, nullptr, Both},
    {"frame_2", "QFrame", nullptr, "centralwidget", nullptr, nullptr, nullptr, Both},
    {"tabWidget", "QTabWidget", nullptr, "centralwidget", nullptr, nullptr, nullptr, Both},
    // status frame
    {"lblSpdIf", "QLabel", nullptr, "frame_2", "Source Name:", nullptr, nullptr, Both},
    {"lblMonitorName", "QLabel", nullptr, "frame_2", "Display Name:", nullptr, nullptr, Both},
    {"label_video_format", "QLabel", nullptr, "frame_2", "Input Format:", nullptr, nullptr, Both},
    {"lblPixelClock", "QLabel", nullptr, "frame_2", "Input Pixel Clock:", nullptr, nullptr, Both},
    {"lblHdcpIn", "QLabel", nullptr, "frame_2", "Input Encryption:", nullptr, nullptr, Both},
    {"lblCsc", "QLabel", nullptr, "frame_2", "Input Color Space:", nullptr, nullptr, Both},
    {"lblDcIn", "QLabel", nullptr, "frame_2", "Input Deep Color:", nullptr, nullptr, Both},
    {"lblHdrInput", "QLabel", nullptr, "frame_2", "HDR Input:", nullptr, nullptr, Both},
    {"line_7", "QFrame", nullptr, "frame_2", nullptr, nullptr, nullptr, Both},
    {"label_video_outformat", "QLabel", nullptr, "frame_2", "Output Format:", nullptr, nullptr,
     Both},
    {"lblSinkLimited", "QLabel", nullptr, "frame_2", "", nullptr, nullptr, Both},
    {"lblOutPixelClock", "QLabel", nullptr, "frame_2", "Output Pixel Clock:", nullptr, nullptr,
     Both},
    {"lblHdcpOut", "QLabel", nullptr, "frame_2", "Output Encryption:", nullptr, nullptr, Both},
    {"lblCscO", "QLabel", nullptr, "frame_2", "Output Color Space:", nullptr, nullptr, Both},
    {"lblDcOut", "QLabel", nullptr, "frame_2", "Output Deep Color:", nullptr, nullptr, Both},
    {"labelFw1", "QLabel", nullptr, "frame_2", "BRIMEL FW Ver:", nullptr, nullptr, Both},
    // EDID MANAGER
    {"automixEDID", "QRadioButton", nullptr, "tab", "SINK EDID: Use the connected display EDID",
     "SINK EDID: Use the display EDID", nullptr, Both},
    {"fixedEDID", "QRadioButton", nullptr, "tab", "FIXED EDID: Use the default EDID table",
     "FIXED EDID: Use the default EDID", nullptr, Both},
    {"customEDID", "QRadioButton", nullptr, "tab", "CUSTOM Select:", nullptr, nullptr, Both},
    {"cmBEdid", "QComboBox", nullptr, "tab", nullptr, nullptr, nullptr, Both},
    {"lblEdidLock", "QLabel", nullptr, "tab", "Selection locked with slide switch", nullptr,
     nullptr, Both},
    {"ButReadEDID", "QPushButton", nullptr, "tab", "Read EDID", nullptr, nullptr, Both},
    {"ButLoadEDID", "QPushButton", nullptr, "tab", "Load from File", nullptr, nullptr, Both},
    {"pbReadTvEdid", "QPushButton", nullptr, "tab", "Read TV EDID", nullptr, nullptr, Both},
    {"ButSaveEDID", "QPushButton", nullptr, "tab", "Save to File", nullptr, nullptr, Both},
    {"ButWriteEDID", "QPushButton", nullptr, "tab", "Upload EDID", nullptr, nullptr, Both},
    {"EDIDtext", "QTextEdit", nullptr, "tab", nullptr, nullptr, nullptr, Both},
    // HDR / AVI
    {"label_8", "QLabel", nullptr, "tab_2", "CUSTOM HDR INJECTION:", nullptr, nullptr, Both},
    {"HDRCustomText", "QTextEdit", nullptr, "tab_2", nullptr, nullptr, nullptr, Both},
    {"cbHdrDisable", "QCheckBox", nullptr, "tab_2", "Disable HDR", nullptr, nullptr, Both},
    {"cbHdrCRC", "QCheckBox", nullptr, "tab_2", "Autofill CRC", nullptr, nullptr, Both},
    {"cbHdrCustom", "QCheckBox", nullptr, "tab_2", "Enable Custom HDR", nullptr, nullptr, Both},
    {"ButWriteIF", "QPushButton", nullptr, "tab_2", "Send HDR", nullptr, nullptr, Both},
    {"label_9", "QLabel", nullptr, "tab_2", "CUSTOM AVI:", nullptr, nullptr, Both},
    {"AVICustomText", "QTextEdit", nullptr, "tab_2", nullptr, nullptr, nullptr, Both},
    {"cbAviDisable", "QCheckBox", nullptr, "tab_2", "Disable AVI", nullptr, nullptr, Both},
    {"cbAviCustom", "QCheckBox", nullptr, "tab_2", "Enable Custom AVI", "Enable AVI", nullptr,
     Both},
    {"ButWriteAVI", "QPushButton", nullptr, "tab_2", "Send AVI", nullptr, nullptr, Both},
    {"cbBt2020Follow", "QCheckBox", nullptr, "tab_2", "Follow Input", "Follow", nullptr, Both},
    {"cbBt2020On", "QCheckBox", nullptr, "tab_2", "Forced On", "On", nullptr, Both},
    {"cbBt2020Off", "QCheckBox", nullptr, "tab_2", "Forced Off", "Off", nullptr, Both},
    {"line_2", "QFrame", nullptr, "tab_2", nullptr, nullptr, nullptr, Both},
    {"label_15", "QLabel", nullptr, "tab_2", "CAPTURED HDR METADATA", nullptr, nullptr, Both},
    {"HDRtext", "QTextEdit", nullptr, "tab_2", nullptr, nullptr, nullptr, Both},
    {"label_18", "QLabel", nullptr, "tab_2", "CAPTURED AVI INFOFRAME", nullptr, nullptr, Both},
    {"AVItext", "QTextEdit", nullptr, "tab_2", nullptr, nullptr, nullptr, Both},
    // The captions "BT2020 OUT:" and "RESET BRIMEL:" swap their names in brimel-200.
    {"label_28", "QLabel", nullptr, "tab_2", "BT2020 OUT:", "RESET BRIMEL:", "tab_5", Both},
    {"label_29", "QLabel", nullptr, "tab_5", "RESET BRIMEL:", "BT2020 OUT:", "tab_2", Both},
    // INFOFRAMES
    {"label_11", "QLabel", nullptr, "tab_3", "SPD:", nullptr, nullptr, Both},
    {"SPDtext", "QTextEdit", nullptr, "tab_3", nullptr, nullptr, nullptr, Both},
    {"label_13", "QLabel", nullptr, "tab_3", "AUDIO:", nullptr, nullptr, Both},
    {"AUDtext", "QTextEdit", nullptr, "tab_3", nullptr, nullptr, nullptr, Both},
    {"label_14", "QLabel", nullptr, "tab_3", "HDMI VSIF:", nullptr, nullptr, Both},
    {"HDVSItext", "QTextEdit", nullptr, "tab_3", nullptr, nullptr, nullptr, Both},
    {"label_16", "QLabel", nullptr, "tab_3", "HDMI FORUM VSIF:", nullptr, nullptr, Both},
    {"HDMIVSItext", "QTextEdit", nullptr, "tab_3", nullptr, nullptr, nullptr, Both},
    // SCALER
    {"lblScale_16", "QLabel", nullptr, "tab_4", "BASIC SETUP:", nullptr, nullptr, Both},
    {"lblScale_14", "QLabel", nullptr, "tab_4", "Enable PRESETS to autoconvert 4k60 / 4k30 inputs",
     nullptr, nullptr, StdOnly},
    {"cbPreset4k60", "QCheckBox", nullptr, "tab_4", "4k60 PRESET:", nullptr, nullptr, Both},
    {"cmbPreset4k60", "QComboBox", nullptr, "tab_4", nullptr, nullptr, nullptr, Both},
    {"lblScale_15", "QLabel", nullptr, "tab_4",
     "All 4k60 video will be converted to the selected output",
     "Enable PRESETS to autoconvert 4k60 / 4k30 inputs:", nullptr, Both},
    {"cbPreset4k30", "QCheckBox", nullptr, "tab_4", "4k30 PRESET:", nullptr, nullptr, Both},
    {"cmbPreset4k30", "QComboBox", nullptr, "tab_4", nullptr, nullptr, nullptr, Both},
    {"lblScale_18", "QLabel", nullptr, "tab_4",
     "All 4k30 video will be converted to the selected output",
     "All 4k30 video will be converted to this output", nullptr, Both},
    {"lblScale_19", "QLabel", nullptr, "tab_4", "Examples:", nullptr, nullptr, Both},
    {"lblScale_30", "QLabel", nullptr, "tab_4", "Display supports MAX 4k60 420 (no HDR):", nullptr,
     nullptr, Both},
    {"lblScale_31", "QLabel", nullptr, "tab_4", "Enable 4k60 PRESET and select 4k60 420 8-bit",
     nullptr, nullptr, Both},
    {"lblScale_20", "QLabel", nullptr, "tab_4",
     "Display supports MAX 4k30 444 (no 420, no HDR):", nullptr, nullptr, Both},
    {"lblScale_29", "QLabel", nullptr, "tab_4", "Enable 4k60 PRESET and select 1080p output",
     "All 4k60 video will be converted to this output", nullptr, Both},
    {"lblScale_32", "QLabel", nullptr, "tab_4", "Enable 4k30 PRESET and select 4k30 444 8-bit",
     nullptr, nullptr, Both},
    {"line_3", "QFrame", nullptr, "tab_4", nullptr, nullptr, nullptr, Both},
    {"lblScale_17", "QLabel", nullptr, "tab_4", "ADVANCED SETUP:", nullptr, nullptr, Both},
    {"lblScale_12", "QLabel", nullptr, "tab_4", "UP+THRU settings for Color Space and Deep Color:",
     "UP+THRU video settings for CS and DC:", nullptr, Both},
    {"lblScale_2", "QLabel", nullptr, "tab_4", "COLOR SPACE:", nullptr, nullptr, Both},
    {"cmbCscOut", "QComboBox", nullptr, "tab_4", nullptr, nullptr, nullptr, Both},
    {"lblScale_3", "QLabel", nullptr, "tab_4", "DEEP COLOR:", nullptr, nullptr, Both},
    {"cmbDeepColor", "QComboBox", nullptr, "tab_4", nullptr, nullptr, nullptr, Both},
    {"line_6", "QFrame", nullptr, "tab_4", nullptr, nullptr, nullptr, StdOnly},
    {"lblScale_13", "QLabel", nullptr, "tab_4",
     "DOWNSCALE settings for Color Space and Deep Color:",
     "DOWNSCALE video settings for CS and DC:", nullptr, Both},
    {"lblScale_5", "QLabel", nullptr, "tab_4", "COLOR SPACE:", nullptr, nullptr, Both},
    {"cmbDownCscOut", "QComboBox", nullptr, "tab_4", nullptr, nullptr, nullptr, Both},
    {"lblScale_4", "QLabel", nullptr, "tab_4", "DEEP COLOR:", nullptr, nullptr, Both},
    {"cmbDsDeepColor", "QComboBox", nullptr, "tab_4", nullptr, nullptr, nullptr, Both},
    {"line_8", "QFrame", nullptr, "tab_4", nullptr, nullptr, nullptr, Both},
    {"cbIgnoreEdid", "QCheckBox", nullptr, "tab_4", "IGNORE EDID LIMITS", nullptr, nullptr, Both},
    {"lblScale_33", "QLabel", nullptr, "tab_4", "Often EDIDs show limited capabilities vs. actual",
     nullptr, nullptr, Both},
    {"lblScale_34", "QLabel", nullptr, "tab_4", "capabilities. Enabling this ignores the limits.",
     nullptr, nullptr, Both},
    // In brimel-200 lblScale_35 is a SCALER note and the "+" is lblScale_36.
    {"lblScale_35", "QLabel", nullptr, "widget", "+", "Enable 4k60 PRESET and select 1080p output",
     "tab_4", Both},
    {"lblScale_36", "QLabel", nullptr, "widget", "+", nullptr, nullptr, B200Only},
    {"line_9", "QFrame", nullptr, "tab_5", nullptr, nullptr, "tab_4", Both},
    // 3x3 MATRIX
    {"cb3x3En", "QCheckBox", nullptr, "widget", "Enable 3x3 Matrix", nullptr, nullptr, Both},
    {"line_4", "QFrame", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"lblScale_21", "QLabel", nullptr, "verticalLayoutWidget", "R", nullptr, nullptr, Both},
    {"lblScale_22", "QLabel", nullptr, "verticalLayoutWidget", "G", nullptr, nullptr, Both},
    {"lblScale_25", "QLabel", nullptr, "verticalLayoutWidget", "B", nullptr, nullptr, Both},
    {"lblScale_23", "QLabel", nullptr, "widget", "=", nullptr, nullptr, Both},
    {"sbA0", "QSpinBox", "QDoubleSpinBox", "widget", nullptr, nullptr, nullptr, Both},
    {"sbB0", "QSpinBox", "QDoubleSpinBox", "widget", nullptr, nullptr, nullptr, Both},
    {"sbC0", "QSpinBox", "QDoubleSpinBox", "widget", nullptr, nullptr, nullptr, Both},
    {"sbA1", "QDoubleSpinBox", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"sbA2", "QDoubleSpinBox", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"sbA3", "QDoubleSpinBox", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"sbB1", "QDoubleSpinBox", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"sbB2", "QDoubleSpinBox", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"sbB3", "QDoubleSpinBox", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"sbC1", "QDoubleSpinBox", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"sbC2", "QDoubleSpinBox", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"sbC3", "QDoubleSpinBox", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"lblScale_26", "QLabel", nullptr, "verticalLayoutWidget_2", "Y", nullptr, nullptr, Both},
    {"lblScale_27", "QLabel", nullptr, "verticalLayoutWidget_2", "Cb", nullptr, nullptr, Both},
    {"lblScale_28", "QLabel", nullptr, "verticalLayoutWidget_2", "Cr", nullptr, nullptr, Both},
    {"lblScale_24", "QLabel", nullptr, "widget", "Example is YCbCr709->RGB", nullptr, nullptr,
     Both},
    {"line_5", "QFrame", nullptr, "widget", nullptr, nullptr, nullptr, Both},
    {"label_21", "QLabel", nullptr, "widget", "3x3 matrix is only for advanced users", nullptr,
     nullptr, Both},
    {"label_20", "QLabel", nullptr, "widget",
     "Target Output Color Space is RGB, input must be YCbCr", nullptr, nullptr, Both},
    {"label_23", "QLabel", nullptr, "widget", "Coefficients are 16bits", nullptr, nullptr, Both},
    {"label_22", "QLabel", nullptr, "widget", "AVI is modified for RGB", nullptr, nullptr, Both},
    {"ButRead3x_2", "QPushButton", nullptr, "widget", "Reset to\n709->RGB", nullptr, nullptr, Both},
    {"ButRead3x", "QPushButton", nullptr, "widget", "Read", nullptr, nullptr, Both},
    {"ButWrite3x", "QPushButton", nullptr, "widget", "Write", nullptr, nullptr, Both},
    // CONFIG
    {"label_27", "QLabel", nullptr, "tab_5", "LED:", nullptr, nullptr, Both},
    {"enableLed", "QRadioButton", nullptr, "tab_5", "ENABLE", nullptr, nullptr, Both},
    {"disableLed", "QRadioButton", nullptr, "tab_5", "DISABLE", nullptr, nullptr, Both},
    {"line_11", "QFrame", nullptr, "tab_5", nullptr, nullptr, nullptr, StdOnly},
    {"line_10", "QFrame", nullptr, "tab_5", nullptr, nullptr, nullptr, B200Only},
    {"line_12", "QFrame", nullptr, "tab_5", nullptr, nullptr, nullptr, B200Only},
    {"label_30", "QLabel", nullptr, "tab_5", "HTPC MODE", nullptr, nullptr, Both},
    {"rbHtpcOn", "QRadioButton", nullptr, "tab_5", "ENABLE", nullptr, nullptr, Both},
    {"rbHtpcOff", "QRadioButton", nullptr, "tab_5", "DISABLE", nullptr, nullptr, Both},
    {"ButWriteIF_2", "QPushButton", nullptr, "tab_5", "SEND", "OK", nullptr, Both},
    {"label_24", "QLabel", nullptr, "tab_5", "RESET TO FACTORY DEFAULTS:", nullptr, nullptr, Both},
    {"cbClearSettings", "QCheckBox", nullptr, "tab_5", "CLEAR ALL SETTINGS TO FACTORY DEFAULTS",
     "CLEAR ALL TO FACTORY DEFAULTS", nullptr, Both},
    {"cbClearEdid", "QCheckBox", nullptr, "tab_5", "EDID FACTORY SETTINGS", nullptr, nullptr, Both},
    {"label_17", "QLabel", nullptr, "horizontalLayoutWidget_2",
     "Type RESET and click OK:", "Type RESET:", "tab_5", Both},
    {"leReset", "QLineEdit", nullptr, "horizontalLayoutWidget_2", "", nullptr, "tab_5", Both},
    {"pbReset", "QPushButton", nullptr, "horizontalLayoutWidget_2", "OK", nullptr, "tab_5", Both},
};

// Helper widgets that hold the box layouts; the only named widgets not in the table above.
inline const char *const kLayoutHolders[] = {"verticalLayoutWidget", "verticalLayoutWidget_2",
                                             "horizontalLayoutWidget_2"};

// Tabs in order: page object, tab text, brimel-200 tab text.
struct TabRow {
    const char *page;
    const char *text;
    const char *text200;
};
inline const TabRow kTabs[] = {
    {"tab", "EDID MANAGER", "EDID MANAGER"}, {"tab_2", "HDR / AVI", "HDR/AVI"},
    {"tab_3", "INFOFRAMES", "INFOFRAMES"},   {"tab_4", "SCALER", "SCALER"},
    {"widget", "3x3 MATRIX", "3x3"},         {"tab_5", "CONFIG", "CONFIG"},
};

// Fonts set by the form. Size 0: the window's font size. Family nullptr: the window's.
struct FontRow {
    const char *name;
    int size;
    bool bold;
    const char *family;
    int size200;
    bool bold200;
    const char *family200;
};
inline const FontRow kFonts[] = {
    // 10 pt above the tabs (6 pt for the captions in brimel-200, 5 pt for the buttons)
    {"label_6", 10, false, nullptr, 6, false, nullptr},
    {"label_10", 10, false, nullptr, 6, false, nullptr},
    {"label_12", 10, false, nullptr, 6, false, nullptr},
    {"lblScale", 10, false, nullptr, 6, false, nullptr},
    {"rbInA", 10, false, nullptr, 0, false, nullptr},
    {"rbInB", 10, false, nullptr, 0, false, nullptr},
    {"autoSwEn", 10, false, nullptr, 0, false, nullptr},
    {"autoSwDis", 10, false, nullptr, 0, false, nullptr},
    {"hdcp14", 10, false, nullptr, 0, false, nullptr},
    {"hdcp22", 10, false, nullptr, 0, false, nullptr},
    {"rbScaleDown", 10, false, nullptr, 0, false, nullptr},
    {"rbScaleThru", 10, false, nullptr, 0, false, nullptr},
    {"rbScaleUp", 10, false, nullptr, 0, false, nullptr},
    // tab captions
    {"label_8", 10, false, nullptr, 6, false, nullptr},
    {"label_9", 10, false, nullptr, 6, false, nullptr},
    {"label_11", 10, false, nullptr, 6, false, nullptr},
    {"label_13", 10, false, nullptr, 6, false, nullptr},
    {"label_14", 10, false, nullptr, 6, false, nullptr},
    {"label_15", 10, false, nullptr, 6, false, nullptr},
    {"label_16", 10, false, nullptr, 6, false, nullptr},
    {"label_18", 10, false, nullptr, 6, false, nullptr},
    {"label_27", 10, false, nullptr, 0, false, nullptr},
    {"label_28", 10, false, nullptr, 0, false, nullptr},
    {"label_29", 10, false, nullptr, 0, false, nullptr},
    {"label_30", 10, false, nullptr, 0, false, nullptr},
    {"lblScale_2", 10, false, nullptr, 0, false, nullptr},
    {"lblScale_3", 10, false, nullptr, 0, false, nullptr},
    {"lblScale_4", 10, false, nullptr, 0, false, nullptr},
    {"lblScale_5", 10, false, nullptr, 0, false, nullptr},
    {"cbPreset4k30", 10, false, nullptr, 0, false, nullptr},
    {"cbPreset4k60", 10, false, nullptr, 0, false, nullptr},
    {"cbIgnoreEdid", 10, false, nullptr, 0, false, nullptr},
    {"cb3x3En", 10, false, nullptr, 0, false, nullptr},
    {"label_20", 10, false, nullptr, 0, false, nullptr},
    {"label_21", 10, false, nullptr, 0, false, nullptr},
    {"label_22", 10, false, nullptr, 0, false, nullptr},
    {"label_23", 10, false, nullptr, 0, false, nullptr},
    {"enableLed", 10, false, nullptr, 0, false, nullptr},
    {"disableLed", 10, false, nullptr, 0, false, nullptr},
    {"rbHtpcOn", 10, false, nullptr, 0, false, nullptr},
    {"rbHtpcOff", 10, false, nullptr, 0, false, nullptr},
    // 8 pt notes
    {"bPrioNorm", 8, false, nullptr, 0, false, nullptr},
    {"pPrioForce", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_12", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_13", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_14", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_15", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_18", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_19", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_20", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_29", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_30", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_31", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_32", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_33", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_34", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_24", 8, false, nullptr, 0, false, nullptr},
    {"lblScale_16", 8, true, nullptr, 6, true, nullptr},
    {"lblScale_17", 8, true, nullptr, 6, true, nullptr},
    {"label_3", 12, false, nullptr, 6, false, nullptr},
    {"label_24", 12, false, nullptr, 6, true, nullptr},
    {"labelTitle_2", 12, true, nullptr, 12, true, nullptr},
    {"lblSpdIf", 0, false, nullptr, 6, false, nullptr},
    {"lblMonitorName", 0, false, nullptr, 6, false, nullptr},
    // the bold matrix symbols; the "+" is lblScale_35 in one build and lblScale_36 in the other
    {"lblScale_21", 16, true, nullptr, 8, true, nullptr},
    {"lblScale_22", 16, true, nullptr, 8, true, nullptr},
    {"lblScale_25", 16, true, nullptr, 8, true, nullptr},
    {"lblScale_26", 16, true, nullptr, 8, true, nullptr},
    {"lblScale_27", 16, true, nullptr, 8, true, nullptr},
    {"lblScale_28", 16, true, nullptr, 8, true, nullptr},
    {"lblScale_23", 16, true, nullptr, 8, true, nullptr},
    {"lblScale_35", 16, true, nullptr, 0, false, nullptr},
    {"lblScale_36", 0, false, nullptr, 8, true, nullptr},
    // the infoframe boxes and the EDID text
    {"HDRCustomText", 10, true, "Times New Roman", 5, true, "Times New Roman"},
    {"AVICustomText", 10, true, "Times New Roman", 5, true, "Times New Roman"},
    {"HDRtext", 10, true, "Times New Roman", 5, true, "Times New Roman"},
    {"AVItext", 10, true, "Times New Roman", 5, true, "Times New Roman"},
    {"SPDtext", 10, true, "Times New Roman", 5, true, "Times New Roman"},
    {"AUDtext", 10, true, "Times New Roman", 5, true, "Times New Roman"},
    {"HDVSItext", 10, true, "Times New Roman", 5, true, "Times New Roman"},
    {"HDMIVSItext", 10, true, "Times New Roman", 5, true, "Times New Roman"},
    {"EDIDtext", 0, false, "Courier New", 6, false, "Courier New"},
};

// Horizontal alignment of the captions whose alignment the form fixes.
struct AlignRow {
    const char *name;
    Qt::Alignment align;
    Qt::Alignment align200;
};
inline const AlignRow kAlignments[] = {
    {"label_3", Qt::AlignRight, Qt::AlignRight},    {"label_10", Qt::AlignRight, Qt::AlignRight},
    {"label_12", Qt::AlignRight, Qt::AlignRight},   {"label_6", Qt::AlignRight, Qt::AlignRight},
    {"lblScale", Qt::AlignRight, Qt::AlignRight},   {"label_28", Qt::AlignLeft, Qt::AlignLeft},
    {"label_29", Qt::AlignRight, Qt::AlignLeft},    {"label_27", Qt::AlignRight, Qt::AlignLeft},
    {"lblScale_13", Qt::AlignRight, Qt::AlignLeft},
};

struct GroupRow {
    const char *group;
    const char *members[3];
};
inline const GroupRow kGroups[] = {
    {"buttonGroup", {"rbInA", "rbInB", nullptr}},
    {"buttonGroup_2", {"autoSwEn", "autoSwDis", nullptr}},
    {"buttonGroup_3", {"rbScaleDown", "rbScaleUp", "rbScaleThru"}},
    {"buttonGroup_4", {"hdcp22", "hdcp14", nullptr}},
    {"buttonGroup_5", {"bPrioNorm", "pPrioForce", nullptr}},
    {"buttonGroup_6", {"automixEDID", "fixedEDID", "customEDID"}},
    {"buttonGroup_7", {"cbBt2020On", "cbBt2020Off", "cbBt2020Follow"}},
    {"buttonGroup_8", {"rbHtpcOn", "rbHtpcOff", nullptr}},
};

// Checked in the form; every other checkable button starts unchecked.
inline const char *const kInitiallyChecked[] = {"rbInA",  "autoSwEn",    "bPrioNorm",
                                                "hdcp14", "rbScaleThru", "automixEDID"};

struct ConnectionRow {
    const char *sender;
    const char *signal;  // normalised signature
    const char *slot;
    In in;
};
inline const ConnectionRow kConnections[] = {
    {"actionExit", "triggered()", "FileExit()", Both},
    {"actionAbout", "triggered()", "FileAbout()", Both},
    {"rbInA", "clicked()", "SetActivePort()", Both},
    {"rbInB", "clicked()", "SetActivePort()", Both},
    {"autoSwEn", "clicked()", "SetAutoSwitch()", Both},
    {"autoSwDis", "clicked()", "SetAutoSwitch()", Both},
    {"bPrioNorm", "clicked()", "setSwPriority()", Both},
    {"pPrioForce", "clicked()", "setSwPriority()", Both},
    {"hdcp14", "clicked()", "SetHDCP_Version()", Both},
    {"hdcp22", "clicked()", "SetHDCP_Version()", Both},
    {"rbScaleDown", "released()", "setScaling()", Both},
    {"rbScaleThru", "released()", "setScaling()", Both},
    {"rbScaleUp", "released()", "setScaling()", Both},
    {"automixEDID", "released()", "SetEDID_Mode()", Both},
    {"fixedEDID", "released()", "SetEDID_Mode()", Both},
    {"customEDID", "released()", "SetEDID_Mode()", Both},
    {"cmBEdid", "currentIndexChanged(int)", "changeCustomEdid()", Both},
    {"ButReadEDID", "released()", "ReadEDID()", Both},
    {"pbReadTvEdid", "released()", "ReadTvEDID()", Both},
    {"ButWriteEDID", "pressed()", "WriteEDID()", Both},
    {"ButLoadEDID", "released()", "LoadEDIDfromFile()", Both},
    {"ButSaveEDID", "released()", "SaveEDIDtoFile()", Both},
    {"ButWriteIF", "released()", "WriteIF()", Both},
    {"ButWriteAVI", "released()", "sendAVI()", Both},
    {"cbHdrCustom", "stateChanged(int)", "hdrForceActivate()", Both},
    {"cbAviCustom", "stateChanged(int)", "setAviCustom()", Both},
    {"cbHdrCRC", "clicked()", "setAutoFillCrc()", StdOnly},
    {"cbHdrDisable", "clicked()", "setHdrDisable()", Both},
    {"cbAviDisable", "clicked()", "setAviDisable()", Both},
    {"cbBt2020Follow", "clicked()", "setBt2020Force()", Both},
    {"cbBt2020On", "clicked()", "setBt2020Force()", Both},
    {"cbBt2020Off", "clicked()", "setBt2020Force()", Both},
    {"cmbCscOut", "currentIndexChanged(int)", "setCsc()", Both},
    {"cmbDeepColor", "currentIndexChanged(int)", "setDeepColor()", Both},
    {"cmbDownCscOut", "currentIndexChanged(int)", "setDownCsc()", Both},
    {"cmbDsDeepColor", "currentIndexChanged(int)", "setDsDeepColor()", Both},
    {"cbPreset4k60", "clicked()", "setPreset4k60()", Both},
    {"cbPreset4k30", "clicked()", "setPreset4k30()", Both},
    {"cmbPreset4k60", "currentIndexChanged(int)", "setPreset4k60Mode()", Both},
    {"cmbPreset4k30", "currentIndexChanged(int)", "setPreset4k30Mode()", Both},
    {"cbIgnoreEdid", "clicked()", "setIgnoreEdid()", Both},
    {"cb3x3En", "stateChanged(int)", "set3xEn()", Both},
    {"ButWrite3x", "clicked()", "set3x()", Both},
    {"ButRead3x", "clicked()", "read3x()", Both},
    {"ButRead3x_2", "clicked()", "reset3x3()", Both},
    {"enableLed", "clicked()", "setLogoLed()", Both},
    {"disableLed", "clicked()", "setLogoLed()", Both},
    {"rbHtpcOn", "clicked()", "setHtpc()", Both},
    {"rbHtpcOff", "clicked()", "setHtpc()", Both},
    {"ButWriteIF_2", "clicked()", "resetBrimel()", Both},
    {"pbReset", "clicked()", "factoryReset()", Both},
};

// The window's slots in declaration order: their meta-object slot index is their position.
inline const char *const kSlots[] = {
    "on_ProgressChange(int,int)",
    "SaveEDIDtoFile()",
    "LoadEDIDfromFile()",
    "FileExit()",
    "FileAbout()",
    "ReadEDID()",
    "ReadTvEDID()",
    "WriteEDID()",
    "WriteIF()",
    "CalculateChkSum()",
    "SetActivePort()",
    "SetAutoSwitch()",
    "SetHDCP_Version()",
    "SetEDID_Mode()",
    "SetEPState()",
    "setScaling()",
    "setCsc()",
    "set3x()",
    "set3xEn()",
    "read3x()",
    "reset3x3()",
    "setDownCsc()",
    "setDeepColor()",
    "setDsDeepColor()",
    "setPreset4k30()",
    "setPreset4k60()",
    "setPreset4k30Mode()",
    "setPreset4k60Mode()",
    "setIgnoreEdid()",
    "setHtpc()",
    "setPreset300()",
    "setAviCustom()",
    "setSwPriority()",
    "changeCustomEdid()",
    "sendAVI()",
    "hdrForceActivate()",
    "setLogoLed()",
    "setBt2020Force()",
    "setAviDisable()",
    "setHdrDisable()",
    "setAutoFillCrc()",
    "resetBrimel()",
    "factoryReset()",
};

inline const char *const kFocusOrder[] = {
    "autoSwEn",    "hdcp22",       "tabWidget",   "autoSwDis",   "bPrioNorm",    "pPrioForce",
    "hdcp14",      "cmBEdid",      "EDIDtext",    "automixEDID", "fixedEDID",    "customEDID",
    "ButReadEDID", "pbReadTvEdid", "ButLoadEDID", "ButSaveEDID", "ButWriteEDID", "ButWriteIF",
    "AVItext",     "ButWriteAVI",  "cbHdrCustom",
};

inline const char *const kInfoframeBoxes[] = {"HDRCustomText", "AVICustomText", "HDRtext",
                                              "AVItext",       "SPDtext",       "AUDtext",
                                              "HDVSItext",     "HDMIVSItext"};

// Items that start-up puts in the combo boxes (for the legibility check).
struct ComboItems {
    const char *combo;
    QStringList items;
};
inline QList<ComboItems> startupItems() {
    const QStringList depth{"8-bit / 24-bit", "10-bit / 30-bit", "12-bit / 36-bit",
                            "16-bit / 48-bit", "Follow Input"};
    QStringList edids;
    const char *const names[] = {"Custom Uploaded/Default EDID",
                                 "4k60-444 600MHz HDR BT.2020 All Sound",
                                 "4k60-444 600MHz HDR BT.2020 Stereo",
                                 "4k60-444 600MHz All Sound",
                                 "4k60-444 600MHz Stereo",
                                 "4k50-444 600MHz HDR BT.2020 All Sound",
                                 "4k50-444 600MHz HDR BT.2020 Stereo",
                                 "4k60-420 12-bit HDR BT.2020 All Sound",
                                 "4k60-420 12-bit HDR BT.2020 Stereo",
                                 "4k60-420 12-bit BT.2020 All Sound",
                                 "4k60-420 12-bit BT.2020 Stereo",
                                 "4k60-420 8-bit 300MHz All Sound",
                                 "4k60-420 8-bit 300MHz Stereo",
                                 "4k30-444 300MHz All Sound",
                                 "4k30-444 300MHz Stereo",
                                 "4k30-RGB 300MHz All Sound",
                                 "4k30-RGB 300MHz Stereo",
                                 "4k24-422 12-bit BT.2020 All Sound",
                                 "4k24-422 12-bit BT.2020 Stereo",
                                 "1080p-444 148MHz All Sound",
                                 "1080p-444 148MHz HDR Stereo",
                                 "1080p24-444 All Sound",
                                 "1080p24-444 Stereo",
                                 "1080I-444 All Sound",
                                 "1080I-444 Stereo"};
    for (int i = 0; i < 25; ++i) edids << QStringLiteral("%1 - %2").arg(i + 1).arg(names[i]);
    return {
        {"cmbCscOut",
         {"RGB 0-255", "RGB 16-235", "YCbCr 4:4:4 BT.709/2020", "YCbCr 4:2:2 BT.709/2020",
          "YCbCr 4:2:0 BT.709/2020", "xvYCC 4:4:4 BT.709", "Follow Input"}},
        {"cmbDownCscOut", {"RGB 0-255", "YCbCr 4:4:4 BT.709/2020"}},
        {"cmbDeepColor", depth},
        {"cmbDsDeepColor", depth},
        {"cmbPreset4k30",
         {"4k30 444 8-bit 300MHz", "4k30 420 8/10/12-bit", "1080p30 444 8/10/12-bit",
          "4k30 422 12-bit 300MHz"}},
        {"cmbPreset4k60", {"4k60 420 8-bit 300MHz", "1080p60 444 8/10/12-bit"}},
        {"cmBEdid", edids},
    };
}

// The longest texts the status display writes into the status frame.
struct LongText {
    const char *label;
    const char *text;
};
inline const LongText kLongStatusTexts[] = {
    {"lblWarning", "NO BRIMEL CONNECTED. CONNECT USB AND RESTART"},
    {"lblSpdIf", "Source Name: ABCDEFGH 0123456789ABCDEF"},
    {"lblMonitorName", "Display Name: WWWWWWWWWWWWW"},
    {"label_video_format", "Input : 1920x1080p24 Side-by-side 3D,"},
    {"lblPixelClock", "Input Pixel Clock: 16777215"},
    {"lblHdcpIn", "Input Encryption:  HDCP 2.2"},
    {"lblCsc", "In Color Space: YCbCr 4:2:0 Extended ITU-R BT.2020 YcCbcCrc"},
    {"lblDcIn", "Input Deep Color: up to 12-bit"},
    {"lblHdrInput", "HDR input:  HDR Luminance Range"},
    {"label_video_outformat", "Output : 2880x480i60w [downscaled]"},
    {"lblSinkLimited", "[Sink EDID limited]"},
    {"lblOutPixelClock",
     "<font color='red'>Output Pixel Clock: 33554430 [over HDMI2.0 limit]</font>"},
    {"lblHdcpOut", "Output Encryption:  HDCP 2.2"},
    {"lblCscO", "Out Color Space: YCbCr 4:2:0 Extended ITU-R BT.2020 YcCbcCrc"},
    {"lblDcOut", "Output Deep Color: up to 12-bit"},
    {"labelFw1", "BRIMEL FW Ver: 255.255"},
    {"lblScaleLock", "Selection locked with slide switch"},
    {"lblEdidLock", "Selection locked with slide switch"},
};

// QObject::receivers() is protected; a member pointer taken through a derived class
// reaches it without pretending an object is of another type.
struct ReceiverCount : QObject {
    static int of(const QObject *sender, const char *normalisedSignal) {
        int (QObject::*count)(const char *) const = &ReceiverCount::receivers;
        const QByteArray code = QByteArray("2") + normalisedSignal;  // as SIGNAL() writes it
        return (sender->*count)(code.constData());
    }
};

inline bool applies(In in, FormVariant v) {
    return in == Both || (in == StdOnly) == (v == FormVariant::Standard);
}

inline QString text(const ObjectRow &r, FormVariant v) {
    return QString::fromUtf8(v == FormVariant::B200 && r.text200 ? r.text200 : r.text);
}

// The text a control shows, whatever its kind.
inline QString shownText(QObject *o) {
    if (auto *l = qobject_cast<QLabel *>(o)) return l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(o)) return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(o)) return e->text();
    return o->property("text").toString();
}

// Named widgets of the form proper: the central widget's tree without the toolkit's own
// inner parts (spin box editors, scroll bars, tab bar buttons).
inline QList<QWidget *> formWidgets(QMainWindow &w) {
    QList<QWidget *> out;
    QWidget *central = w.centralWidget();
    const auto all = central->findChildren<QWidget *>();
    for (QWidget *x : all) {
        const auto named = [](const QWidget *v) {
            return !v->objectName().isEmpty() && !v->objectName().startsWith(QLatin1String("qt_"));
        };
        bool own = named(x);
        for (QWidget *p = x->parentWidget(); own && p != central; p = p->parentWidget()) {
            if (p->objectName() == QLatin1String("qt_tabwidget_stackedwidget")) continue;
            own = named(p) && !qobject_cast<QAbstractSpinBox *>(p) &&
                  !qobject_cast<QComboBox *>(p) && !qobject_cast<QTextEdit *>(p);
        }
        if (own && !qobject_cast<QTabBar *>(x)) out << x;
    }
    return out;
}

// What does not fit: a text wider or taller than its control, a control outside its parent,
// two neighbours on top of each other. Only the widgets of the current tab are looked at
// (with everything outside the tabs).
inline QStringList layoutProblems(QMainWindow &w) {
    QStringList problems;
    auto *tabs = w.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    const QList<QWidget *> widgets = formWidgets(w);
    for (QWidget *x : widgets) {
        if (!x->isVisible()) continue;
        const QString name = x->objectName();
        QSize need;
        if (auto *l = qobject_cast<QLabel *>(x)) {
            need = l->wordWrap() ? QSize(0, l->heightForWidth(l->width())) : l->sizeHint();
        } else if (auto *b = qobject_cast<QPushButton *>(x)) {
            const QSize t = b->fontMetrics().size(0, b->text());
            need = QSize(t.width() + 8, t.height() + 4);
        } else if (qobject_cast<QAbstractButton *>(x) || qobject_cast<QComboBox *>(x) ||
                   qobject_cast<QAbstractSpinBox *>(x)) {
            need = x->sizeHint();
        } else if (auto *t = qobject_cast<QTextEdit *>(x)) {
            // Every line of the content must show without scrolling.
            t->document()->setTextWidth(t->viewport()->width());
            const int docHeight = qCeil(t->document()->size().height());
            if (t->toPlainText().size() > 0 && docHeight > t->viewport()->height())
                problems << QStringLiteral("%1: text needs %2 px, shows %3")
                                .arg(name)
                                .arg(docHeight)
                                .arg(t->viewport()->height());
        }
        if (need.isValid() && (need.width() > x->width() || need.height() > x->height()))
            problems << QStringLiteral("%1: needs %2x%3, has %4x%5")
                            .arg(name)
                            .arg(need.width())
                            .arg(need.height())
                            .arg(x->width())
                            .arg(x->height());
        QWidget *parent = x->parentWidget();
        if (parent == tabs) continue;
        if (!parent->rect().contains(x->geometry()))
            problems << QStringLiteral("%1: outside %2").arg(name, parent->objectName());
        for (QWidget *y : widgets) {
            if (y <= x || y->parentWidget() != parent || !y->isVisible()) continue;
            if (x->geometry().intersects(y->geometry()))
                problems << QStringLiteral("%1 overlaps %2").arg(name, y->objectName());
        }
    }
    return problems;
}

}  // namespace formchecks

class FormChecks : public QObject {
    Q_OBJECT

public:
    explicit FormChecks(FormVariant variant) : variant_(variant) {}

private:
    FormVariant variant_;
    std::unique_ptr<GuiRig> rig_;

    bool b200() const { return variant_ == FormVariant::B200; }

    // The window as the form leaves it: the device is found but cannot be opened, so
    // start-up changes no control.
    MainWindow &formWindow() {
        rig_ = std::make_unique<GuiRig>();
        rig_->usb.faults.openFails = true;
        MainWindow &w = rig_->start();
        // The two start-up boxes are the start-up test's business.
        rig_->dialogs.shown.clear();
        return w;
    }

    template <class T>
    T *get(MainWindow &w, const char *name) {
        T *x = w.findChild<T *>(QString::fromLatin1(name));
        if (!x) qFatal("no %s named %s", T::staticMetaObject.className(), name);
        return x;
    }

private slots:
    void init() { rig_.reset(); }
    void cleanup() { rig_.reset(); }

    void windowSizeTitleIconAndMenus() {
        MainWindow &w = formWindow();
        QCOMPARE(w.size(), b200() ? QSize(660, 686) : QSize(641, 624));
        QCOMPARE(w.maximumSize(), QSize(1000, 1000));
        QCOMPARE(w.sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
        QCOMPARE(w.sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
        QCOMPARE(w.windowTitle(), QStringLiteral("BRIMEL UTILITY"));
        if (b200()) QCOMPARE(w.font().pointSize(), 5);
        QCOMPARE(w.centralWidget()->objectName(), QStringLiteral("centralwidget"));
        QCOMPARE(w.menuBar()->objectName(), QStringLiteral("menubar"));
        QCOMPARE(w.statusBar()->objectName(), QStringLiteral("statusbar"));
        QVERIFY(w.statusBar()->currentMessage().isEmpty());

        const QImage icon(QStringLiteral(":/brimel48cg.png"));
        QVERIFY(!icon.isNull());
        // Compared premultiplied, the form a pixmap keeps its pixels in.
        QCOMPARE(w.windowIcon()
                     .pixmap(icon.size())
                     .toImage()
                     .convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 icon.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        for (const char *image :
             {":/brimel48c.png", ":/brimel48c.ico", ":/logo_brimel32.png", ":/logo_brimel128.png"})
            QVERIFY2(!QImage(QString::fromLatin1(image)).isNull(), image);
        auto *logo = get<QLabel>(w, "labelTitle_2");
        QCOMPARE(logo->textFormat(), Qt::RichText);
        QVERIFY(logo->text().contains(QLatin1String("<img src=\":/logo_brimel128.png\"")));

        // The form's two menus, and the Tools menu the program adds between them.
        const auto menus = w.menuBar()->actions();
        QCOMPARE(menus.size(), 3);
        QCOMPARE(menus[0]->menu()->objectName(), QStringLiteral("menuFile"));
        QCOMPARE(menus[0]->text(), QStringLiteral("File"));
        QCOMPARE(menus[1]->menu()->objectName(), QStringLiteral("menuTools"));
        QCOMPARE(menus[1]->text(), QStringLiteral("Tools"));
        QCOMPARE(menus[2]->menu()->objectName(), QStringLiteral("menuHelp"));
        QCOMPARE(menus[2]->text(), QStringLiteral("Help"));
        const auto file = menus[0]->menu()->actions();
        QCOMPARE(file.size(), 1);
        QCOMPARE(file[0]->objectName(), QStringLiteral("actionExit"));
        QCOMPARE(file[0]->text(), QStringLiteral("Exit"));
        const auto tools = menus[1]->menu()->actions();
        QCOMPARE(tools.size(), 1);
        QCOMPARE(tools[0]->objectName(), QStringLiteral("actionEdidDetails"));
        QCOMPARE(tools[0]->text(), QStringLiteral("EDID details\u2026"));
        const auto help = menus[2]->menu()->actions();
        QCOMPARE(help.size(), 1);
        QCOMPARE(help[0]->objectName(), QStringLiteral("actionAbout"));
        QCOMPARE(help[0]->text(), QStringLiteral("About"));
    }

    void objectsKindsPlacesAndTexts() {
        using namespace formchecks;
        MainWindow &w = formWindow();
        QStringList problems;
        QSet<QString> expected;
        for (const ObjectRow &r : kObjects) {
            const QString name = QString::fromLatin1(r.name);
            QObject *o = w.findChild<QObject *>(name);
            if (!applies(r.in, variant_)) {
                if (o) problems << name + QStringLiteral(": should not exist in this build");
                continue;
            }
            expected << name;
            if (!o) {
                problems << name + QStringLiteral(": missing");
                continue;
            }
            const char *kind = b200() && r.kind200 ? r.kind200 : r.kind;
            if (qstrcmp(o->metaObject()->className(), kind) != 0)
                problems << QStringLiteral("%1: is %2, not %3")
                                .arg(name, QLatin1String(o->metaObject()->className()),
                                     QLatin1String(kind));
            const char *parent = b200() && r.parent200 ? r.parent200 : r.parent;
            const QString parentName = o->parent() ? o->parent()->objectName() : QString();
            if (parentName != QLatin1String(parent))
                problems << QStringLiteral("%1: on %2, not on %3")
                                .arg(name, parentName, QLatin1String(parent));
            if (r.text && shownText(o) != text(r, variant_))
                problems << QStringLiteral("%1: text \"%2\", not \"%3\"")
                                .arg(name, shownText(o), text(r, variant_));
        }
        // Nothing else carries a name on the form, apart from the layout holders.
        for (const char *holder : kLayoutHolders) expected << QString::fromLatin1(holder);
        for (const TabRow &t : kTabs) expected << QString::fromLatin1(t.page);
        for (QWidget *x : formWidgets(w))
            if (!expected.contains(x->objectName()))
                problems << x->objectName() + QStringLiteral(": not part of the form");
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void tabsInOrderFirstCurrent() {
        MainWindow &w = formWindow();
        auto *tabs = get<QTabWidget>(w, "tabWidget");
        QCOMPARE(tabs->count(), 6);
        QCOMPARE(tabs->currentIndex(), 0);
        int i = 0;
        for (const formchecks::TabRow &t : formchecks::kTabs) {
            QCOMPARE(tabs->widget(i)->objectName(), QString::fromLatin1(t.page));
            QCOMPARE(tabs->tabText(i), QString::fromLatin1(b200() ? t.text200 : t.text));
            ++i;
        }
    }

    void fontsAsTheFormSetsThem() {
        using namespace formchecks;
        MainWindow &w = formWindow();
        QHash<QString, const FontRow *> rows;
        for (const FontRow &r : kFonts) rows.insert(QString::fromLatin1(r.name), &r);
        const int windowSize = w.font().pointSize();
        QStringList problems;
        // Every control of the form: its own row, or the window's font.
        for (QWidget *x : formWidgets(w)) {
            const FontRow *r = rows.value(x->objectName());
            int size = r ? (b200() ? r->size200 : r->size) : 0;
            if (size == 0) size = windowSize;
            const bool bold = r && (b200() ? r->bold200 : r->bold);
            const char *family = r ? (b200() ? r->family200 : r->family) : nullptr;
            const QFont f = x->font();
            if (f.pointSize() != size || f.bold() != bold)
                problems << QStringLiteral("%1: %2 pt%3, expected %4 pt%5")
                                .arg(x->objectName())
                                .arg(f.pointSize())
                                .arg(QLatin1String(f.bold() ? " bold" : ""))
                                .arg(size)
                                .arg(QLatin1String(bold ? " bold" : ""));
            const QString wanted = family ? QString::fromLatin1(family) : w.font().family();
            if (f.family() != wanted)
                problems << QStringLiteral("%1: family %2, expected %3")
                                .arg(x->objectName(), f.family(), wanted);
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        // The hexadecimal columns line up only in a fixed-pitch face.
        QVERIFY(QFontInfo(get<QTextEdit>(w, "EDIDtext")->font()).fixedPitch());
    }

    void captionAlignment() {
        MainWindow &w = formWindow();
        for (const formchecks::AlignRow &r : formchecks::kAlignments) {
            const auto align = get<QLabel>(w, r.name)->alignment() & Qt::AlignHorizontal_Mask;
            QVERIFY2(align == (b200() ? r.align200 : r.align), r.name);
        }
    }

    void linesFramesAndLayouts() {
        MainWindow &w = formWindow();
        QCOMPARE(get<QFrame>(w, "frame_2")->frameShape(), QFrame::Box);
        QCOMPARE(get<QFrame>(w, "frame_2")->frameShadow(), QFrame::Raised);
        const QStringList vertical =
            b200() ? QStringList{"line_3", "line_10"} : QStringList{"line_3", "line_9"};
        const QStringList horizontal = b200() ? QStringList{"line_2", "line_4", "line_5", "line_7",
                                                            "line_8", "line_9", "line_12"}
                                              : QStringList{"line_2", "line_4", "line_5", "line_6",
                                                            "line_7", "line_8", "line_11"};
        for (const QString &n : vertical)
            QVERIFY2(get<QFrame>(w, qPrintable(n))->frameShape() == QFrame::VLine, qPrintable(n));
        for (const QString &n : horizontal)
            QVERIFY2(get<QFrame>(w, qPrintable(n))->frameShape() == QFrame::HLine, qPrintable(n));

        const auto members = [&](const char *layout) {
            QStringList out;
            auto *l = get<QBoxLayout>(w, layout);
            for (int i = 0; i < l->count(); ++i) out << l->itemAt(i)->widget()->objectName();
            return out;
        };
        QCOMPARE(get<QVBoxLayout>(w, "verticalLayout")->metaObject()->className(), "QVBoxLayout");
        QCOMPARE(members("verticalLayout"),
                 (QStringList{"lblScale_21", "lblScale_22", "lblScale_25"}));
        QCOMPARE(members("verticalLayout_2"),
                 (QStringList{"lblScale_26", "lblScale_27", "lblScale_28"}));
        if (b200()) {
            QVERIFY(!w.findChild<QLayout *>(QStringLiteral("horizontalLayout_2")));
        } else {
            QCOMPARE(get<QHBoxLayout>(w, "horizontalLayout_2")->metaObject()->className(),
                     "QHBoxLayout");
            QCOMPARE(members("horizontalLayout_2"),
                     (QStringList{"label_17", "leReset", "pbReset"}));
        }
    }

    void buttonGroupsExclusiveInOrder() {
        MainWindow &w = formWindow();
        const auto groups = w.findChildren<QButtonGroup *>();
        QCOMPARE(groups.size(), 8);
        for (const formchecks::GroupRow &r : formchecks::kGroups) {
            auto *g = get<QButtonGroup>(w, r.group);
            QCOMPARE(g->parent(), &w);
            QVERIFY2(g->exclusive(), r.group);
            QStringList names;
            for (QAbstractButton *b : g->buttons()) names << b->objectName();
            QStringList wanted;
            for (const char *m : r.members)
                if (m) wanted << QString::fromLatin1(m);
            QCOMPARE(names, wanted);
        }
        for (const char *led : {"enableLed", "disableLed"}) {
            QVERIFY(!get<QRadioButton>(w, led)->group());
            QVERIFY(get<QRadioButton>(w, led)->autoExclusive());
        }
    }

    void initialStatesEnabledAndEmpty() {
        MainWindow &w = formWindow();
        QSet<QString> checked;
        for (const char *n : formchecks::kInitiallyChecked) checked << QString::fromLatin1(n);
        for (QWidget *x : formchecks::formWidgets(w)) {
            QVERIFY2(x->isEnabled(), qPrintable(x->objectName()));
            QVERIFY2(x->toolTip().isEmpty(), qPrintable(x->objectName()));
            if (auto *b = qobject_cast<QAbstractButton *>(x)) {
                if (qobject_cast<QPushButton *>(x))
                    QVERIFY2(!b->isCheckable(), qPrintable(x->objectName()));
                QVERIFY2(b->isChecked() == checked.contains(x->objectName()),
                         qPrintable(x->objectName()));
            }
            if (auto *c = qobject_cast<QComboBox *>(x))
                QVERIFY2(c->count() == 0, qPrintable(x->objectName()));
        }
        for (const char *box : formchecks::kInfoframeBoxes)
            QVERIFY2(get<QTextEdit>(w, box)->toPlainText().isEmpty(), box);
        QVERIFY(get<QTextEdit>(w, "EDIDtext")->toPlainText().isEmpty());
        QVERIFY(!get<QTextEdit>(w, "EDIDtext")->isReadOnly());
        QVERIFY(get<QLineEdit>(w, "leReset")->hasFrame());
    }

    void infoframeBoxes() {
        MainWindow &w = formWindow();
        const QSet<QString> editable{"HDRCustomText", "AVICustomText"};
        for (const char *name : formchecks::kInfoframeBoxes) {
            auto *t = get<QTextEdit>(w, name);
            QVERIFY2(t->frameShape() == QFrame::Box && t->frameShadow() == QFrame::Plain, name);
            QVERIFY2(t->toolTip().isEmpty() && t->whatsThis().isEmpty(), name);
            QVERIFY2(t->documentTitle().isEmpty(), name);
            if (editable.contains(QString::fromLatin1(name))) {
                QVERIFY2(!t->isReadOnly(), name);
            } else {
                QVERIFY2(t->isReadOnly(), name);
                QVERIFY2(t->textInteractionFlags() ==
                             (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard),
                         name);
            }
        }
        QCOMPARE(get<QTextEdit>(w, "HDRCustomText")->lineWidth(), 1);
        QCOMPARE(get<QTextEdit>(w, "HDRtext")->lineWidth(), 1);
    }

    void spinBoxesRangesAndValues() {
        MainWindow &w = formWindow();
        const struct {
            const char *name;
            double value;
        } coefficients[] = {{"sbA1", 1.164}, {"sbA2", 0.0},    {"sbA3", 1.793},
                            {"sbB1", 1.164}, {"sbB2", -0.213}, {"sbB3", -0.533},
                            {"sbC1", 1.164}, {"sbC2", 2.112},  {"sbC3", 0.0}};
        for (const auto &c : coefficients) {
            auto *sb = get<QDoubleSpinBox>(w, c.name);
            QCOMPARE(sb->decimals(), 4);
            QCOMPARE(sb->minimum(), -3.0);
            QCOMPARE(sb->maximum(), 3.0);
            QCOMPARE(sb->singleStep(), 0.02);
            QCOMPARE(sb->value(), c.value);
        }
        auto *coefficient = get<QDoubleSpinBox>(w, "sbA3");
        QCOMPARE(coefficient->text(), QStringLiteral("1.7930"));
        coefficient->setValue(7.25);
        QCOMPARE(coefficient->value(), 3.0);
        coefficient->setValue(-3.5);
        QCOMPARE(coefficient->value(), -3.0);
        coefficient->setValue(-1.23456);  // rounded to the four decimals shown
        QCOMPARE(coefficient->text(), QStringLiteral("-1.2346"));

        for (const char *name : {"sbA0", "sbB0", "sbC0"}) {
            if (b200()) {
                auto *sb = get<QDoubleSpinBox>(w, name);
                QCOMPARE(sb->decimals(), 0);
                QCOMPARE(sb->minimum(), 0.0);
                QCOMPARE(sb->maximum(), 255.0);
                QCOMPARE(sb->singleStep(), 1.0);
                QCOMPARE(sb->value(), 0.0);
                sb->setValue(300.0);
                QCOMPARE(sb->value(), 255.0);
                QCOMPARE(sb->text(), QStringLiteral("255"));
                sb->setValue(-1.0);
                QCOMPARE(sb->value(), 0.0);
            } else {
                auto *sb = get<QSpinBox>(w, name);
                QCOMPARE(sb->minimum(), 0);
                QCOMPARE(sb->maximum(), 255);
                QCOMPARE(sb->singleStep(), 1);
                QCOMPARE(sb->value(), 0);
                sb->setValue(300);
                QCOMPARE(sb->value(), 255);
                sb->setValue(-1);
                QCOMPARE(sb->value(), 0);
            }
        }
    }

    void edidListAndResetFieldLimits() {
        MainWindow &w = formWindow();
        const int limit = b200() ? 25 : 99;
        auto *list = get<QComboBox>(w, "cmBEdid");
        QCOMPARE(list->maxCount(), limit);
        QCOMPARE(list->maxVisibleItems(), limit);
        for (int i = 0; i < limit + 10; ++i) list->addItem(QString::number(i + 1));
        QCOMPARE(list->count(), limit);
        QCOMPARE(list->itemText(limit - 1), QString::number(limit));

        auto *reset = get<QLineEdit>(w, "leReset");
        QCOMPARE(reset->maxLength(), 50);
        QTest::keyClicks(reset, QString(60, QLatin1Char('R')));
        QCOMPARE(reset->text(), QString(50, QLatin1Char('R')));
    }

    // A click on the checked member of a group leaves it checked; any sequence of clicks
    // leaves one member checked.
    void groupsKeepOneMemberChecked() {
        MainWindow &w = formWindow();
        for (const formchecks::GroupRow &r : formchecks::kGroups) {
            auto *g = get<QButtonGroup>(w, r.group);
            const auto buttons = g->buttons();
            for (QAbstractButton *first : buttons) {
                first->click();
                QVERIFY2(first->isChecked(), qPrintable(first->objectName()));
                first->click();  // again, on the checked member
                QVERIFY2(first->isChecked(), qPrintable(first->objectName()));
                for (QAbstractButton *other : buttons) {
                    other->click();
                    int on = 0;
                    for (QAbstractButton *b : buttons) on += b->isChecked() ? 1 : 0;
                    QVERIFY2(on == 1, r.group);
                    QVERIFY(other->isChecked());
                }
            }
        }
    }

    void ledButtonsExcludeEachOtherOnly() {
        MainWindow &w = formWindow();
        auto *on = get<QRadioButton>(w, "enableLed");
        auto *off = get<QRadioButton>(w, "disableLed");
        auto *htpcOn = get<QRadioButton>(w, "rbHtpcOn");
        auto *htpcOff = get<QRadioButton>(w, "rbHtpcOff");
        htpcOn->setChecked(true);
        on->click();
        QVERIFY(on->isChecked() && !off->isChecked());
        off->click();
        QVERIFY(!on->isChecked() && off->isChecked());
        off->click();
        QVERIFY(off->isChecked());
        QVERIFY(htpcOn->isChecked() && !htpcOff->isChecked());
        htpcOff->click();
        QVERIFY(off->isChecked());
    }

    // Each listed sender's signal reaches exactly its slot of the window, once; no other
    // signal of the form reaches the window. Counted by taking the connections apart.
    void connectionTable() {
        using namespace formchecks;
        MainWindow &w = formWindow();
        QStringList problems;
        int total = 0;
        for (const ConnectionRow &r : kConnections) {
            if (!applies(r.in, variant_)) continue;
            QObject *sender = w.findChild<QObject *>(QString::fromLatin1(r.sender));
            QVERIFY2(sender, r.sender);
            const QByteArray sig = QByteArray("2") + r.signal;  // as SIGNAL() writes it
            const QByteArray slot = QByteArray("1") + r.slot;   // as SLOT() writes it
            const int before = ReceiverCount::of(sender, r.signal);
            const bool found = QObject::disconnect(sender, sig.constData(), &w, slot.constData());
            const int toSlot = before - ReceiverCount::of(sender, r.signal);
            const bool more = QObject::disconnect(sender, sig.constData(), &w, nullptr);
            total += toSlot;
            if (!found || toSlot != 1 || more)
                problems << QStringLiteral("%1 %2: %3 connections to %4%5")
                                .arg(QLatin1String(r.sender), QLatin1String(r.signal))
                                .arg(toSlot)
                                .arg(QLatin1String(r.slot))
                                .arg(QLatin1String(more ? ", and others to the window" : ""));
        }
        // What is left: no signal of a named object of the form reaches the window.
        QList<QObject *> senders;
        for (QWidget *x : formWidgets(w)) senders << x;
        for (QAction *a : w.findChildren<QAction *>())
            if (!a->objectName().isEmpty()) senders << a;
        for (QObject *s : senders) {
            const QMetaObject *mo = s->metaObject();
            for (int i = 0; i < mo->methodCount(); ++i) {
                const QMetaMethod m = mo->method(i);
                if (m.methodType() != QMetaMethod::Signal) continue;
                if (QObject::disconnect(s, m, &w, QMetaMethod()))
                    problems << s->objectName() + QLatin1Char(' ') +
                                    QLatin1String(m.methodSignature()) +
                                    QStringLiteral(": connected to the window, not in the table");
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QCOMPARE(total, b200() ? 50 : 51);
    }

    void slotTableInDeclaredOrder() {
        const QMetaObject &mo = MainWindow::staticMetaObject;
        QStringList declared;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
            const QMetaMethod m = mo.method(i);
            if (m.methodType() == QMetaMethod::Slot)
                declared << QString::fromLatin1(m.methodSignature());
        }
        QStringList wanted;
        for (const char *s : formchecks::kSlots) wanted << QString::fromLatin1(s);
        QCOMPARE(declared, wanted);
        for (int i = 0; i < declared.size(); ++i) {
            const QMetaMethod m = mo.method(mo.indexOfSlot(formchecks::kSlots[i]));
            QCOMPARE(m.access(), i == 0 ? QMetaMethod::Public : QMetaMethod::Private);
            const bool returnsBool = declared[i] == QLatin1String("ReadTvEDID()") ||
                                     declared[i] == QLatin1String("sendAVI()");
            QCOMPARE(m.returnType(), returnsBool ? int(QMetaType::Bool) : int(QMetaType::Void));
        }
    }

    // Tab goes through the listed controls in order; widgets that take no Tab focus and the
    // inner parts of a control (a text edit's viewport) are passed over.
    void focusOrder() {
        MainWindow &w = formWindow();
        for (std::size_t i = 0; i + 1 < std::size(formchecks::kFocusOrder); ++i) {
            QWidget *from = get<QWidget>(w, formchecks::kFocusOrder[i]);
            QWidget *to = get<QWidget>(w, formchecks::kFocusOrder[i + 1]);
            QWidget *next = from->nextInFocusChain();
            while (next != from &&
                   (from->isAncestorOf(next) || !(next->focusPolicy() & Qt::TabFocus)))
                next = next->nextInFocusChain();
            QVERIFY2(
                next == to || to->isAncestorOf(next),
                qPrintable(QStringLiteral("%1 is followed by %2, not %3")
                               .arg(from->objectName(), next->objectName(), to->objectName())));
        }
    }

    // Choosing an item runs the slot once; choosing the same item again sends no signal.
    void comboSelectionSignalsOncePerChange() {
        MainWindow &w = formWindow();
        for (const formchecks::ComboItems &c : formchecks::startupItems()) {
            auto *combo = get<QComboBox>(w, c.combo);
            combo->addItems(c.items);
            QSignalSpy spy(combo, &QComboBox::currentIndexChanged);
            combo->setCurrentIndex(1);
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.at(0).at(0).toInt(), 1);
            combo->setCurrentIndex(1);
            QCOMPARE(spy.size(), 1);
        }
    }

    // Every text fits its control at the form's fonts, with the longest texts the status
    // display and start-up put there, on every tab.
    void everyTabLegible() {
        MainWindow &w = formWindow();
        for (const formchecks::ComboItems &c : formchecks::startupItems())
            get<QComboBox>(w, c.combo)->addItems(c.items);
        for (const formchecks::LongText &t : formchecks::kLongStatusTexts)
            get<QLabel>(w, t.label)->setText(QString::fromLatin1(t.text));
        QString edid;
        for (int i = 0; i < 256; ++i)
            edid += QStringLiteral("%1%2")
                        .arg(i, 2, 16, QLatin1Char('0'))
                        .toUpper()
                        .arg(i % 16 == 15 ? "\n" : " ");
        get<QTextEdit>(w, "EDIDtext")->setPlainText(edid);
        QString infoframe = QStringLiteral("87:01:1a:2c");  // 31 bytes, the most a record holds
        for (int i = 0; i < 27; ++i) infoframe += QStringLiteral(":%1").arg(0xA0 + i, 2, 16);
        for (const char *box : formchecks::kInfoframeBoxes)
            get<QTextEdit>(w, box)->setPlainText(infoframe);

        w.show();
        auto *tabs = get<QTabWidget>(w, "tabWidget");
        QStringList problems;
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QCoreApplication::processEvents();
            for (const QString &p : formchecks::layoutProblems(w))
                if (!problems.contains(p)) problems << p;
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        w.hide();
    }
};
