# libFuzzer harnesses of the picture readers and the command-line value parsing, built with
# AddressSanitizer and UndefinedBehaviorSanitizer when KV_BUILD_FUZZERS is on (clang only);
# tools/fuzz.sh builds and runs them.
set(KV_FUZZ_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz)
set(KV_FUZZ_WRITERS ${CMAKE_SOURCE_DIR}/tests/images)
add_custom_target(kv_fuzzers)

function(kv_add_fuzzer NAME)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;DEFINES;INCLUDES" ${ARGN})
  add_executable(${NAME} ${F_SOURCES})
  target_link_libraries(${NAME} PRIVATE ${F_LIBS})
  target_compile_definitions(${NAME} PRIVATE ${F_DEFINES})
  target_include_directories(${NAME} PRIVATE ${F_INCLUDES})
  target_link_options(${NAME} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  add_dependencies(kv_fuzzers ${NAME})
endfunction()

foreach(format bmp jpeg png tiff)
  set(extension ${format})
  if(format STREQUAL "jpeg")
    set(extension jpg)
  elseif(format STREQUAL "tiff")
    set(extension tif)
  endif()
  kv_add_fuzzer(fuzz_${format} SOURCES ${KV_FUZZ_DIR}/fuzz_picture.cpp LIBS kvKernel
    DEFINES KV_FUZZ_EXTENSION=".${extension}")
endforeach()
kv_add_fuzzer(fuzz_jpeg_roundtrip SOURCES ${KV_FUZZ_DIR}/fuzz_jpeg_roundtrip.cpp LIBS kvKernel)
kv_add_fuzzer(fuzz_cli_values
  SOURCES ${KV_FUZZ_DIR}/fuzz_cli_values.cpp ${CMAKE_SOURCE_DIR}/cli/cArgumentReader.cpp
    ${CMAKE_SOURCE_DIR}/cli/cCliError.cpp ${CMAKE_SOURCE_DIR}/cli/cParameterAssigner.cpp
    ${CMAKE_SOURCE_DIR}/cli/cNameMatcher.cpp
  LIBS kvKernel INCLUDES ${CMAKE_SOURCE_DIR}/cli ${CMAKE_SOURCE_DIR}/tests)

# The seed writer is an ordinary program.
add_executable(make_fuzz_seeds ${KV_FUZZ_DIR}/make_fuzz_seeds.cpp)
target_link_libraries(make_fuzz_seeds PRIVATE kvKernel JPEG::JPEG PNG::PNG TIFF::TIFF)
target_include_directories(make_fuzz_seeds PRIVATE ${KV_FUZZ_WRITERS})
set_target_properties(make_fuzz_seeds PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
add_dependencies(kv_fuzzers make_fuzz_seeds)
