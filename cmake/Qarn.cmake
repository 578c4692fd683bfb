# Project-wide build helpers: third-party imports, type libraries, and tests
# that run the Windows binaries under Wine.

if(DEFINED ENV{QARN_DEPS_DIR})
  set(_qarn_default_deps "$ENV{QARN_DEPS_DIR}")
else()
  set(_qarn_default_deps "${CMAKE_SOURCE_DIR}/.deps")
endif()
set(QARN_DEPS_DIR "${_qarn_default_deps}" CACHE PATH "Folder the bootstrap script built the third-party libraries into")
set(QARN_IDL_DIR "${QARN_DEPS_DIR}/idl")
set(QARN_SQLITE_DIR "${QARN_DEPS_DIR}/sqlite")
option(QARN_BUILD_TESTS "Build the tests and run them under Wine" ON)

# The deliverables are 32-bit. On a machine that cannot run 32-bit code the
# tests use a 64-bit build of the same sources (scripts/test-arch.sh).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(QARN_MINGW_PREFIX "${QARN_DEPS_DIR}/mingw64")
  set(QARN_WIDL x86_64-w64-mingw32-widl)
  set(QARN_DLLTOOL x86_64-w64-mingw32-dlltool)
  set(QARN_WINE_STDOLE_DIR "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows")
  set(QARN_WINEARCH win64)
  set(QARN_WINELOADER /usr/lib/wine/wine64)
else()
  set(QARN_MINGW_PREFIX "${QARN_DEPS_DIR}/mingw")
  set(QARN_WIDL i686-w64-mingw32-widl)
  set(QARN_DLLTOOL i686-w64-mingw32-dlltool)
  set(QARN_WINE_STDOLE_DIR "/usr/lib/i386-linux-gnu/wine/i386-windows")
  set(QARN_WINEARCH win32)
  set(QARN_WINELOADER /usr/lib/wine/wine)
endif()
if(EXISTS /usr/lib/wine/wineserver64)
  set(QARN_WINESERVER /usr/lib/wine/wineserver64)
else()
  set(QARN_WINESERVER /usr/lib/wine/wineserver32)
endif()

# --- third-party libraries (static, built by scripts/bootstrap.sh) ---------

add_library(qarn::log4cplus STATIC IMPORTED GLOBAL)
set_target_properties(qarn::log4cplus PROPERTIES
  IMPORTED_LOCATION "${QARN_MINGW_PREFIX}/lib/liblog4cplus.a"
  INTERFACE_INCLUDE_DIRECTORIES "${QARN_MINGW_PREFIX}/include"
  INTERFACE_COMPILE_DEFINITIONS "LOG4CPLUS_STATIC"
  INTERFACE_LINK_LIBRARIES "ws2_32;advapi32")

add_library(qarn::gtest STATIC IMPORTED GLOBAL)
set_target_properties(qarn::gtest PROPERTIES
  IMPORTED_LOCATION "${QARN_MINGW_PREFIX}/lib/libgtest.a"
  INTERFACE_INCLUDE_DIRECTORIES "${QARN_MINGW_PREFIX}/include")
add_library(qarn::gtest_main STATIC IMPORTED GLOBAL)
set_target_properties(qarn::gtest_main PROPERTIES
  IMPORTED_LOCATION "${QARN_MINGW_PREFIX}/lib/libgtest_main.a"
  INTERFACE_LINK_LIBRARIES qarn::gtest)
add_library(qarn::gmock STATIC IMPORTED GLOBAL)
set_target_properties(qarn::gmock PROPERTIES
  IMPORTED_LOCATION "${QARN_MINGW_PREFIX}/lib/libgmock.a"
  INTERFACE_LINK_LIBRARIES qarn::gtest)

# --- type libraries ---------------------------------------------------------

# qarn_add_typelib(<target> <idl>): compiles the IDL with widl into a type
# library plus C header and GUID definitions, and gives <target> (a static
# library of the GUIDs) the generated folder as include path.
# The .tlb lands at ${CMAKE_CURRENT_BINARY_DIR}/<name>.tlb for the .rc file.
function(qarn_add_typelib target idl)
  get_filename_component(name "${idl}" NAME_WE)
  get_filename_component(idl_abs "${idl}" ABSOLUTE)
  set(out "${CMAKE_CURRENT_BINARY_DIR}")
  add_custom_command(
    OUTPUT "${out}/${name}.tlb" "${out}/${name}_h.h" "${out}/${name}_i.c"
    COMMAND ${QARN_WIDL} -I "${QARN_IDL_DIR}" -L "${QARN_WINE_STDOLE_DIR}"
            -t -o "${out}/${name}.tlb" "${idl_abs}"
    COMMAND ${QARN_WIDL} -I "${QARN_IDL_DIR}" -h -o "${out}/${name}_h.h" "${idl_abs}"
    COMMAND ${QARN_WIDL} -I "${QARN_IDL_DIR}" -u -o "${out}/${name}_i.c" "${idl_abs}"
    DEPENDS "${idl_abs}"
    COMMENT "widl ${name}.idl")
  add_library(${target} STATIC "${out}/${name}_i.c")
  target_include_directories(${target} PUBLIC "${out}")
  add_custom_target(${target}_tlb DEPENDS "${out}/${name}.tlb")
  add_dependencies(${target} ${target}_tlb)
endfunction()

# --- version resources --------------------------------------------------------

