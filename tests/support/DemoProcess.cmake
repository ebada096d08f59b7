# tessaro_use_demo(target): lets a test binary start the demo back office through
# testsupport::DemoProcess (tests/support/demo_process.h). Use it with
#   include(${PROJECT_SOURCE_DIR}/tests/support/DemoProcess.cmake)
#   tessaro_use_demo(my_test)
if(NOT TARGET PkgConfig::TESSARO_DEMO_HTTPLIB)
  pkg_check_modules(TESSARO_DEMO_HTTPLIB REQUIRED IMPORTED_TARGET GLOBAL cpp-httplib)
endif()

function(tessaro_use_demo target)
  target_sources(${target} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support/demo_process.cpp")
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support")
  target_compile_definitions(${target} PRIVATE "TESSARO_DEMO_BINARY=\"$<TARGET_FILE:tessaro-demo>\"")
  target_link_libraries(${target} PRIVATE PkgConfig::TESSARO_DEMO_HTTPLIB Threads::Threads)
  add_dependencies(${target} tessaro-demo)
endfunction()
