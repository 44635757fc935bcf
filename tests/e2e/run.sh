#!/usr/bin/env bash
# End-to-end tests of velorin on a private display and sound server.
#   run.sh VELORIN                          every case, artifacts in ./e2e-artifacts
#   run.sh --case NAME [--artifacts DIR] VELORIN
#   run.sh --bench VELORIN                  start-up and greeting figures
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v python3 >/dev/null; then
  echo "FAIL: python3 not found (apt-get install python3)" >&2
  exit 1
fi
for arg in "$@"; do
  case "$arg" in --case|--bench|-h|--help) exec python3 "$here/velorin_e2e.py" "$@" ;; esac
done
status=0
for case in startup keys score_and_help close_during_greeting; do
  python3 "$here/velorin_e2e.py" --case "$case" "$@" || status=1
done
exit $status
