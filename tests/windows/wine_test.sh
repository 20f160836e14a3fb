#!/usr/bin/env bash
# CTest's emulator for the cross-built tests: runs one test program under Wine
# inside the session that tests/windows/run_wine_tests.sh opened (DISPLAY,
# WINEPREFIX), killed after ORJ_WINE_TEST_SECONDS (default 240).
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] ||
  { echo "wine_test.sh: run the Windows tests through tests/windows/run_wine_tests.sh" >&2; exit 1; }
source "$(dirname "$0")/wine_session.sh"
seconds=${ORJ_WINE_TEST_SECONDS:-240}
# A test program ends with 0 or 1; wine_run restarts the server after anything else.
wine_run "$seconds" "$@"
status=$?
[ $status -eq 124 ] && echo "wine_test.sh: $1 did not end within $seconds s" >&2
exit $status
