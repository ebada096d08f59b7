# Helpers shared by the test folders.
find_package(GTest REQUIRED)

# Environment every Qt WebEngine test needs on this kind of machine (root, no GPU).
set(TESSARO_QT_TEST_ENV
  "QTWEBENGINE_DISABLE_SANDBOX=1"
  "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox --disable-background-networking --disable-component-update"
  "QT_QPA_PLATFORM=xcb"
)

# tessaro_unit_test(NAME SOURCES... LIBS ...): a GoogleTest binary without Qt, one CTest entry.
function(tessaro_unit_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS unit)
endfunction()

# tessaro_qt_test(NAME SOURCES... LIBS ...): a GoogleTest binary that needs a display
# (run under Xvfb); it supplies its own main() creating the QApplication
# (tests/support/qt_test_main.cpp does that), one CTest entry.
function(tessaro_qt_test name)
  cmake_parse_arguments(T "" "TIMEOUT;LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} "${PROJECT_SOURCE_DIR}/tests/support/qt_test_main.cpp")
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support")
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock
    Qt6::Core Qt6::Gui Qt6::Widgets Qt6::WebEngineCore Qt6::WebEngineWidgets Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  if(NOT T_LABEL)
    set(T_LABEL integration)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS ${T_LABEL}
    ENVIRONMENT "${TESSARO_QT_TEST_ENV}" RUN_SERIAL TRUE)
endfunction()

# tessaro_demo_ready(OUT TARGETS...): OUT is true when the demo back office and every one
# of TARGETS are built; then tessaro_use_demo() (tests/support/DemoProcess.cmake) is at hand.
function(tessaro_demo_ready out)
  set(${out} FALSE PARENT_SCOPE)
  foreach(target IN ITEMS tessaro-demo ${ARGN})
    if(NOT TARGET ${target})
      return()
    endif()
  endforeach()
  include("${PROJECT_SOURCE_DIR}/tests/support/DemoProcess.cmake")
  set(${out} TRUE PARENT_SCOPE)
endfunction()

# tessaro_e2e_test(NAME SOURCES... LIBS... [TIMEOUT s]): a Qt test binary against the demo
# back office (tests/support/demo_process.h), labelled e2e; skipped when the demo or one
# of LIBS is not built.
function(tessaro_e2e_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  tessaro_demo_ready(ready ${T_LIBS})
  if(NOT ready)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 900)
  endif()
  tessaro_qt_test(${name} SOURCES ${T_SOURCES} LIBS ${T_LIBS} LABEL e2e TIMEOUT ${T_TIMEOUT})
  tessaro_use_demo(${name})
endfunction()

# tessaro_demo_bench(NAME SOURCES... LIBS...): a benchmark executable (not a test) that
# starts the demo back office and drives a tool in a real browser (bench/demo_bench.h);
# skipped when the demo or one of LIBS is not built.
function(tessaro_demo_bench name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  tessaro_demo_ready(ready ${T_LIBS})
  if(NOT ready)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support" "${PROJECT_SOURCE_DIR}/bench")
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Widgets Qt6::WebEngineWidgets Qt6::Test)
  tessaro_use_demo(${name})
endfunction()
