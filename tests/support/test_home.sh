# The safety net every test script sources: a fresh home of the script's own
# (HOME, XDG_* and, outside the Windows test run, WINEPREFIX inside it), removals
# only inside that home or a build folder, and every process the script started
# in the background ended when the script ends, whatever the outcome.

th_die() { echo "FAIL: $*" >&2; exit 1; }

TH_EXIT_HOOKS=()

# at_exit FUNCTION: runs FUNCTION when the script ends (the last registered
# first), before the background processes are ended and the home removed.
at_exit() { TH_EXIT_HOOKS+=("$1"); }

test_home_end() {
  local status=$? i pid
  for (( i = ${#TH_EXIT_HOOKS[@]} - 1; i >= 0; i-- )); do "${TH_EXIT_HOOKS[i]}" || true; done
  # Every background job still running: asked first, then made to end.
  for pid in $(jobs -p); do kill "$pid" 2>/dev/null || true; done
  for i in $(seq 1 20); do [ -z "$(jobs -rp)" ] && break; sleep 0.05; done
  for pid in $(jobs -rp); do kill -9 "$pid" 2>/dev/null || true; done
  wait 2>/dev/null
  # The home itself: the folder test_home made, by its checked name.
  if [[ "${TEST_HOME:-}" == */pabrix-home-?????? ]] && [ -z "${KEEP_E2E:-}" ]; then rm -rf -- "$TEST_HOME"; fi
  exit $status
}

# Whether the absolute path lies strictly inside the test's home, the Windows
# test run's folder, or a build folder (an ancestor holding CMakeCache.txt).
th_inside() {
  local p=$1 root
  for root in "${TEST_HOME:-}" "${PABRIX_TEST_RUN:-}"; do
    [ -n "$root" ] && [[ "$p" == "$root"/?* ]] && return 0
  done
  while [ "$p" != / ] && [ -n "$p" ]; do
    p=$(dirname "$p")
    [ "$p" != / ] && [ -f "$p/CMakeCache.txt" ] && return 0
  done
  return 1
}

# remove PATH...: rm -rf of each path, refused (the script fails) for an empty
# path or one outside the test's home and the build folder, links resolved.
remove() {
  local p real
  for p in "$@"; do
    [ -n "$p" ] || th_die "refusing to remove an empty path"
    [ -e "$p" ] || [ -L "$p" ] || continue
    real=$(realpath -m -- "$(dirname -- "$p")")/$(basename -- "$p")
    th_inside "$real" || th_die "refusing to remove $p: outside the test's home and the build folder"
    rm -rf -- "$p"
  done
}

# scratch_dir NAME: prints a new folder inside the test's home; fails the script
# when it cannot be made.
scratch_dir() {
  [ -n "${TEST_HOME:-}" ] || th_die "no test home: source test_home.sh and call test_home first"
  mktemp -d "$TEST_HOME/$1-XXXXXX" || th_die "could not make a folder in $TEST_HOME"
}

# test_home: makes the fresh home and points the environment at it; without one
# the script refuses to run. Inside the Windows test run (scripts/wine-ctest.sh)
# the Wine prefix and its home are the run's, and must lie in its folder.
test_home() {
  local root=${TMPDIR:-/tmp}
  TEST_HOME=$(mktemp -d "$root/pabrix-home-XXXXXX" 2>/dev/null) && [ -d "$TEST_HOME" ] ||
    th_die "no fresh home could be made under $root: refusing to run"
  TEST_HOME=$(cd "$TEST_HOME" && pwd -P)
  trap test_home_end EXIT
  trap 'exit 143' TERM
  trap 'exit 130' INT
  if [ -n "${PABRIX_TEST_RUN:-}" ]; then
    [ -n "${WINEPREFIX:-}" ] && th_inside "$(realpath -m "$WINEPREFIX")" &&
      th_inside "$(realpath -m "${HOME:-/}")" ||
      th_die "WINEPREFIX and HOME must be the Windows test run's own (scripts/wine-ctest.sh): refusing to run"
  else
    export HOME="$TEST_HOME" WINEPREFIX="$TEST_HOME/wine"
  fi
  export XDG_CONFIG_HOME="$TEST_HOME/.config" XDG_DATA_HOME="$TEST_HOME/.local/share" \
    XDG_CACHE_HOME="$TEST_HOME/.cache" XDG_STATE_HOME="$TEST_HOME/.local/state"
  unset XDG_DOCUMENTS_DIR
  # No print server but the test's own (none unless it starts one): a queue that
  # another session's server offers would change what the print dialogs preselect.
  export CUPS_SERVER="$TEST_HOME/no-print-server.sock"
}
