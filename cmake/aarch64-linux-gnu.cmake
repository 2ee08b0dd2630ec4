# Cross build for arm64 (aarch64-linux-gnu) on an amd64 Debian machine that holds the arm64
# libraries beside its own (multiarch, /usr/lib/aarch64-linux-gnu), as `scripts/setup --cross
# arm64` leaves it:
#
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#
# Qt's host tools (moc) are the build machine's: Debian's arm64 Qt names the one shared path,
# /usr/lib/qt6/libexec. Programs of the tree run on the build machine under qemu, named here
# because these machines do not register it with the kernel (binfmt): for the tests' discovery
# at build time and for CTest.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "pkg-config for arm64")

# -L /: the target's dynamic loader and libraries are the machine's multiarch ones.
find_program(TAVO_QEMU_AARCH64 qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVO_QEMU_AARCH64} -L /)

# What multiarch cannot install beside the machine's own packages (libzint keeps its library in
# /usr/lib, where the amd64 one is) is unpacked under this folder; searched first, so the
# build never picks the amd64 library of the same name.
set(TAVO_CROSS_ROOT /opt/tavo-cross/arm64 CACHE PATH "arm64 packages unpacked beside multiarch")
list(PREPEND CMAKE_LIBRARY_PATH ${TAVO_CROSS_ROOT}/usr/lib)
