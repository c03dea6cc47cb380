# vexlor_attach(<target> [OPTIONS <ini>]): the executable carries the reporter
# data (options and debug data) as the RCDATA resource "VLDATA". The link runs
# through VexlorAttachLink.sh beside this file, which calls the host tool
# 'vexlor'. Targets keep -g so that the first link has the DWARF the data is
# built from; the product is stripped.
#
# The host tool is taken from VEXLOR_HOST_TOOL_DIR when set, else found on the
# path (an installed tool), else built from this checkout for the build
# machine as part of the build (a native configure of its own, made once).
set(VEXLOR_HOST_TOOL_DIR "" CACHE PATH "Folder of the host-built vexlor tool (empty: find or build it)")

# The host tool's path; a target that needs it depends on vexlor_host_tool.
function(vexlor_host_tool out)
  if(VEXLOR_HOST_TOOL_DIR)
    set(${out} ${VEXLOR_HOST_TOOL_DIR}/vexlor PARENT_SCOPE)
    return()
  endif()
  if(NOT DEFINED CACHE{VEXLOR_INSTALLED_TOOL})
    find_program(VEXLOR_INSTALLED_TOOL NAMES vexlor NO_CMAKE_FIND_ROOT_PATH)
  endif()
  if(VEXLOR_INSTALLED_TOOL)
    set(${out} ${VEXLOR_INSTALLED_TOOL} PARENT_SCOPE)
    return()
  endif()
  set(host ${CMAKE_BINARY_DIR}/vexlor-host-tool)
  if(NOT TARGET vexlor_host_tool)
    include(ExternalProject)
    # The checkout: the folder above this file's.
    get_filename_component(source ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.. ABSOLUTE)
    ExternalProject_Add(vexlor_host_tool
      SOURCE_DIR ${source}
      BINARY_DIR ${host}
      CMAKE_ARGS -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLOR_WERROR=OFF -DVEXLOR_BUILD_TESTS=OFF
                 -DVEXLOR_BUILD_PLAYER=OFF
                 -DVEXLOR_BUILD_BENCH=OFF
      BUILD_COMMAND ${CMAKE_COMMAND} --build ${host} --target vexlor
      BUILD_BYPRODUCTS ${host}/tools/vexlor/vexlor
      INSTALL_COMMAND "")
  endif()
  set(${out} ${host}/tools/vexlor/vexlor PARENT_SCOPE)
endfunction()

function(vexlor_attach target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(A "" "OPTIONS" "" ${ARGN})
  vexlor_host_tool(tool)
  if(TARGET vexlor_host_tool)
    add_dependencies(${target} vexlor_host_tool)
  endif()
  find_program(VEXLOR_STRIP NAMES x86_64-w64-mingw32-strip REQUIRED)
  set(ini -)
  if(A_OPTIONS)
    get_filename_component(ini ${A_OPTIONS} ABSOLUTE)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ini})
  endif()
  set(launcher ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/VexlorAttachLink.sh)
  # A new host tool or launcher re-attaches: the data format follows the tool.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${launcher} ${tool})
  target_compile_options(${target} PRIVATE -g)
  target_link_options(${target} PRIVATE -g)
  # The reporter is C++: a C program is linked by the C++ driver, through the
  # same launcher, whatever languages its own sources are in.
  set_target_properties(${target} PROPERTIES
    LINKER_LANGUAGE CXX
    CXX_LINKER_LAUNCHER "${launcher};${tool};${CMAKE_RC_COMPILER};${VEXLOR_STRIP};${ini};--")
endfunction()
