# The native Linux build of the portable code: the unit tables under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz harnesses.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
target_compile_options(portable PRIVATE ${SANITIZE})

add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_executable(unit_native tests/unit/main.cpp ${PORTABLE_TESTS})
target_compile_options(unit_native PRIVATE ${WARNINGS} ${SANITIZE})
target_link_options(unit_native PRIVATE ${SANITIZE})
target_link_libraries(unit_native PRIVATE portable GTest::gtest)

option(BUILD_FUZZERS "libFuzzer harnesses (clang)" OFF)
if(BUILD_FUZZERS)
  include(${CMAKE_SOURCE_DIR}/fuzz/fuzzers.cmake)
endif()
