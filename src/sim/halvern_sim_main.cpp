// halvern-sim: the simulated instrument on a pseudo-terminal. Prints the device to open as its
// first line, then answers command lines until SIGINT or SIGTERM.

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/fault_plan.h"
#include "sim/pty_server.h"
#include "sim/simulated_instrument.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void requestStop(int) { g_stop = 1; }

constexpr const char* kDescription =
    "Serves a simulated Model 40100 on a pseudo-terminal. The first line printed is the device\n"
    "to open (e.g. /dev/pts/3). Runs until interrupted.";

constexpr const char* kFaultKinds =
    "--fault CODE:KIND[:COUNT][:TEXT] spoils the replies to command CODE. KIND is one of\n"
    "  silence  no reply (a setting is not taken)\n"
    "  short    the reply one byte short\n"
    "  wrong    an out-of-range value, or TEXT sized to the reply\n"
    "  stray    stray bytes (\"?#\", or TEXT) before the reply\n"
    "  trailing stray bytes (\"?#\", or TEXT) after the reply\n"
    "  nostar   the setting is taken but its \"*\" is never sent\n"
    "  cut      the replies stop after byte TEXT (default 0) from the reply to CODE on,\n"
    "           and the instrument is gone: halvern-sim hangs up and exits (in-process the\n"
    "           link stays open but reads and writes transfer nothing)\n"
    "  hangup   the same, the link closing in-process too\n"
    "COUNT replies are spoiled (default -1: every one; cut and hangup take none). TEXT may\n"
    "use \\r, \\n, \\\\ and \\xHH. Repeat the option for several commands.\n"
    "The program transfers (CODE 115 get, 110 send) take these too; for silence, corrupt,\n"
    "nakstorm and dies TEXT is a block number BLOCK (0..65, 66 the end block):\n"
    "  silence  with BLOCK: that block is not sent (115) or not answered (110)\n"
    "  corrupt  block BLOCK goes out with a bad CRC (115) or arrives spoiled (110)\n"
    "  nakstorm good blocks (BLOCK, or every one) are answered NAK (110)\n"
    "  badend   the end block carries a bad CRC (115)\n"
    "  short    blocks go out one byte short (115)\n"
    "  stray    TEXT (default \"?#\") before block 0 (115) or before the first NAK (110)\n"
    "  wrong    TEXT (default \"?\") instead of block 0 (115) or of a block's ACK (110)\n"
    "  dies     the instrument drops off the link at BLOCK (default 0); halvern-sim\n"
    "           then hangs up and exits\n"
    "  changeparam (110) the send succeeds, but the first parameter stored as digits\n"
    "           alone is one off in its last digit (9 one down)\n"
    "The screens send (CODE 210) also takes\n"
    "  droprow  the send succeeds, but the last row of screen 8 keeps its old cells\n"
    "The firmware loader (CODE 980: the wake-up \" \\r\", \"CMD980\", the update) takes\n"
    "  nowake    the wake-up line is not answered \"C\"\n"
    "  onestar   one \"*\" alone in place of \"***\"\n"
    "  wrong     \"**x**\" (or TEXT as it is) in place of \"***\"\n"
    "  silence, short, stray, trailing  spoil the \"***\" as above\n"
    "  nostar    record TEXT (1 the first, S0 included; without TEXT any record) is\n"
    "            programmed but never answered \"*\"\n"
    "  noclose   the update completes without its closing text after the S9\n"
    "  slowerase the erase after \"FLS\" takes TEXT ms (default 3000, at most 600000)\n"
    "e.g. --fault 115:corrupt:3:5  --fault 110:nakstorm:4  --fault 115:dies::30\n"
    "     --fault 115:cut::1500  --fault 325:hangup::400  --fault 980:nostar:1:12\n"
    "     --fault 980:slowerase::5000  --fault 210:droprow  --fault 110:changeparam:1";

// Prints "halvern-sim: TEXT" and the hint to --help; returns the usage error's status.
int usageError(const std::string& text) {
  std::cerr << "halvern-sim: " << text << "\nTry 'halvern-sim --help'.\n";
  return 2;
}

bool installSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a signal ends the wait at once
  return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  halvern::SystemClock clock;
  halvern::SystemCalendar calendar;
  halvern::sim::SimulatedInstrument instrument(calendar, clock);
  bool verbose = false;
  std::vector<std::string> faults;

  CLI::App options(kDescription, "halvern-sim");
  options
      .add_option("--fault", faults, "spoil the replies to command CODE (see below); repeatable")
      ->type_name("CODE:KIND[:COUNT][:TEXT]")
      ->allow_extra_args(false);
  std::string dialect = "standard";
  options
      .add_option("--dialect", dialect,
                  "how the replies are worded where the wire allows several forms: " +
                      std::string(halvern::sim::ReplyDialect::kNames))
      ->type_name("NAME")
      ->capture_default_str();
  options.add_flag("-v,--verbose", verbose, "log every command line received to standard error");
  std::size_t records = halvern::sim::RecordLog::kDefaultCount;
  options.add_option("--records", records, "the records the instrument has logged")
      ->type_name("N")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{0}, halvern::sim::RecordLog::kMaxCount));
  options.footer(kFaultKinds);
  try {
    options.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << options.help();
    return 0;
  } catch (const CLI::ParseError& e) {
    return usageError(e.what());
  }
  instrument.recordLog().setCount(records);
  if (const std::string error = instrument.dialect().choose(dialect); !error.empty()) {
    return usageError("--dialect " + dialect + ": " + error);
  }
  for (const std::string& fault : faults) {
    const std::string error = instrument.faults().parse(fault);
    if (!error.empty()) return usageError("--fault " + fault + ": " + error);
  }

  if (!installSignalHandlers()) {
    std::cerr << "halvern-sim: cannot install signal handlers: " << std::strerror(errno) << "\n";
    return 1;
  }
  halvern::sim::PtyServer server(instrument, clock);
  if (!server.open()) {
    std::cerr << "halvern-sim: " << server.error() << "\n";
    return 1;
  }
  std::cout << server.slavePath() << std::endl;

  if (!server.serve(g_stop, verbose ? &std::cerr : nullptr)) {
    std::cerr << "halvern-sim: " << server.error() << "\n";
    return 1;
  }
  return 0;
}
