# Installs the build into a fresh prefix and uses it as a framework build would:
# pkg-config finds the package, a C component compiles against the installed
# headers as C11 and as C++ with every warning an error, links against the
# installed library, the installed zep-sim plays its demo from the prefix, and
# the installed zep-contract finds every check holding on the emulation.
# -DBUILD -DPREFIX -DLIBDIR -DSOURCE -DCC -DCXX -DNM -DEMULATOR (a list, may be empty)
# -DPC_LIBDIR (where pkg-config finds the dependencies' .pc files; empty: its default)
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/run_checked.cmake)

file(REMOVE_RECURSE ${PREFIX})
run("install" ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX})

set(ENV{PKG_CONFIG_PATH} ${PREFIX}/${LIBDIR}/pkgconfig)
if(PC_LIBDIR)
  set(ENV{PKG_CONFIG_LIBDIR} ${PC_LIBDIR})
endif()
run("pkg-config --cflags" pkg-config --cflags sta-meas)
separate_arguments(cflags UNIX_COMMAND "${out}")
run("pkg-config --libs" pkg-config --libs sta-meas)
separate_arguments(libs UNIX_COMMAND "${out}")
set(into_prefix FALSE)
file(REAL_PATH ${PREFIX}/include/zep prefix_dir)
foreach(flag ${cflags})
  if(flag MATCHES "^-I(.*)")
    file(REAL_PATH ${CMAKE_MATCH_1} dir)
    if(dir STREQUAL prefix_dir)
      set(into_prefix TRUE)
    endif()
  endif()
endforeach()
if(NOT into_prefix)
  message(FATAL_ERROR "pkg-config --cflags does not point into the prefix: ${cflags}")
endif()

set(strict -Wall -Wextra -Werror -pedantic -fPIC)
run("C11 compile" ${CC} -std=c11 ${strict} ${cflags} -c ${SOURCE} -o ${PREFIX}/consumer_c.o)
run("C++ compile" ${CXX} -x c++ -std=c++20 ${strict} ${cflags} -c ${SOURCE} -o ${PREFIX}/consumer_cxx.o)
run("link against the installed library"
    ${CC} -shared ${PREFIX}/consumer_c.o ${libs} -o ${PREFIX}/libconsumer.so)

# Compiled as C++, the framework's operations must still be the plain C names
# the framework exports: a missing extern "C" shows here as a mangled name.
run("nm" ${NM} -u ${PREFIX}/consumer_cxx.o)
foreach(name ZEP_MNG_CheckMsgValid ZEP_MNG_RegMsg ZEP_MNG_SendMsg ZEP_DBG_Print)
  if(NOT out MATCHES "U ${name}\n")
    message(FATAL_ERROR "the C++ build does not call ${name} by its C name:\n${out}")
  endif()
endforeach()

run("installed zep-sim" ${EMULATOR} ${PREFIX}/bin/zep-sim)
if(NOT out MATCHES "de-initialisation +ok")
  message(FATAL_ERROR "the installed zep-sim did not play the demo to its end:\n${out}")
endif()

run("installed zep-contract" ${EMULATOR} ${PREFIX}/bin/zep-contract)
if(NOT out MATCHES "check\\(s\\): [0-9]+ held, 0 failed")
  message(FATAL_ERROR "the installed zep-contract did not run its checks:\n${out}")
endif()
