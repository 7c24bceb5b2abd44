#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The catalogue of command lines the computer sends to the instrument. A line is "CMD", a
// three-digit code, blank-separated arguments and a carriage return. Fixed lines are given whole;
// lines with arguments are built by their functions.
namespace halvern::cmd {

// Codes.
inline constexpr int kSendProgram = 110;
inline constexpr int kGetProgram = 115;
inline constexpr int kSendScreens = 210;
inline constexpr int kGetScreens = 215;
inline constexpr int kSetCom1 = 220;
inline constexpr int kGetCom1 = 225;
inline constexpr int kSetCom2 = 230;
inline constexpr int kGetCom2 = 235;
inline constexpr int kGetStopOnError = 245;
inline constexpr int kSetInterval = 250;
inline constexpr int kGetInterval = 255;
inline constexpr int kSetKeypadLock = 260;
inline constexpr int kGetKeypadLock = 265;
inline constexpr int kSetDate = 270;
inline constexpr int kGetDate = 275;
inline constexpr int kSetTime = 280;
inline constexpr int kGetTime = 285;
inline constexpr int kSetFieldsPerRecord = 310;
inline constexpr int kGetFieldsPerRecord = 315;
inline constexpr int kSendRecordFormats = 320;
inline constexpr int kGetRecordFormats = 325;
inline constexpr int kSetAutoScroll = 330;
inline constexpr int kGetAutoScroll = 331;
inline constexpr int kSetScrollPause = 332;
inline constexpr int kGetScrollPause = 333;
inline constexpr int kSetScrollEnd = 334;
inline constexpr int kGetScrollEnd = 335;
inline constexpr int kGetRecords = 340;
inline constexpr int kEraseRecords = 345;
inline constexpr int kReadCalibration = 805;
inline constexpr int kCalSingleZero = 810;
inline constexpr int kCalSingleFull = 815;
inline constexpr int kCalDiffZero = 820;
inline constexpr int kCalDiffFull = 825;
inline constexpr int kCalWindZero = 830;
inline constexpr int kCalWindExcitation = 835;
inline constexpr int kCalVoltageOut = 840;
inline constexpr int kCalCurrentOut = 845;
inline constexpr int kPullDown = 850;
inline constexpr int kRomChecksum = 900;
inline constexpr int kProgramChecksum = 905;
inline constexpr int kRamTest = 910;
inline constexpr int kDisplayTest = 915;
inline constexpr int kSwitchTest = 920;
inline constexpr int kSingleInputTest = 922;
inline constexpr int kWindInputTest = 924;
inline constexpr int kDiffInputTest = 926;
inline constexpr int kLowFreqCount = 935;
inline constexpr int kSwitchFreqCount = 940;
inline constexpr int kDriveVoltage = 945;
inline constexpr int kDriveCurrent = 950;
inline constexpr int kCheckOutputs = 952;
inline constexpr int kCheckWind = 954;
inline constexpr int kCheckDiff = 956;
inline constexpr int kEnterLoader = 980;

// Fixed lines.
inline constexpr std::string_view kSendProgramLine = "CMD110\r";
inline constexpr std::string_view kGetProgramLine = "CMD115\r";
inline constexpr std::string_view kSendScreensLine = "CMD210\r";
inline constexpr std::string_view kGetScreensLine = "CMD215\r";
inline constexpr std::string_view kGetCom1Line = "CMD225\r";
inline constexpr std::string_view kGetCom2Line = "CMD235\r";
inline constexpr std::string_view kGetStopOnErrorLine = "CMD245\r";
inline constexpr std::string_view kGetIntervalLine = "CMD255\r";
inline constexpr std::string_view kGetKeypadLockLine = "CMD265\r";
inline constexpr std::string_view kGetDateLine = "CMD275\r";
inline constexpr std::string_view kGetTimeLine = "CMD285\r";
inline constexpr std::string_view kGetFieldsPerRecordLine = "CMD315\r";
inline constexpr std::string_view kSendRecordFormatsLine = "CMD320\r";
inline constexpr std::string_view kGetRecordFormatsLine = "CMD325\r";
inline constexpr std::string_view kGetAutoScrollLine = "CMD331\r";
inline constexpr std::string_view kGetScrollPauseLine = "CMD333\r";
inline constexpr std::string_view kGetScrollEndLine = "CMD335\r";
inline constexpr std::string_view kEraseRecordsLine = "CMD345\r";
inline constexpr std::string_view kReadCalibrationLine = "CMD805\r";
inline constexpr std::string_view kCalSingleZeroLine = "CMD810\r";
inline constexpr std::string_view kCalDiffZeroLine = "CMD820\r";
inline constexpr std::string_view kCalWindZeroLine = "CMD830\r";
inline constexpr std::string_view kCalWindExcitationLine = "CMD835\r";
inline constexpr std::string_view kCalVoltageOutLine = "CMD840\r";
inline constexpr std::string_view kCalCurrentOutLine = "CMD845\r";
inline constexpr std::string_view kRomChecksumLine = "CMD900\r";
inline constexpr std::string_view kProgramChecksumLine = "CMD905\r";
inline constexpr std::string_view kRamTestLine = "CMD910\r";
inline constexpr std::string_view kDisplayTestLine = "CMD915\r";
inline constexpr std::string_view kCheckSingleLine = "CMD952 16\r";
inline constexpr std::string_view kCheckOutputsLine = "CMD952 04\r";
inline constexpr std::string_view kCheckWindLine = "CMD954\r";
inline constexpr std::string_view kCheckDiffLine = "CMD956 14\r";
inline constexpr std::string_view kEnterLoaderLine = "CMD980\r";
// The loader's own line and word (no carriage return after the word).
inline constexpr std::string_view kLoaderWakeLine = " \r";
inline constexpr std::string_view kLoaderFlashWord = "FLS";

// Lines with arguments. Each is built by its own function, its arguments typed as the line
// writes them.
std::string setCom1Line(int code);                                     // "CMD220 %d"
std::string setCom2Line(unsigned code);                                // "CMD230 %u"
std::string setIntervalLine(unsigned interval);                        // "CMD250 %u"
std::string setKeypadLockLine(bool on);                                // "CMD260 %u"
std::string setDateLine(unsigned month, unsigned day, unsigned year);  // "CMD270 %02u %02u %02u"
std::string setTimeLine(unsigned hour, unsigned minute, unsigned second);  // "CMD280 ..."
std::string setFieldsPerRecordLine(unsigned fields);                       // "CMD310 %u"
std::string setAutoScrollLine(bool on);                                    // "CMD330 %u"
std::string setScrollPauseLine(unsigned pause);                            // "CMD332 %u"
std::string setScrollEndLine(unsigned screen);                             // "CMD334 %u"
std::string getRecordsLine(unsigned count);                                // "CMD340 %u"
std::string calSingleFullLine(float referenceMv);                          // "CMD815 %f"
std::string calDiffFullLine(float referenceMv);                            // "CMD825 %f"
std::string pullDownLine(int mask);                                        // "CMD850 %d"
std::string switchTestLine(int channel, int on);                           // "CMD920 %01i %01i"
std::string singleInputTestLine(int channel);                              // "CMD922 %02i"
std::string windInputTestLine(int channel);                                // "CMD924 %02d"
std::string diffInputTestLine(int channel);                                // "CMD926 %02i"
std::string lowFreqCountLine(int channel);                                 // "CMD935 %02i"
std::string switchFreqCountLine(int channel);                              // "CMD940 %02i"
std::string driveVoltageLine(int channel, int level);                      // "CMD945 %01i %01i"
std::string driveCurrentLine(int channel, int level);                      // "CMD950 %01i %01i"

// Reply sizes of the fixed-length value queries.
inline constexpr std::size_t kCom1ReplySize = 5;
inline constexpr std::size_t kCom2ReplySize = 4;
inline constexpr std::size_t kFlagReplySize = 2;
inline constexpr std::size_t kDateTimeReplySize = 9;

}  // namespace halvern::cmd
