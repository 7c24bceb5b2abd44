#include "firmware/srecord_file.h"

namespace halvern {

SRecordCheck checkSRecordFile(std::string_view bytes) {
  (void)bytes;
  return {std::nullopt, std::string(srecord_text::kIncorrectFileType)};
}

}  // namespace halvern
