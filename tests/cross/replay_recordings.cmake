# Records every scenario with the cross-built zep-sim and recording build under
# the emulator, and replays each recording with the native zep-sim against the
# native library: a recording made on the target must replay "same" here.
# -DNATIVE_SIM -DNATIVE_LIB -DCROSS_SIM -DCROSS_REC_LIB -DEMULATOR (a list) -DSCENARIOS -DOUT
cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS ${NATIVE_SIM} OR NOT EXISTS ${NATIVE_LIB})
  message(FATAL_ERROR "no native zep-sim to replay with at ${NATIVE_SIM}: build the native "
                      "test preset first (cmake --build --preset test --target zep-sim sta_meas)")
endif()
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
file(GLOB scenarios ${SCENARIOS}/*.yaml)
# As for the traces: the day-long ones would take hours under the emulator.
list(FILTER scenarios EXCLUDE REGEX "/(load-day|soak)\\.yaml$")
set(failed "")
foreach(scenario ${scenarios})
  get_filename_component(name ${scenario} NAME_WE)
  set(rec ${OUT}/${name}.rec)
  execute_process(COMMAND ${EMULATOR} ${CROSS_SIM} -q --lib ${CROSS_REC_LIB} --record ${rec} ${scenario}
    RESULT_VARIABLE played OUTPUT_QUIET ERROR_VARIABLE err)
  # A scenario's expectations may fail on purpose; the recording is what counts.
  if(NOT EXISTS ${rec})
    list(APPEND failed "${name}: no recording (exit ${played})\n${err}")
    continue()
  endif()
  execute_process(COMMAND ${NATIVE_SIM} replay ${rec} --lib ${NATIVE_LIB}
    RESULT_VARIABLE replayed OUTPUT_VARIABLE verdict ERROR_VARIABLE err)
  if(NOT replayed EQUAL 0 OR NOT verdict MATCHES ": same \\([0-9]+ events\\)\n$")
    list(APPEND failed "${name}: replay exit ${replayed}\n${verdict}${err}")
  endif()
endforeach()
list(LENGTH scenarios count)
if(count EQUAL 0)
  message(FATAL_ERROR "no scenarios under ${SCENARIOS}")
endif()
if(failed)
  string(REPLACE ";" "\n" failed "${failed}")
  message(FATAL_ERROR "${failed}")
endif()
message(STATUS "${count} scenarios recorded on the target replay the same natively")
