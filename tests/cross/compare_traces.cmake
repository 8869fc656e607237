# Plays every scenario with the native zep-sim and with the cross-built one
# under the emulator, and requires the same exit status and the same trace,
# line for line, once wall-clock cost figures (which no two runs share) are
# taken out.
# -DNATIVE_SIM -DNATIVE_LIB -DCROSS_SIM -DCROSS_LIB -DEMULATOR (a list) -DSCENARIOS -DOUT
cmake_minimum_required(VERSION 3.25)

function(play label out_dir scenario)
  get_filename_component(name ${scenario} NAME_WE)
  execute_process(COMMAND ${ARGN} --trace ${out_dir}/${name}.jsonl ${scenario}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
  set(${label}_status "${status}" PARENT_SCOPE)
  set(${label}_err "${err}" PARENT_SCOPE)
  file(READ ${out_dir}/${name}.jsonl trace)
  string(REGEX REPLACE "\"[A-Za-z]*[Cc]ost[A-Za-z]*\":[-+.0-9eE]+" "\"cost\":_" trace "${trace}")
  set(${label}_trace "${trace}" PARENT_SCOPE)
endfunction()

if(NOT EXISTS ${NATIVE_SIM} OR NOT EXISTS ${NATIVE_LIB})
  message(FATAL_ERROR "no native zep-sim to compare with at ${NATIVE_SIM}: build the native "
                      "test preset first (cmake --build --preset test --target zep-sim sta_meas)")
endif()
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/native ${OUT}/cross)
file(GLOB scenarios ${SCENARIOS}/*.yaml)
# The day-long load and the 60-day soak would take hours under the emulator;
# they are played natively by `make load-day` and `make soak`.
list(FILTER scenarios EXCLUDE REGEX "/(load-day|soak)\\.yaml$")
set(differing "")
foreach(scenario ${scenarios})
  play(native ${OUT}/native ${scenario} ${NATIVE_SIM} --lib ${NATIVE_LIB})
  play(cross ${OUT}/cross ${scenario} ${EMULATOR} ${CROSS_SIM} --lib ${CROSS_LIB})
  get_filename_component(name ${scenario} NAME)
  if(NOT native_status STREQUAL cross_status)
    list(APPEND differing "${name}: exit ${native_status} native, ${cross_status} cross\n${cross_err}")
  elseif(NOT native_trace STREQUAL cross_trace)
    list(APPEND differing "${name}: traces differ (see ${OUT}/native and ${OUT}/cross)")
  elseif(native_trace STREQUAL "")
    list(APPEND differing "${name}: empty trace")
  endif()
endforeach()
list(LENGTH scenarios count)
if(count EQUAL 0)
  message(FATAL_ERROR "no scenarios under ${SCENARIOS}")
endif()
if(differing)
  string(REPLACE ";" "\n" differing "${differing}")
  message(FATAL_ERROR "${differing}")
endif()
message(STATUS "${count} scenarios: identical traces native and cross")
