#include "program/program_commands.h"

#include "program/program_transfer.h"

namespace halvern {

InstrumentCommand getProgramCommand(ProgramDocument& document) {
  return {program_text::kGetClosed, nullptr, [&document](CommandExchange& exchange, Shell& shell) {
            return getUserProgram(exchange, document, shell);
          }};
}

InstrumentCommand sendProgramCommand(const ProgramDocument& document) {
  InstrumentCommand command{program_text::kSendClosed, nullptr,
                            [&document](CommandExchange& exchange, Shell& shell) {
                              return sendUserProgram(exchange, document, shell);
                            }};
  command.sends.program = &document;
  return command;
}

}  // namespace halvern
