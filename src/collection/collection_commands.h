#pragma once

#include <chrono>
#include <functional>
#include <string_view>

#include "link/instrument_command.h"

namespace halvern {

class Calendar;
class ProgramDocument;
class ScreenBuffer;
class SetupModel;

// The parts of a collection, in the order they travel.
enum class CollectionPart { Setup, Screens, Program };

namespace collection_text {
inline constexpr std::string_view kGetClosed =
    "Cannot Get Setup/Screens/Program.\nUSB port is closed.";
inline constexpr std::string_view kSendClosed =
    "Cannot Send Setup/Screens/Program.\nComm port is closed.";
inline constexpr std::string_view kGetQuestion =
    "Get Setup/Screens/Pgm from 40100.\nOverwrite settings in Halvern?";
inline constexpr std::string_view kSendQuestion =
    "Send Setup/Screens/Program.\nOverwrite settings in 40100?";
inline constexpr std::string_view kGetStart = "GET SETUP/SCREENS/PROGRAM...";
inline constexpr std::string_view kGetFailed = "GET SETUP/SCREENS/PROGRAM FAILED.";
inline constexpr std::string_view kGetDone = "FINISHED GETTING SETUP/SCREENS/PROGRAM.";
inline constexpr std::string_view kSendStart = "SEND SETUP/SCREENS/PROGRAM...";
inline constexpr std::string_view kSendFailed = "SEND SETUP/SCREENS/PROGRAM FAILED.";
inline constexpr std::string_view kSendDone = "FINISHED SENDING SETUP/SCREENS/PROGRAM.";
}  // namespace collection_text

// Between the parts of a send.
inline constexpr std::chrono::milliseconds kCollectionPause{1000};

struct CollectionParts {
  SetupModel& setup;
  ScreenBuffer& screens;
  ProgramDocument& program;
  const Calendar& calendar;
};

// How a collection meets the window: the page of each part shown before it travels, and the page
// that was shown before the command shown again when it ends.
struct CollectionView {
  std::function<void(CollectionPart)> showPart;
  std::function<void()> restorePage;
};

// Both commands keep references to the parts' documents and to `view`: they must outlive them.
// Get Setup/Screens/Pgm: the closed-link text; the question (No ends it); the start line; the
// setup, the screens and the program, each part's page shown first, the first failure skipping
// the rest (what came stays); the page shown before; on failure the communication warning and
// the FAILED line, else the FINISHED line.
InstrumentCommand getCollectionCommand(CollectionParts parts, const CollectionView& view);
// Send Setup/Screens/Pgm: the same with the sends and a second's pause between the parts.
InstrumentCommand sendCollectionCommand(CollectionParts parts, const CollectionView& view);

}  // namespace halvern
