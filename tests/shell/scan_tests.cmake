# Scanning a part: against a recording stand-in of the scanner component, then against the real
# component over SANE's test backend, each program with its own private SANE folder so that no
# real scanner is ever probed.
ts_add_test(NAME shell_scan_test SOURCES scan_acquisition_test.cpp LIBS tsshell_scan)
