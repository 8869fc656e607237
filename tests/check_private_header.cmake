# The module's private header is its own: the emulation, the recorder and the
# tools see the module only through its public records and the framework, so
# that a change to its node record cannot silently break them; nor does a
# build file outside the module read it. -DSRC_DIR=<src>
# -DAPP_DIR=<the module's folder, relative to src>
file(GLOB_RECURSE sources RELATIVE ${SRC_DIR} ${SRC_DIR}/*.c ${SRC_DIR}/*.cpp ${SRC_DIR}/*.h ${SRC_DIR}/*.hpp)
set(violations "")
foreach(src ${sources})
  if(src MATCHES "^${APP_DIR}/")
    continue()
  endif()
  file(STRINGS ${SRC_DIR}/${src} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*/)?sta_meas_inner\\.h[>\"]")
  foreach(line ${includes})
    string(APPEND violations "\n  ${src}: ${line}")
  endforeach()
endforeach()
file(GLOB_RECURSE build_files RELATIVE ${SRC_DIR} ${SRC_DIR}/CMakeLists.txt ${SRC_DIR}/*.cmake)
foreach(build_file ${build_files})
  if(build_file MATCHES "^${APP_DIR}/")
    continue()
  endif()
  file(STRINGS ${SRC_DIR}/${build_file} mentions REGEX "sta_meas_inner\\.h")
  foreach(line ${mentions})
    string(APPEND violations "\n  ${build_file}: ${line}")
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "the module's private header is included or read outside the module:${violations}")
endif()
