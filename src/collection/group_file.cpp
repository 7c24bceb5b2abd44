#include "collection/group_file.h"

#include <filesystem>

#include "files/file_load.h"
#include "files/file_save.h"
#include "platform/shell.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "program/program_store.h"
#include "screens/bitmap.h"
#include "screens/bitmap_file.h"
#include "screens/glyph_painting.h"
#include "screens/screen_buffer.h"
#include "screens/screen_file.h"
#include "setup/setup_file.h"
#include "setup/setup_model.h"
#include "wire/text_format.h"

namespace halvern {

namespace {

void warn(Shell& shell, std::string_view text) {
  shell.message(text, MessageKind::Warning, MessageButtons::Ok);
}

std::string_view asText(const ScreenBuffer& screens) {
  return {reinterpret_cast<const char*>(screens.bytes().data()), screens.bytes().size()};
}

// The eight pictures "BASE Screen N.bmp"; the first that cannot be saved ends them, and its
// problem is returned.
std::string savePictures(const std::string& base, const ScreenBuffer& screens) {
  Bitmap picture(screen_image::kWidth, screen_image::kCellsHeight, Bitmap::kWhite);
  for (int s = 0; s < ScreenBuffer::kScreens; ++s) {
    inkScreen(picture, screens, s);
    const std::string name = base + formatText(" Screen %d.bmp", s + 1);
    if (std::string problem = saveFileBytes(name, windowsBitmap(picture), "screen picture");
        !problem.empty())
      return problem;
  }
  return {};
}

}  // namespace

std::string groupBase(const std::string& path) {
  std::filesystem::path p(path);
  return p.replace_extension().string();
}

std::string groupName(const std::string& path) {
  return std::filesystem::path(path).stem().string();
}

namespace {

bool isGroupFile(const std::string& path) {
  const LoadedFile group = loadFileBytes(path, group_file::kMagic.size(), "group file");
  return group.problem.empty() && group.bytes == group_file::kMagic;
}

// The members in the order they load: the file's extension, what it is, its warning in the
// window, and whether a send carries it.
struct Member {
  const char* extension;
  const char* what;
  std::string_view missing;
  bool sent;
  std::string (*load)(const std::string& path, GroupParts& parts);
};

constexpr Member kMembers[] = {
    {".set", "setup file", group_file::kSetupMissing, true,
     [](const std::string& path, GroupParts& parts) { return loadSetupFile(path, parts.setup); }},
    {".scr", "screen file", group_file::kScreenMissing, true,
     [](const std::string& path, GroupParts& parts) {
       return loadScreenFile(path, parts.screens);
     }},
    {".pgm", "program file", group_file::kProgramMissing, true,
     [](const std::string& path, GroupParts& parts) {
       return loadProgramFile(path, parts.program);
     }},
    {".nts", "notes file", group_file::kNotesMissing, false,
     [](const std::string& path, GroupParts& parts) { return loadNotesFile(path, parts.program); }},
};

}  // namespace

bool openGroup(const std::string& path, GroupParts parts, Shell& shell) {
  if (!isGroupFile(path)) {
    warn(shell, group_file::kWrongType);
    return false;
  }
  parts.currentGroupName = groupName(path);
  const std::string base = groupBase(path);
  // Each member on its own: one that is missing or not what it should be is skipped.
  for (const Member& member : kMembers) {
    if (!member.load(base + member.extension, parts).empty()) warn(shell, member.missing);
  }
  return true;
}

std::string openGroupToSend(const std::string& path, GroupParts parts) {
  if (!isGroupFile(path)) return std::string(group_file::kWrongType);
  parts.currentGroupName = groupName(path);
  const std::string base = groupBase(path);
  for (const Member& member : kMembers) {
    if (!member.sent) continue;
    const std::string file = base + member.extension;
    if (const std::string problem = member.load(file, parts); !problem.empty()) {
      return "The group's " + std::string(member.what) + " " + file +
             " cannot be used, so nothing was sent.\n" + problem;
    }
  }
  return {};
}

bool saveGroup(const std::string& path, GroupParts parts, Shell& shell) {
  using namespace group_file;
  // One warning for a folder that cannot take the files, rather than one for each of them.
  if (const std::string why = canWriteBeside(path); !why.empty()) {
    warn(shell, "The group cannot be saved as " + path + ".\n" + why);
    return false;
  }
  if (const std::string problem = saveFileBytes(path, kMagic, "group file"); !problem.empty()) {
    warn(shell, problem);
    return false;
  }
  parts.currentGroupName = groupName(path);
  const std::string base = groupBase(path);

  if (!saveSetupFile(base + ".set", parts.setup).empty()) warn(shell, kSetupNotSaved);
  if (!saveFileBytes(base + ".scr", asText(parts.screens), "screen file").empty())
    warn(shell, kScreenNotSaved);
  const std::string program = writeProgramBytes(parts.program);
  if (saveFileBytes(base + ".pgm", program, "program file").empty()) {
    parts.program.settle(true, false);
  } else {
    warn(shell, kProgramNotSaved);
  }
  // The tree text and the notes are saved when they can be; their failure is not reported.
  (void)saveFileBytes(base + ".txt", std::string_view(program).substr(ProgramStore::kSize),
                      "program text");
  (void)saveNotesFile(base + ".nts", parts.program);

  (void)savePictures(base, parts.screens);
  return true;
}

std::string writeGroup(const std::string& path, GroupParts parts, bool pictures) {
  if (std::string why = canWriteBeside(path); !why.empty()) return why;
  if (std::string problem = saveFileBytes(path, group_file::kMagic, "group file"); !problem.empty())
    return problem;
  parts.currentGroupName = groupName(path);
  const std::string base = groupBase(path);
  const std::string program = writeProgramBytes(parts.program);
  std::string problem = saveSetupFile(base + ".set", parts.setup);
  if (problem.empty()) problem = saveFileBytes(base + ".scr", asText(parts.screens), "screen file");
  if (problem.empty()) problem = saveFileBytes(base + ".pgm", program, "program file");
  if (problem.empty())
    problem = saveFileBytes(base + ".txt", std::string_view(program).substr(ProgramStore::kSize),
                            "program text");
  if (problem.empty()) problem = saveNotesFile(base + ".nts", parts.program);
  if (problem.empty() && pictures) problem = savePictures(base, parts.screens);
  return problem;
}

}  // namespace halvern
