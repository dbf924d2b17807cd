# libFuzzer harnesses of the portable code (clang only).
set(FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -g)
target_compile_options(portable PRIVATE -fsanitize=fuzzer-no-link)
set(FUZZERS fuzz_command_line fuzz_arguments fuzz_text_paths fuzz_version_language
  fuzz_record)
foreach(f ${FUZZERS})
  add_executable(${f} ${CMAKE_SOURCE_DIR}/fuzz/${f}.cpp)
  target_compile_options(${f} PRIVATE ${WARNINGS} ${FUZZ_FLAGS})
  target_link_options(${f} PRIVATE ${FUZZ_FLAGS})
  target_link_libraries(${f} PRIVATE portable)
endforeach()
