# The layers of src/ and how a subsystem declares itself.
#
# Every file of src/ belongs to one layer. A layer names the layers it sees: SEES edges are passed
# on (whoever sees this layer sees them too), ALSO_SEES edges are this layer's alone. Layers marked
# QT may include Qt. halvern_write_layers() writes what was declared into the build folder:
# layers.txt (one "layer path" line per file, paths relative to src/), layer_edges.cmake (each
# layer's edges and the Qt layers) and subsystems.txt (one subsystem name a line). The include-edge
# test (tests/layers/check_includes.cmake) reads the first two, the test of the top-level CMake
# files the third: the edges are written here and nowhere else.
#
# A library's target is halvern_<layer>; it links the libraries of the layers it sees.

set(HALVERN_SOURCE_ROOT ${PROJECT_SOURCE_DIR}/src)
set(HALVERN_TEST_ROOT ${PROJECT_SOURCE_DIR}/tests)

# halvern_layer(layer [QT] [SEES layer...] [ALSO_SEES layer...] [FILES path...]): records `layer`,
# its edges and its files (relative to the calling folder). May be called again to add to a layer.
function(halvern_layer layer)
  cmake_parse_arguments(ARG "QT" "" "SEES;ALSO_SEES;FILES" ${ARGN})
  get_property(known GLOBAL PROPERTY HALVERN_LAYERS)
  if(NOT layer IN_LIST known)
    set_property(GLOBAL APPEND PROPERTY HALVERN_LAYERS ${layer})
  endif()
  set_property(GLOBAL APPEND PROPERTY HALVERN_SEES_${layer} ${ARG_SEES})
  set_property(GLOBAL APPEND PROPERTY HALVERN_ALSO_SEES_${layer} ${ARG_ALSO_SEES})
  if(ARG_QT)
    set_property(GLOBAL PROPERTY HALVERN_QT_${layer} TRUE)
  endif()
  foreach(file IN LISTS ARG_FILES)
    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE
      OUTPUT_VARIABLE absolute)
    cmake_path(RELATIVE_PATH absolute BASE_DIRECTORY ${HALVERN_SOURCE_ROOT}
      OUTPUT_VARIABLE relative)
    set_property(GLOBAL APPEND PROPERTY HALVERN_LAYER_MAP "${layer} ${relative}")
  endforeach()
endfunction()

# halvern_library(layer [QT] [SEES layer...] [ALSO_SEES layer...] FILES path...): the static
# library halvern_<layer> of the files, linked to halvern_<seen layer> for every layer it sees.
function(halvern_library layer)
  cmake_parse_arguments(ARG "QT" "" "SEES;ALSO_SEES;FILES" ${ARGN})
  set(qt)
  if(ARG_QT)
    set(qt QT)
  endif()
  halvern_layer(${layer} ${qt} SEES ${ARG_SEES} ALSO_SEES ${ARG_ALSO_SEES} FILES ${ARG_FILES})
  add_library(halvern_${layer} STATIC ${ARG_FILES})
  target_include_directories(halvern_${layer} PUBLIC ${HALVERN_SOURCE_ROOT})
  foreach(seen IN LISTS ARG_SEES ARG_ALSO_SEES)
    target_link_libraries(halvern_${layer} PUBLIC halvern_${seen})
  endforeach()
  if(ARG_QT)
    set_target_properties(halvern_${layer} PROPERTIES AUTOMOC ON)
  endif()
endfunction()

# Appends the files (relative to `base`) as absolute paths to the global list `property`.
function(halvern_collect property base)
  foreach(file IN LISTS ARGN)
    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${base} NORMALIZE OUTPUT_VARIABLE absolute)
    set_property(GLOBAL APPEND PROPERTY ${property} ${absolute})
  endforeach()
endfunction()

# The layers every subsystem's core sees: the exchange with the instrument and the file helpers
# (and what they see in turn).
set(HALVERN_SUBSYSTEM_BASE link files)

