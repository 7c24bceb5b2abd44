#pragma once

#include <map>
#include <memory>
#include <typeindex>

namespace halvern {

// Everything the window holds about the instrument, owned by the main window for its whole life.
// Transfers and files read and write it; the pages show it and write edits back at once. Each
// subsystem keeps its part here under the part's own type, and every module reaches any part
// through that type:
//
//   MyPart& mine = host.document().part<MyPart>();
//
// A part is made (default-constructed) when first asked for and stays at its address as long as
// the document lives, so pages and commands may keep references to it.
class Document {
 public:
  template <class Part>
  Part& part() {
    std::shared_ptr<void>& slot = m_parts[std::type_index(typeid(Part))];
    if (!slot) slot = std::make_shared<Part>();
    return *static_cast<Part*>(slot.get());
  }

 private:
  std::map<std::type_index, std::shared_ptr<void>> m_parts;
};

}  // namespace halvern
