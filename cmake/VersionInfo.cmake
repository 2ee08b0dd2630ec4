# The version resource of our modules, from one definition of the version: the numeric file
# version is the project's VERSION; the product version and the string table are set here.
#
# tavo_add_version_info(TARGET) places a VS_VERSIONINFO block in TARGET's ELF section
# ".versioninfo", where GetFileVersionInfoSizeA and its companions read it.

set(TAVO_PRODUCT_VERSION "2.0.0.0")
set(TAVO_FILE_DESCRIPTION "打印控件")
set(TAVO_PRODUCT_NAME "Tavo")
# Chinese (simplified), Unicode.
set(TAVO_VERSION_LANGUAGE "0x0804")
set(TAVO_VERSION_CODEPAGE "0x04B0")

set(TAVO_VERSIONINFO_GENERATOR_SOURCE ${CMAKE_CURRENT_LIST_DIR}/../tools/versioninfo/GenerateVersionInfo.cpp)

# The generator runs at build time, on the build machine. Natively it is one more target of the
# tree; in a cross build that target would be a program of the target architecture, so the
# generator is compiled instead with the build machine's own compiler (it needs nothing but
# the C++ standard library, and its output is the same bytes on every architecture).
if(CMAKE_CROSSCOMPILING)
  find_program(TAVO_HOST_CXX_COMPILER NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH REQUIRED
               DOC "The build machine's C++ compiler, for the tools the build runs")
  set(TAVO_VERSIONINFO_GENERATOR ${PROJECT_BINARY_DIR}/host/tavo_versioninfo_gen)
  add_custom_command(
    OUTPUT ${TAVO_VERSIONINFO_GENERATOR}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/host
    COMMAND ${TAVO_HOST_CXX_COMPILER} -std=c++20 -O2 -o ${TAVO_VERSIONINFO_GENERATOR}
            ${TAVO_VERSIONINFO_GENERATOR_SOURCE}
    DEPENDS ${TAVO_VERSIONINFO_GENERATOR_SOURCE}
    COMMENT "Building the version resource generator for the build machine"
    VERBATIM)
  add_custom_target(tavo_versioninfo_gen DEPENDS ${TAVO_VERSIONINFO_GENERATOR})
else()
  set(TAVO_VERSIONINFO_GENERATOR tavo_versioninfo_gen)
endif()

function(tavo_add_version_info target)
  if(NOT TARGET tavo_versioninfo_gen)
    add_executable(tavo_versioninfo_gen ${TAVO_VERSIONINFO_GENERATOR_SOURCE})
  endif()

  # Four numbers, the missing ones 0.
  set(file_version "${CMAKE_PROJECT_VERSION}")
  string(REPLACE "." ";" parts "${file_version}")
  list(LENGTH parts count)
  while(count LESS 4)
    list(APPEND parts 0)
    math(EXPR count "${count} + 1")
  endwhile()
  list(JOIN parts "." file_version)

  string(MAKE_C_IDENTIFIER "tavo_version_info_${target}" symbol)
  string(SUBSTRING "${TAVO_VERSION_LANGUAGE}" 2 -1 language)
  string(SUBSTRING "${TAVO_VERSION_CODEPAGE}" 2 -1 codepage)
  set(definition ${CMAKE_CURRENT_BINARY_DIR}/${target}_versioninfo.txt)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_versioninfo.cpp)
  # Written only when its content changes, so an unchanged version rebuilds nothing.
  file(CONFIGURE OUTPUT ${definition} @ONLY CONTENT "Symbol=${symbol}
FileVersion=${file_version}
ProductVersion=${TAVO_PRODUCT_VERSION}
FileType=2
StringTable=${language}${codepage}
Translation=${TAVO_VERSION_LANGUAGE},${TAVO_VERSION_CODEPAGE}
String.FileDescription=${TAVO_FILE_DESCRIPTION}
String.FileVersion=${file_version}
String.ProductName=${TAVO_PRODUCT_NAME}
String.ProductVersion=${TAVO_PRODUCT_VERSION}
String.OleSelfRegister=
")
  add_custom_command(
    OUTPUT ${source}
    COMMAND ${TAVO_VERSIONINFO_GENERATOR} ${definition} ${source}
    DEPENDS tavo_versioninfo_gen ${TAVO_VERSIONINFO_GENERATOR} ${definition}
    COMMENT "Generating the version resource of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source})
endfunction()
