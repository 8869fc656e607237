# The module's private header is its own: the emulation, the recorder and the
# tools see the module only through its public records and the framework, so
# that a change to its node record cannot silently break them; nor does a
# build file outside the module read it. -DSRC_DIR=<src>
# -DAPP_DIR=<the module's folder, relative to src>
file(GLOB_RECURSE files RELATIVE ${SRC_DIR} ${SRC_DIR}/*.c ${SRC_DIR}/*.cpp ${SRC_DIR}/*.h ${SRC_DIR}/*.hpp
     ${SRC_DIR}/CMakeLists.txt ${SRC_DIR}/*.cmake)
set(include_line "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*/)?sta_meas_inner\\.h[>\"]")
set(violations "")
foreach(file ${files})
  if(file MATCHES "^${APP_DIR}/")
    continue()
  endif()
  if(file MATCHES "(CMakeLists\\.txt|\\.cmake)$")
    file(STRINGS ${SRC_DIR}/${file} lines REGEX "sta_meas_inner\\.h")
  else()
    file(STRINGS ${SRC_DIR}/${file} lines REGEX "${include_line}")
  endif()
  foreach(line ${lines})
    string(APPEND violations "\n  ${file}: ${line}")
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "the module's private header is included or read outside the module:${violations}")
endif()