# qarn_add_version_resource(<target> <description> [SELF_REGISTER]): gives a
# deliverable its version resource, generated from the project version.
# SELF_REGISTER marks an in-process COM server as registering itself.
function(qarn_add_version_resource target description)
  get_target_property(type ${target} TYPE)
  set(QARN_VR_NAME "${target}")
  if(type STREQUAL "EXECUTABLE")
    set(QARN_VR_FILE "${target}.exe")
    set(QARN_VR_TYPE VFT_APP)
  else()
    set(QARN_VR_FILE "${target}.dll")
    set(QARN_VR_TYPE VFT_DLL)
  endif()
  set(QARN_VR_DESCRIPTION "${description}")
  set(QARN_VR_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(QARN_VR_SELF_REGISTER "")
  if("SELF_REGISTER" IN_LIST ARGN)
    set(QARN_VR_SELF_REGISTER "      VALUE \"OLESelfRegister\", \"\\0\"")
  endif()
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/Version.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()

# --- COM server exports ------------------------------------------------------

# qarn_add_com_server_exports(<target>): exports the four entry points of an
# in-process COM server by their plain names (i686 decorates stdcall names).
function(qarn_add_com_server_exports target)
  set(exports DllCanUnloadNow 0 DllGetClassObject 12 DllRegisterServer 0 DllUnregisterServer 0)
  set(def "LIBRARY ${target}.dll\nEXPORTS\n")
  while(exports)
    list(POP_FRONT exports name bytes)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
      string(APPEND def "  ${name} PRIVATE\n")
    else()
      string(APPEND def "  ${name} = ${name}@${bytes} PRIVATE\n")
    endif()
  endwhile()
  file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/${target}.def" "${def}")
  target_sources(${target} PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/${target}.def")
endfunction()

# --- Wine ------------------------------------------------------------------

if(NOT QARN_BUILD_TESTS)
  return()
endif()

string(MD5 _qarn_build_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${_qarn_build_hash}" 0 3 _qarn_hex)
math(EXPR _qarn_display "0x${_qarn_hex} % 400 + 100")
set(QARN_DISPLAY ":${_qarn_display}" CACHE STRING "X display of the tests' Xvfb")
set(QARN_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(QARN_LOCALE_DIR "${CMAKE_BINARY_DIR}/locale")
set(QARN_WINE_ENV "${CMAKE_BINARY_DIR}/wine-env.sh")
configure_file("${CMAKE_SOURCE_DIR}/scripts/wine-env.sh.in" "${QARN_WINE_ENV}" @ONLY)
configure_file("${CMAKE_SOURCE_DIR}/scripts/wine-run.sh.in" "${CMAKE_BINARY_DIR}/wine-run" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(QARN_WINE_RUN "${CMAKE_BINARY_DIR}/wine-run")
set(CMAKE_CROSSCOMPILING_EMULATOR "${QARN_WINE_RUN}")

# The prefix, Xvfb and a persistent wineserver live for the whole test run.
add_test(NAME wineprefix_setup COMMAND "${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh" setup "${QARN_WINE_ENV}")
add_test(NAME wineprefix_stop COMMAND "${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh" stop "${QARN_WINE_ENV}")
set_tests_properties(wineprefix_setup PROPERTIES FIXTURES_SETUP wineprefix TIMEOUT 300)
set_tests_properties(wineprefix_stop PROPERTIES FIXTURES_CLEANUP "wineprefix;registered" TIMEOUT 60)

# Windows path of a file under the prefix's Z: drive.
function(qarn_windows_path out unix_path)
  string(REPLACE "/" "\\" p "${unix_path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

# qarn_register_in_test_prefix(<target>): registers a COM server in the test
# prefix before the tests of fixture "registered" run.
function(qarn_register_in_test_prefix target)
  add_test(NAME register_${target} COMMAND "${QARN_WINE_RUN}" regsvr32 /s "Z:$<TARGET_FILE:${target}>")
  set_tests_properties(register_${target} PROPERTIES
    FIXTURES_SETUP registered FIXTURES_REQUIRED wineprefix RESOURCE_LOCK wineprefix_registry TIMEOUT 120)
endfunction()

# qarn_add_wine_test(NAME <name> COMMAND <target-or-command> [args...]
#                    [FIXTURES <fixture>...] [RUSSIAN] [TIMEOUT <s>]
#                    [WORKING_DIRECTORY <dir>] [ENVIRONMENT <k=v>...])
# A target name as COMMAND runs through wine-run; any other command runs as
# given (wine-run itself can be named for scripts run by cscript and the like).
function(qarn_add_wine_test)
  cmake_parse_arguments(T "RUSSIAN" "NAME;TIMEOUT;WORKING_DIRECTORY" "COMMAND;FIXTURES;ENVIRONMENT;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(T_WORKING_DIRECTORY)
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND} WORKING_DIRECTORY "${T_WORKING_DIRECTORY}")
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  endif()
  set(env ${T_ENVIRONMENT})
  if(T_RUSSIAN)
    list(APPEND env QARN_WINE_LOCALE=ru)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    FIXTURES_REQUIRED "wineprefix;${T_FIXTURES}" TIMEOUT ${T_TIMEOUT})
  if(env)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}")
  endif()
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# qarn_add_wine_bench(NAME <name> COMMAND ...): a benchmark, run by
# 'make bench' and left out of 'make test'.
function(qarn_add_wine_bench)
  qarn_add_wine_test(${ARGN} LABELS bench TIMEOUT 1800)
endfunction()
