# ts_add_test(NAME name SOURCES ... [LIBS ...] [LABELS ...] [ENV ...] [TIMEOUT seconds] [HANG_RETRY seconds] [GUI])
# One test executable, run by CTest. GUI tests need Qt and run offscreen; every other test is a
# "unit" test and also runs in the sanitizer tree.
function(ts_add_test)
  cmake_parse_arguments(T "GUI" "NAME;WORKING_DIRECTORY;TIMEOUT;HANG_RETRY" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(T_GUI AND NOT TS_BUILD_GUI)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock ${T_LIBS})
  target_compile_definitions(${T_NAME} PRIVATE
    TS_SOURCE_DIR="${CMAKE_SOURCE_DIR}" TS_PROGRAM_DIR="${TS_PROGRAM_DIR}"
    TS_CORPUS_DIR="${CMAKE_SOURCE_DIR}/../shared/corpus")
  if(NOT T_WORKING_DIRECTORY)
    set(T_WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  endif()
  if(T_HANG_RETRY)
    # Tests over SANE's test backend: a run hung past HANG_RETRY seconds is run again (see the script).
    add_test(NAME ${T_NAME} COMMAND ${CMAKE_SOURCE_DIR}/scripts/retry-on-hang ${T_HANG_RETRY} $<TARGET_FILE:${T_NAME}>
      WORKING_DIRECTORY ${T_WORKING_DIRECTORY})
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${T_WORKING_DIRECTORY})
  endif()
  set(labels ${T_LABELS})
  set(env ${T_ENV})
  if(T_GUI)
    list(APPEND labels gui)
    list(APPEND env QT_QPA_PLATFORM=offscreen)
  else()
    list(APPEND labels unit)
  endif()
  # A test may bring its own sanitizer options (ENV ASAN_OPTIONS=...); the later entry would win.
  if(NOT env MATCHES "ASAN_OPTIONS=")
    list(APPEND env ASAN_OPTIONS=detect_leaks=1:abort_on_error=1)
  endif()
  list(APPEND env UBSAN_OPTIONS=print_stacktrace=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${labels}" ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
endfunction()

# ts_component(target OUTPUT_NAME name [SUBDIR dir]): a dlopen-loaded component, built as
# <name>.so (no "lib" prefix) into the program folder or a sub-folder of it.
function(ts_component target)
  cmake_parse_arguments(C "" "OUTPUT_NAME;SUBDIR" "" ${ARGN})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${C_OUTPUT_NAME}
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(C_SUBDIR)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${TS_PROGRAM_DIR}/${C_SUBDIR})
  endif()
endfunction()
