# Runs zep-sim under a memory cap and checks that it ends cleanly: the exit
# status expected (2 refused, 0 played), a text in its output, never killed.
# -DPROG -DLIB -DARGS (a list) -DSTATUS -DTEXT -DCAP_MB -DSANITIZED; optional
# -DMAKE=brackets|stations|gigabyte_line writes the input first, to
# -DINPUT_PATH; -DSUBCOMMAND runs that subcommand on ARGS instead of a play.
if(MAKE STREQUAL "gigabyte_line")
  # A gzip file of under 5 MB holding a line of 1 GiB, then one of the
  # module's: 1024 members of 1 MiB each, made by doubling, in milliseconds.
  execute_process(COMMAND sh -c "set -e
    head -c 1048576 /dev/zero | tr '\\0' x | gzip -1 > '${INPUT_PATH}.part'
    for i in 1 2 3 4 5 6 7 8 9 10; do
      cat '${INPUT_PATH}.part' '${INPUT_PATH}.part' > '${INPUT_PATH}.twice'
      mv '${INPUT_PATH}.twice' '${INPUT_PATH}.part'
    done
    printf '\\nJan  1 00:00:00 ap zep: ZEP_STAMEAS_MeasStartProc[481]: Host 0 start measure, number 4 radio 0.\\n' |
      gzip >> '${INPUT_PATH}.part'
    mv '${INPUT_PATH}.part' '${INPUT_PATH}'" RESULT_VARIABLE made)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "could not write ${INPUT_PATH}")
  endif()
elseif(MAKE STREQUAL "brackets")
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
if(SUBCOMMAND)
  set(command ${capped} ${SUBCOMMAND} ${ARGS})
else()
  set(command ${capped} --lib ${LIB} -q ${ARGS})
endif()
execute_process(COMMAND ${command}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS} under ${CAP_MB} MB\n${out}${err}")
endif()
string(FIND "${out}${err}" "${TEXT}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "output lacks \"${TEXT}\":\n${out}${err}")
endif()
