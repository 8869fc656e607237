# Runs zep-sim under a memory cap and checks that it ends cleanly: the exit
# status expected (2 refused, 0 played), a text in its output, never killed.
# -DPROG -DLIB -DARGS (a list) -DSTATUS -DTEXT -DCAP_MB -DSANITIZED; optional
# -DMAKE=brackets|stations writes the input first, to -DINPUT_PATH.
if(MAKE STREQUAL "brackets")
  string(REPEAT "[" 1000000 text)
  file(WRITE ${INPUT_PATH} "steps: ${text}\n")
elseif(MAKE STREQUAL "stations")
  # 2 MiB of stations: twice what a scenario may hold, refused while read.
  string(REPEAT "  - {mac: \"00:11:22:33:44:55\", caps: [lm]}\n" 48000 stations)
  file(WRITE ${INPUT_PATH} "stations:\n${stations}steps: [start]\n")
endif()
if(SANITIZED)
  # The sanitizers reserve terabytes of address space, so an address-space
  # limit would stop them at once; their own resident-size limit caps instead.
  set(ENV{ASAN_OPTIONS} "hard_rss_limit_mb=${CAP_MB}:quarantine_size_mb=8")
  set(capped ${PROG})
else()
  math(EXPR bytes "${CAP_MB} * 1048576")
  set(capped prlimit --as=${bytes} ${PROG})
endif()
execute_process(COMMAND ${capped} --lib ${LIB} -q ${ARGS}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS} under ${CAP_MB} MB\n${out}${err}")
endif()
string(FIND "${out}${err}" "${TEXT}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "output lacks \"${TEXT}\":\n${out}${err}")
endif()
