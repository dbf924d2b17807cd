# The Windows build: setup.exe, its test helpers, and the tests run through Wine.

# Small and self-contained: no exceptions or RTTI, no runtime DLLs, no link
# timestamp, no build paths. No section per function or variable: each
# function's is padded to 16 bytes, and GCC for PE puts a zero-filled
# variable with a section of its own on disk in .data (32 KiB is the goal,
# test_image). Functions and data at their ABI alignment: room to spare.
set(SIZE_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -falign-functions=1 -malign-data=abi "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.")
set(SIZE_LINK -s -static -Wl,--gc-sections -Wl,--no-insert-timestamp -Wl,--build-id=none)
# The tree removal recurses once per folder level, up to 1,000 levels, with a
# 2 KiB listing buffer each: 4 MiB of stack reserve (committed as used).
set(DEEP_STACK -Wl,--stack,4194304)
target_compile_options(portable PRIVATE ${SIZE_FLAGS})

set(WINDOWS_SOURCES
  src/common/registry_win.cpp
  src/common/system_dll_win.cpp
  src/common/security_win.cpp
  src/app/package_win.cpp
  src/verify/digest_win.cpp
  src/verify/target_win.cpp
  src/app/installed_win.cpp
  src/messages/messages_win.cpp
  src/messages/refusal_win.cpp
  src/cleanup/aside_win.cpp
  src/cleanup/tree_win.cpp
  src/cleanup/holders_win.cpp
  src/launch/patch_win.cpp
  src/record/record_win.cpp)
add_library(windows_edge STATIC ${WINDOWS_SOURCES})
target_compile_options(windows_edge PRIVATE ${WARNINGS} ${SIZE_FLAGS})
target_compile_definitions(windows_edge PUBLIC WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)

add_executable(setup WIN32 src/app/main.cpp res/setup.rc)
target_compile_options(setup PRIVATE ${WARNINGS} ${SIZE_FLAGS})
# No C runtime start-up: Windows enters at WinMain itself (main.cpp), and
# the link fails when the image would need the start-up after all.
set(NO_STARTUP_GUARD ${CMAKE_SOURCE_DIR}/cmake/no_startup.ld)
target_link_options(setup PRIVATE ${SIZE_LINK} ${DEEP_STACK} -nostartfiles -Wl,--entry,WinMain
  ${NO_STARTUP_GUARD})
set_target_properties(setup PROPERTIES LINK_DEPENDS ${NO_STARTUP_GUARD})
target_link_libraries(setup PRIVATE windows_edge portable advapi32 user32 ntdll)
set_target_properties(setup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set_source_files_properties(res/setup.rc PROPERTIES OBJECT_DEPENDS
  ${CMAKE_SOURCE_DIR}/res/setup.manifest)

# The update package: setup.exe beside an empty Files folder, SHA256SUMS,
# signed when SIGN_PFX is set in the environment (tools/package).
add_custom_target(package
  COMMAND ${CMAKE_SOURCE_DIR}/tools/package ${CMAKE_BINARY_DIR}
  DEPENDS setup)

include(bench/bench.cmake)
include(cmake/windows_tests.cmake)
