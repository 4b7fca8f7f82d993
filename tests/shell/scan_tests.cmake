# Scanning a part: against a recording stand-in of the scanner component, then against the real
# component over SANE's test backend, each program with its own private SANE folder so that no
# real scanner is ever probed.
ts_add_test(NAME shell_scan_test SOURCES scan_acquisition_test.cpp LIBS tsshell_scan)

# scan_device_test(name folder): scan_device_test.cpp against tests/scanner/<folder>.
function(scan_device_test name folder)
  string(TOUPPER ${name} device)
  ts_add_test(NAME shell_scan_${name} SOURCES scan_device_test.cpp LIBS tsshell_scan TIMEOUT 180
    ENV SANE_CONFIG_DIR=${CMAKE_SOURCE_DIR}/tests/scanner/${folder} ${TS_SANE_SANITIZER_OPTIONS}
        LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/scanner/lsan.supp:print_suppressions=0)
  if(TARGET shell_scan_${name})
    add_dependencies(shell_scan_${name} rezuzid imagefile_ZedOROV)
    target_include_directories(shell_scan_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/scanner)
    target_compile_definitions(shell_scan_${name} PRIVATE
      TS_SANE_TEST_BACKEND="${TS_SANE_TEST_BACKEND}" TS_SCAN_DEVICE_${device}=1)
  endif()
endfunction()

scan_device_test(plain sane)
scan_device_test(slow sane-slow)
scan_device_test(ends_itself sane-cancelled)
scan_device_test(jammed sane-jammed)

# The window's side of a scan, offscreen, on the plain and the slow device.
foreach(device plain:sane slow:sane-slow)
  string(REPLACE ":" ";" pair ${device})
  list(GET pair 0 name)
  list(GET pair 1 folder)
  string(TOUPPER ${name} upper)
  ts_add_test(NAME shell_scan_window_${name} GUI SOURCES ${CMAKE_SOURCE_DIR}/tests/gui/scan_session_test.cpp
    LIBS tsshell_scanwindow Qt6::Test TIMEOUT 180
    ENV SANE_CONFIG_DIR=${CMAKE_SOURCE_DIR}/tests/scanner/${folder} ${TS_SANE_SANITIZER_OPTIONS})
  if(TARGET shell_scan_window_${name})
    add_dependencies(shell_scan_window_${name} rezuzid imagefile_ZedOROV)
    target_include_directories(shell_scan_window_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/scanner ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_definitions(shell_scan_window_${name} PRIVATE
      TS_SANE_TEST_BACKEND="${TS_SANE_TEST_BACKEND}" TS_SCAN_DEVICE_${upper}=1)
  endif()
endforeach()

# Both parts scanned from the main window.
ts_add_test(NAME shell_scan_main_window GUI SOURCES ${CMAKE_SOURCE_DIR}/tests/gui/scan_main_window_test.cpp
  LIBS tsshell Qt6::Test TIMEOUT 180 ENV SANE_CONFIG_DIR=${CMAKE_SOURCE_DIR}/tests/scanner/sane ${TS_SANE_SANITIZER_OPTIONS})
if(TARGET shell_scan_main_window)
  add_dependencies(shell_scan_main_window rezuzid imagefile_ZedOROV)
  target_include_directories(shell_scan_main_window PRIVATE ${CMAKE_SOURCE_DIR}/tests/gui ${CMAKE_SOURCE_DIR}/tests/scanner)
  target_compile_definitions(shell_scan_main_window PRIVATE TS_SANE_TEST_BACKEND="${TS_SANE_TEST_BACKEND}"
    FAKE_REZUZID_PATH="${CMAKE_BINARY_DIR}/tests/fakes/RezuzID.so")
endif()
