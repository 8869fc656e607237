# Builds the Debian package from the build tree and checks that it carries
# exactly the library (with its SONAME link), the headers, the pkg-config file,
# zep-sim with its bash completion and man page, and zep-contract with its
# sources, and declares what they need at run time.
# -DBUILD -DOUT -DCPACK -DLIBDIR -DHEADERS (a list of header file names)
# -DKIT_SOURCES (the file names of zep-contract's sources)
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/run_checked.cmake)

file(REMOVE_RECURSE ${OUT})
run("cpack" ${CPACK} -G DEB --config ${BUILD}/CPackConfig.cmake -B ${OUT})
file(GLOB deb ${OUT}/*.deb)
list(LENGTH deb count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb in ${OUT}, found: ${deb}")
endif()

run("dpkg-deb -c" dpkg-deb -c ${deb})
# One line per entry, "./usr/..." last; directories end in "/", and symbolic
# links add " -> target": only the names of files and links are compared.
string(REPLACE "\n" ";" lines "${out}")
set(shipped "")
foreach(line ${lines})
  if(line MATCHES " (\\./usr/[^ ]*[^/])( -> .*)?$")
    list(APPEND shipped ${CMAKE_MATCH_1})
  endif()
endforeach()
set(lib ./usr/${LIBDIR})
set(expected ./usr/bin/zep-sim ./usr/share/bash-completion/completions/zep-sim
             ./usr/share/man/man1/zep-sim.1.gz ./usr/bin/zep-contract
             ${lib}/pkgconfig/sta-meas.pc ${lib}/libsta_meas.so.0
             ${lib}/libsta_meas.so ${lib}/libsta_meas.so.0 ${lib}/libsta_meas.so.0.1.0
             ${lib}/libsta_meas_rec.so ${lib}/libsta_meas_rec.so.0 ${lib}/libsta_meas_rec.so.0.1.0)
foreach(header ${HEADERS})
  list(APPEND expected ./usr/include/zep/${header})
endforeach()
foreach(source ${KIT_SOURCES})
  list(APPEND expected ./usr/share/sta-meas/zep-contract/${source})
endforeach()
list(SORT shipped)
list(REMOVE_DUPLICATES expected)
list(SORT expected)
if(NOT shipped STREQUAL expected)
  message(FATAL_ERROR "package contents differ.\nshipped:  ${shipped}\nexpected: ${expected}")
endif()

run("dpkg-deb -f" dpkg-deb -f ${deb} Depends)
foreach(dependency libc6 libstdc\\+\\+6 libyaml-cpp0\\.7 libsafec3 libsafec-dev)
  if(NOT out MATCHES "(^|, )${dependency}( |,|$)")
    message(FATAL_ERROR "Depends lacks ${dependency}: ${out}")
  endif()
endforeach()
