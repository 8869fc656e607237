# Runs zep-sim and checks its exit status and that its output holds a text.
# -DPROG -DLIB -DARGS (a list) -DSTATUS -DTEXT
execute_process(COMMAND ${PROG} --lib ${LIB} ${ARGS}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\n${out}${err}")
endif()
string(FIND "${out}${err}" "${TEXT}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "output lacks \"${TEXT}\":\n${out}${err}")
endif()
