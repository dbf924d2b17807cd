# Tests of the Windows build, run through Wine in the build tree's prefix.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(TEST_LINK -static)

add_executable(unit_portable tests/unit/main.cpp ${PORTABLE_TESTS})
target_link_libraries(unit_portable PRIVATE portable GTest::gtest)
target_link_options(unit_portable PRIVATE ${TEST_LINK})

add_executable(unit_windows tests/unit/main.cpp
  tests/unit/test_registry_win.cpp
  tests/unit/test_tree_win.cpp
  tests/unit/test_patch_win.cpp
  tests/unit/test_digest_win.cpp
  tests/unit/test_messages_win.cpp)
target_link_libraries(unit_windows PRIVATE windows_edge portable GTest::gtest advapi32 ntdll)
target_link_options(unit_windows PRIVATE ${TEST_LINK})

# Helpers of the end-to-end tests: a recording msiexec stand-in, a runner
# that reports full 32-bit exit codes and reads the message box, and an
# msi.dll to plant beside setup.exe.
add_executable(standin_msiexec tests/support/standin_msiexec.cpp)
target_link_options(standin_msiexec PRIVATE ${TEST_LINK} -municode)
target_link_libraries(standin_msiexec PRIVATE advapi32 msi)
add_executable(wtool tests/support/wtool.cpp)
target_link_options(wtool PRIVATE ${TEST_LINK} -municode)
target_link_libraries(wtool PRIVATE user32 gdi32 advapi32)
add_library(planted_msi SHARED tests/support/planted_msi.cpp)
set_target_properties(planted_msi PROPERTIES PREFIX "" OUTPUT_NAME msi)
target_link_options(planted_msi PRIVATE ${TEST_LINK})
add_executable(static_msi_probe WIN32 tests/support/static_msi_probe.cpp)
target_link_libraries(static_msi_probe PRIVATE msi)
target_link_options(static_msi_probe PRIVATE ${TEST_LINK})
add_library(planted_version SHARED tests/support/planted_dll.cpp)
set_target_properties(planted_version PROPERTIES PREFIX "" OUTPUT_NAME version)
target_link_options(planted_version PRIVATE ${TEST_LINK})
add_executable(planted_exe tests/support/planted_exe.cpp)
target_link_options(planted_exe PRIVATE ${TEST_LINK})
add_executable(import_control WIN32 tests/support/import_control.cpp)
target_link_libraries(import_control PRIVATE advapi32 user32)
target_link_options(import_control PRIVATE ${TEST_LINK})
# The writer of the test server's real update package (.msp), run under Wine.
add_executable(make_patch tools/make_patch.cpp)
target_link_options(make_patch PRIVATE ${TEST_LINK} -municode)
target_link_libraries(make_patch PRIVATE msi ole32 uuid)
foreach(t unit_portable unit_windows standin_msiexec wtool planted_msi static_msi_probe
    planted_version planted_exe import_control make_patch)
  target_compile_options(${t} PRIVATE ${WARNINGS})
  set_target_properties(${t} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/testbin)
endforeach()
set_target_properties(planted_msi planted_version PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/testbin)

set(PREFIX_DIR ${CMAKE_BINARY_DIR}/wine/prefix)
add_test(NAME wine.up COMMAND ${CMAKE_SOURCE_DIR}/tools/wineprefix up ${PREFIX_DIR})
# Every entry has a timeout, several times its usual run, so that a hang
# fails that entry by name and leaves CI's own limit for the rest.
set_tests_properties(wine.up PROPERTIES FIXTURES_SETUP wine TIMEOUT 600)
add_test(NAME wine.down COMMAND ${CMAKE_SOURCE_DIR}/tools/wineprefix down ${PREFIX_DIR})
set_tests_properties(wine.down PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 120)

foreach(t unit_portable unit_windows)
  add_test(NAME unit.${t} COMMAND ${t})
  set_tests_properties(unit.${t} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine_state
    TIMEOUT 300 ENVIRONMENT "WINEPREFIX=${PREFIX_DIR}")
endforeach()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
file(GLOB E2E_TESTS CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/tests/e2e ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.py)
foreach(f ${E2E_TESTS})
  get_filename_component(name ${f} NAME_WE)
  string(REPLACE "test_" "" name ${name})
  add_test(NAME e2e.${name}
    COMMAND ${Python3_EXECUTABLE} -m unittest -v ${f}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e)
  set_tests_properties(e2e.${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine_state
    TIMEOUT 1200
    ENVIRONMENT "WINEPREFIX=${PREFIX_DIR};BUILD_DIR=${CMAKE_BINARY_DIR};SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endforeach()

# The fleet play, run by ansible-playbook on local hosts with stand-ins for
# its Windows modules, and its lint (offline: no Galaxy from the test).
find_program(ANSIBLE_LINT ansible-lint REQUIRED)
add_test(NAME deploy.ansible_play COMMAND ${Python3_EXECUTABLE} -m unittest -v test_playbook
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/ansible)
add_test(NAME deploy.ansible_lint COMMAND ${ANSIBLE_LINT} --offline update.yml
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/deploy/ansible)
set_tests_properties(deploy.ansible_play deploy.ansible_lint PROPERTIES TIMEOUT 600)

# The portable code's unit tables, built natively under the sanitizers
# (build/native), in the same CTest run.
if(NATIVE_BUILD_DIR)
  add_test(NAME native.unit_sanitized COMMAND ${NATIVE_BUILD_DIR}/unit_native)
  set_tests_properties(native.unit_sanitized PROPERTIES TIMEOUT 300)
endif()

# The sources keep the project's .clang-format.
find_program(CLANG_FORMAT clang-format)
if(CLANG_FORMAT)
  file(GLOB_RECURSE FORMATTED CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/tests/*.h
    ${CMAKE_SOURCE_DIR}/src/*.cpp ${CMAKE_SOURCE_DIR}/src/*.h
    ${CMAKE_SOURCE_DIR}/tests/*.cpp ${CMAKE_SOURCE_DIR}/fuzz/*.cpp ${CMAKE_SOURCE_DIR}/fuzz/*.h
    ${CMAKE_SOURCE_DIR}/bench/*.cpp)
  add_test(NAME format COMMAND ${CLANG_FORMAT} --dry-run -Werror ${FORMATTED})
  set_tests_properties(format PROPERTIES TIMEOUT 120)
endif()
