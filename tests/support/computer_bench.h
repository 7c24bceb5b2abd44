#pragma once

#include "link/command_exchange.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/recording_shell.h"
#include "support/scripted_link.h"

namespace halvern::test {

// The simulated instrument behind its link, on virtual time, its calendar standing at `at`. The
// link is closed: a test opens it when its instrument is ready (faults set, records logged).
struct InstrumentOnLink {
  explicit InstrumentOnLink(const DateTime& at) : calendar(at) {}

  VirtualClock clock;
  FixedCalendar calendar;
  sim::SimulatedInstrument instrument{calendar, clock};
  sim::SimulatedLink link{instrument, clock};
};

// The computer at the other end: the shell an operation reports to and the exchange it talks
// through. A fixture derives from it beside ::testing::Test; a table's row makes one of its own.
struct ComputerBench : InstrumentOnLink {
  using InstrumentOnLink::InstrumentOnLink;

  RecordingShell shell;
  CommandExchange exchange{link, clock, shell};
};

// The computer against a scripted far end instead (see ScriptedLink), its link open.
struct ComputerOnScript {
  ComputerOnScript() { link.open(); }

  VirtualClock clock;
  ScriptedLink link{clock};
  RecordingShell shell;
  CommandExchange exchange{link, clock, shell};
};

}  // namespace halvern::test
