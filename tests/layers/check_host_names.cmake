cmake_minimum_required(VERSION 3.25)
# The window's frame knows no subsystem: every subsystem reaches it through its module. Fails when
# one of the frame's files names a subsystem anywhere (an include, an identifier, a comment),
# case aside. The subsystems are found, not listed: each folder under SOURCE_DIR that holds a
# module (NAME_module.cpp), and each such NAME. The desktop's screens, where the window is placed,
# are not the subsystem's.

set(frame app/main_window.cpp app/page_host.h app/document.h app/settings_file.h
  app/settings_file.cpp)

file(GLOB modules RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*/*_module.cpp")
set(names)
foreach(module IN LISTS modules)
  get_filename_component(folder "${module}" DIRECTORY)
  get_filename_component(stem "${module}" NAME_WE)
  string(REGEX REPLACE "_module$" "" stem "${stem}")
  list(APPEND names "${folder}" "${stem}")
endforeach()
list(REMOVE_DUPLICATES names)
list(LENGTH names count)
if(count LESS 2)
  message(FATAL_ERROR "no subsystem modules found under ${SOURCE_DIR}")
endif()

set(failures 0)
foreach(path IN LISTS frame)
  file(STRINGS "${SOURCE_DIR}/${path}" lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(TOLOWER "${line}" lower)
    string(REPLACE "qguiapplication::screens()" "" lower "${lower}")
    string(REPLACE "placeonscreens" "" lower "${lower}")
    foreach(name IN LISTS names)
      string(FIND "${lower}" "${name}" at)
      if(at GREATER -1)
        message("${path}:${number} names the subsystem '${name}': ${line}")
        math(EXPR failures "${failures} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} mention(s) of a subsystem in the window's frame")
endif()
message("the window's frame names none of: ${names}")
