#include "wire/commands.h"

#include "wire/text_format.h"

namespace halvern::cmd {

std::string setCom1Line(int code) { return formatText("CMD220 %d\r", code); }
std::string setCom2Line(unsigned code) { return formatText("CMD230 %u\r", code); }
std::string setIntervalLine(unsigned interval) { return formatText("CMD250 %u\r", interval); }
std::string setKeypadLockLine(bool on) { return formatText("CMD260 %u\r", on ? 1u : 0u); }
std::string setDateLine(unsigned month, unsigned day, unsigned year) {
  return formatText("CMD270 %02u %02u %02u\r", month, day, year);
}
std::string setTimeLine(unsigned hour, unsigned minute, unsigned second) {
  return formatText("CMD280 %02u %02u %02u\r", hour, minute, second);
}
std::string setFieldsPerRecordLine(unsigned fields) { return formatText("CMD310 %u\r", fields); }
std::string setAutoScrollLine(bool on) { return formatText("CMD330 %u\r", on ? 1u : 0u); }
std::string setScrollPauseLine(unsigned pause) { return formatText("CMD332 %u\r", pause); }
std::string setScrollEndLine(unsigned screen) { return formatText("CMD334 %u\r", screen); }
std::string getRecordsLine(unsigned count) { return formatText("CMD340 %u\r", count); }
std::string calSingleFullLine(float referenceMv) {
  return formatText("CMD815 %f\r", static_cast<double>(referenceMv));
}
std::string calDiffFullLine(float referenceMv) {
  return formatText("CMD825 %f\r", static_cast<double>(referenceMv));
}
std::string pullDownLine(int mask) { return formatText("CMD850 %d\r", mask); }
std::string switchTestLine(int channel, int on) {
  return formatText("CMD920 %01i %01i\r", channel, on);
}
std::string singleInputTestLine(int channel) { return formatText("CMD922 %02i\r", channel); }
std::string windInputTestLine(int channel) { return formatText("CMD924 %02d\r", channel); }
std::string diffInputTestLine(int channel) { return formatText("CMD926 %02i\r", channel); }
std::string lowFreqCountLine(int channel) { return formatText("CMD935 %02i\r", channel); }
std::string switchFreqCountLine(int channel) { return formatText("CMD940 %02i\r", channel); }
std::string driveVoltageLine(int channel, int level) {
  return formatText("CMD945 %01i %01i\r", channel, level);
}
std::string driveCurrentLine(int channel, int level) {
  return formatText("CMD950 %01i %01i\r", channel, level);
}

}  // namespace halvern::cmd
