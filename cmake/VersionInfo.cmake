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
    COMMAND tavo_versioninfo_gen ${definition} ${source}
    DEPENDS tavo_versioninfo_gen ${definition}
    COMMENT "Generating the version resource of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source})
endfunction()