# halvern_subsystem(name [DEPENDS subsystem...] CORE file... [UI file...] [CLI file...]
#                   [SIM file...] [RESPONDER function] [TESTS file...] [WIDGET_TESTS file...]
#                   [E2E_TESTS file...] [FUZZ harness...])
# The one declaration of a subsystem, made in its folder under src/:
#   CORE   halvern_<name>, plain C++ (layer <name>): sees the subsystems in DEPENDS and the base.
#   UI     halvern_<name>_ui, Qt (layer <name>_ui): its page and module; sees its core and the
#          host. The window links every module whole, so modules register themselves.
#   CLI    its command files of halvern-cli (layer <name>_cli), which register themselves; they
#          see its core, the command-line tool's own files and the headers of its UI.
#   SIM    its part of the simulated instrument, compiled into halvern_sim (layer sim: the
#          instrument's side sees the wire and the platform only).
#   RESPONDER  the function of its SIM files that adds its responder to the instrument's
#          (void function(halvern::sim::ResponderSet&)); the instrument calls them all, in the
#          order the subsystems are declared, through installResponders (halvern_write_responders).
#   TESTS, WIDGET_TESTS, E2E_TESTS  test files (relative to tests/) of the shared executables
#          halvern_core_tests (label core), halvern_widget_tests (widget), halvern_e2e_tests (e2e).
#   FUZZ   libFuzzer harnesses fuzz/<harness>_fuzzer.cpp, each fuzz_<harness> on its core.
# File paths are relative to the subsystem's folder unless said otherwise. The core-only build
# (HALVERN_CORE_ONLY) takes CORE, SIM, TESTS and FUZZ and leaves the rest.
function(halvern_subsystem name)
  cmake_parse_arguments(ARG "" "RESPONDER"
    "DEPENDS;CORE;UI;CLI;SIM;TESTS;WIDGET_TESTS;E2E_TESTS;FUZZ" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "halvern_subsystem(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ARG_CORE)
    message(FATAL_ERROR "halvern_subsystem(${name}): a subsystem has a core (CORE files)")
  endif()
  get_property(declared GLOBAL PROPERTY HALVERN_SUBSYSTEMS)
  foreach(dependency IN LISTS ARG_DEPENDS)
    if(NOT dependency IN_LIST declared)
      message(FATAL_ERROR "halvern_subsystem(${name}): ${dependency} is not declared before it")
    endif()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY HALVERN_SUBSYSTEMS ${name})

  halvern_library(${name} SEES ${ARG_DEPENDS} ${HALVERN_SUBSYSTEM_BASE} FILES ${ARG_CORE})
  halvern_layer(sim FILES ${ARG_SIM})
  halvern_collect(HALVERN_SIM_SOURCES ${CMAKE_CURRENT_SOURCE_DIR} ${ARG_SIM})
  if(ARG_RESPONDER)
    set_property(GLOBAL APPEND PROPERTY HALVERN_SIM_RESPONDERS ${ARG_RESPONDER})
  endif()
  halvern_collect(HALVERN_CORE_TEST_SOURCES ${HALVERN_TEST_ROOT} ${ARG_TESTS})
  foreach(harness IN LISTS ARG_FUZZ)
    set_property(GLOBAL APPEND PROPERTY HALVERN_FUZZ_HARNESSES ${harness})
    set_property(GLOBAL PROPERTY HALVERN_FUZZ_LIBRARY_${harness} halvern_${name})
  endforeach()
  if(HALVERN_CORE_ONLY)
    return()
  endif()

  set(ui_headers)
  if(ARG_UI)
    halvern_library(${name}_ui QT SEES ${name} host FILES ${ARG_UI})
    set_property(GLOBAL APPEND PROPERTY HALVERN_MODULES halvern_${name}_ui)
    set(ui_headers ${name}_ui)
  endif()
  if(ARG_CLI)
    halvern_layer(${name}_cli QT SEES ${name} cli ALSO_SEES ${ui_headers} FILES ${ARG_CLI})
    halvern_collect(HALVERN_CLI_SOURCES ${CMAKE_CURRENT_SOURCE_DIR} ${ARG_CLI})
  endif()
  halvern_collect(HALVERN_WIDGET_TEST_SOURCES ${HALVERN_TEST_ROOT} ${ARG_WIDGET_TESTS})
  halvern_collect(HALVERN_E2E_TEST_SOURCES ${HALVERN_TEST_ROOT} ${ARG_E2E_TESTS})
endfunction()

# The libraries of every subsystem's core, in the order they were declared.
function(halvern_subsystem_libraries out)
  get_property(names GLOBAL PROPERTY HALVERN_SUBSYSTEMS)
  list(TRANSFORM names PREPEND halvern_ OUTPUT_VARIABLE libraries)
  set(${out} ${libraries} PARENT_SCOPE)
endfunction()

# Writes layers.txt, layer_edges.cmake and subsystems.txt into the build folder.
function(halvern_write_layers)
  get_property(map GLOBAL PROPERTY HALVERN_LAYER_MAP)
  list(JOIN map "\n" text)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/layers.txt CONTENT "${text}\n" @ONLY)

  get_property(layers GLOBAL PROPERTY HALVERN_LAYERS)
  set(edges "# Written by halvern_write_layers() from the layer declarations of src/.\n")
  set(qt_layers)
  foreach(layer IN LISTS layers)
    get_property(sees GLOBAL PROPERTY HALVERN_SEES_${layer})
    get_property(also GLOBAL PROPERTY HALVERN_ALSO_SEES_${layer})
    list(REMOVE_DUPLICATES sees)
    list(REMOVE_DUPLICATES also)
    string(APPEND edges "set(sees_${layer} ${sees})\nset(also_sees_${layer} ${also})\n")
    get_property(qt GLOBAL PROPERTY HALVERN_QT_${layer})
    if(qt)
      list(APPEND qt_layers ${layer})
    endif()
  endforeach()
  string(APPEND edges "set(LAYER_NAMES ${layers})\nset(QT_LAYERS ${qt_layers})\n")
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/layer_edges.cmake CONTENT "${edges}" @ONLY)

  get_property(names GLOBAL PROPERTY HALVERN_SUBSYSTEMS)
  list(JOIN names "\n" text)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/subsystems.txt CONTENT "${text}\n" @ONLY)
endfunction()

# halvern_write_responders(out): writes `out`, the simulated instrument's installResponders, which
# calls every subsystem's RESPONDER function in the order the subsystems were declared.
function(halvern_write_responders out)
  get_property(functions GLOBAL PROPERTY HALVERN_SIM_RESPONDERS)
  set(declarations "")
  set(calls "")
  foreach(function IN LISTS functions)
    string(APPEND declarations "void ${function}(ResponderSet& set);\n")
    string(APPEND calls "  ${function}(set);\n")
  endforeach()
  file(CONFIGURE OUTPUT ${out} @ONLY CONTENT
"// Made by the build from the subsystems' declarations (RESPONDER): do not edit.
#include \"sim/responder_set.h\"

namespace halvern::sim {

@declarations@
void installResponders(ResponderSet& set) {
@calls@}

}  // namespace halvern::sim
")
endfunction()
