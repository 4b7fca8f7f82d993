# Scanning a part: against a recording stand-in of the scanner component, then against the real
# component over SANE's test backend, each program with its own private SANE folder so that no
# real scanner is ever probed.
ts_add_test(NAME shell_scan_test SOURCES scan_acquisition_test.cpp LIBS tsshell_scan)

# scan_device_test(name folder): scan_device_test.cpp against tests/scanner/<folder>.
function(scan_device_test name folder)
  string(TOUPPER ${name} device)
  ts_add_test(NAME shell_scan_${name} SOURCES scan_device_test.cpp LIBS tsshell_scan
    ENV SANE_CONFIG_DIR=${CMAKE_SOURCE_DIR}/tests/scanner/${folder}
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
