# The kit's list of the module's framework operations is exactly the ZEP_ and
# UMAC_ names the library leaves undefined, and each has a check or a reason.
execute_process(COMMAND ${NM} -D --undefined-only ${LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIB}")
endif()
string(REGEX MATCHALL "U (ZEP|UMAC)_[A-Za-z0-9_]+" calls "${symbols}")
list(TRANSFORM calls REPLACE "^U " "")
list(SORT calls)

execute_process(COMMAND ${EMULATOR} ${KIT} --operations OUTPUT_VARIABLE listed RESULT_VARIABLE rc)
string(STRIP "${listed}" listed)
string(REPLACE "\n" ";" listed "${listed}")
list(SORT listed)
if(NOT rc EQUAL 0 OR NOT calls STREQUAL listed)
  message(FATAL_ERROR "the module calls:\n  ${calls}\nzep-contract lists:\n  ${listed}")
endif()

execute_process(COMMAND ${EMULATOR} ${KIT} --coverage OUTPUT_VARIABLE table RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "an operation has neither a check nor a reason:\n${table}")
endif()
