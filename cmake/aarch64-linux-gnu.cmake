# Cross build for 64-bit ARM access points on a Debian x86-64 machine: the
# g++ cross compiler, Debian's :arm64 libraries (multiarch), and qemu-user to
# run the programs and tests. `make cross-deps` installs all of it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# libyaml-cpp-dev cannot be installed for arm64 beside the amd64 one, so its
# arm64 build is unpacked here instead (libyaml-cpp0.7:arm64, the runtime, is
# installed normally and is what the programs load).
set(ZEP_AARCH64_EXTRA_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../build/aarch64-deps/usr"
    CACHE PATH "Unpacked arm64 development packages that multiarch cannot install")
list(APPEND CMAKE_PREFIX_PATH "${ZEP_AARCH64_EXTRA_PREFIX}")

# Only arm64 libraries and package files; programs (pkg-config, qemu) are the host's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")

# -L alone lets the cross loader pick up the multiarch libc, a different build
# from the loader's own; forked children (death tests) then spin forever.
# Pointing the library path at the cross libc keeps loader and libc together.
set(CMAKE_CROSSCOMPILING_EMULATOR
    qemu-aarch64 -L /usr/aarch64-linux-gnu -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib)
