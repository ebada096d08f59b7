# Shared set-up of the libFuzzer targets: the text and settings sources built once more
# with the sanitizers, and tessaro_fuzz_target(NAME SOURCE) for each fuzz/<name>/.
include_guard(GLOBAL)

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TESSARO_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
endif()

set(TESSARO_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)

pkg_check_modules(FUZZ_PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
file(GLOB tessaro_fuzz_core_sources CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/src/text/*.cpp" "${PROJECT_SOURCE_DIR}/src/settings/*.cpp")
add_library(tessaro_fuzz_core STATIC ${tessaro_fuzz_core_sources})
target_include_directories(tessaro_fuzz_core PUBLIC "${PROJECT_SOURCE_DIR}/src")
target_compile_options(tessaro_fuzz_core PUBLIC ${TESSARO_SANITIZE} -fsanitize=fuzzer-no-link)
target_link_options(tessaro_fuzz_core PUBLIC ${TESSARO_SANITIZE})
target_link_libraries(tessaro_fuzz_core PUBLIC PkgConfig::FUZZ_PCRE2)

function(tessaro_fuzz_target name source)
  add_executable(fuzz_${name} ${source})
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${name} PRIVATE tessaro_fuzz_core)
endfunction()
