# Benchmark programs (make bench): the plain removal recursion, the
# updater's own removal alone, its package checks alone, and an empty
# program, all built with the same size flags as setup.exe.
add_executable(plain_remove ${CMAKE_SOURCE_DIR}/bench/plain_remove.cpp)
target_compile_options(plain_remove PRIVATE ${WARNINGS} ${SIZE_FLAGS})
target_link_options(plain_remove PRIVATE ${SIZE_LINK})
add_executable(tree_remove ${CMAKE_SOURCE_DIR}/bench/tree_remove.cpp)
target_compile_options(tree_remove PRIVATE ${WARNINGS} ${SIZE_FLAGS})
target_link_options(tree_remove PRIVATE ${SIZE_LINK} ${DEEP_STACK})
target_link_libraries(tree_remove PRIVATE windows_edge portable shell32 ntdll)
add_executable(package_check ${CMAKE_SOURCE_DIR}/bench/package_check.cpp)
target_compile_options(package_check PRIVATE ${WARNINGS} ${SIZE_FLAGS})
target_link_options(package_check PRIVATE ${SIZE_LINK})
target_link_libraries(package_check PRIVATE windows_edge portable shell32 ntdll)
add_executable(empty_winmain WIN32 ${CMAKE_SOURCE_DIR}/bench/empty_winmain.cpp)
target_compile_options(empty_winmain PRIVATE ${WARNINGS} ${SIZE_FLAGS})
target_link_options(empty_winmain PRIVATE ${SIZE_LINK} -nostartfiles -Wl,--entry,WinMain)
set_target_properties(plain_remove tree_remove package_check empty_winmain PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/benchbin)
