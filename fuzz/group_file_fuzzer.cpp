// A group file: accepted exactly when its first ten bytes are "40100Group". Refused, nothing
// changes (the group name included) and one warning is shown; accepted, the name is the file's
// base name and its members, saved beside it once from a known setup, screens and program, are
// what opens: no warning, and the documents as they were saved.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "collection/group_file.h"
#include "fuzz_support.h"
#include "platform/shell.h"
#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"

namespace {

using namespace halvern;

class CountingShell final : public Shell {
 public:
  void addMessageLine(std::string_view) override {}
  void insertText(std::string_view) override {}
  void setProgressMax(int) override {}
  void setProgress(int) override {}
  MessageResult message(std::string_view, MessageKind, MessageButtons) override {
    ++boxes;
    return MessageResult::Ok;
  }
  void beep(BeepKind) override {}
  void processEvents() override {}
  void setBusy(bool) override {}
  void setStatus(std::string_view) override {}
  bool cancelled() const override { return false; }
  void setClockTimer(bool) override {}
  void setInstrumentBusy(bool) override {}
  int boxes = 0;
};

const std::filesystem::path& folder() {
  static const std::filesystem::path path = [] {
    auto p =
        std::filesystem::temp_directory_path() / ("halvern_group_fuzz_" + std::to_string(getpid()));
    std::filesystem::create_directories(p);
    return p;
  }();
  return path;
}

// The group's members, saved once beside the input from documents unlike the defaults.
struct SavedMembers {
  SetupModel setup;
  ScreenBuffer screens;
  ProgramDocument program;
};

const SavedMembers& savedMembers() {
  static const SavedMembers saved = [] {
    SavedMembers m;
    m.setup.setFieldsPerRecord(7);
    m.screens.setCell(2, 1, 1, 'G');
    m.program.insertInstruction(0, 3);  // BEEP
    std::string name;
    CountingShell shell;
    FUZZ_REQUIRE(
        saveGroup((folder() / "input.ssp").string(), {m.setup, m.screens, m.program, name}, shell));
    FUZZ_REQUIRE(shell.boxes == 0);
    return m;
  }();
  return saved;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const SavedMembers& saved = savedMembers();
  const std::string bytes(fuzz::bytesOf(data, size));
  const std::string path = (folder() / "input.ssp").string();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  SetupModel setup;
  ScreenBuffer screens;
  ProgramDocument program;
  std::string name = "before";
  const auto setupVersion = setup.version();
  CountingShell shell;
  const bool accepted = openGroup(path, {setup, screens, program, name}, shell);
  FUZZ_REQUIRE(accepted == (bytes.compare(0, 10, "40100Group") == 0 && bytes.size() >= 10));
  if (!accepted) {
    FUZZ_REQUIRE(name == "before" && shell.boxes == 1 && setup.version() == setupVersion);
    FUZZ_REQUIRE(screens.replacements() == 0 && program.programVersion() == 0);
  } else {
    FUZZ_REQUIRE(name == "input" && shell.boxes == 0);
    FUZZ_REQUIRE(setup == saved.setup && screens == saved.screens);
    FUZZ_REQUIRE(program.store() == saved.program.store() &&
                 program.tree() == saved.program.tree());
  }
  return 0;
}
