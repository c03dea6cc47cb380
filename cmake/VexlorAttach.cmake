# vexlor_attach(<target> [OPTIONS <ini>]): the executable carries the reporter
# data (options and debug data) as the RCDATA resource "VLDATA". The link runs
# through cmake/VexlorAttachLink.sh, which needs the host tool 'vexlor' built by
# the native-release preset (VEXLOR_HOST_TOOL_DIR). Targets keep -g so that the
# first link has the DWARF the data is built from; the product is stripped.
set(VEXLOR_HOST_TOOL_DIR "" CACHE PATH "Folder of the host-built vexlor tool")

function(vexlor_attach target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(A "" "OPTIONS" "" ${ARGN})
  if(NOT VEXLOR_HOST_TOOL_DIR)
    message(FATAL_ERROR "vexlor_attach(${target}): VEXLOR_HOST_TOOL_DIR is not set")
  endif()
  find_program(VEXLOR_STRIP NAMES x86_64-w64-mingw32-strip REQUIRED)
  set(ini -)
  if(A_OPTIONS)
    get_filename_component(ini ${A_OPTIONS} ABSOLUTE)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ini})
  endif()
  # A new host tool or launcher re-attaches: the data format follows the tool.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/VexlorAttachLink.sh
                                                             ${VEXLOR_HOST_TOOL_DIR}/vexlor)
  target_compile_options(${target} PRIVATE -g)
  target_link_options(${target} PRIVATE -g)
  set_target_properties(${target} PROPERTIES CXX_LINKER_LAUNCHER
    "${PROJECT_SOURCE_DIR}/cmake/VexlorAttachLink.sh;${VEXLOR_HOST_TOOL_DIR}/vexlor;${CMAKE_RC_COMPILER};${VEXLOR_STRIP};${ini};--")
endfunction()
