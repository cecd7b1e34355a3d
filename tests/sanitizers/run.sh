#!/usr/bin/env bash
# Builds the program and its tests with a sanitizer and runs the tests.
#   tests/sanitizers/run.sh asan   AddressSanitizer + UndefinedBehaviorSanitizer, the whole suite
#   tests/sanitizers/run.sh tsan   ThreadSanitizer, the threaded parts (server thread, service
#                                  worker, NUT monitor, frame detector, command runner processes),
#                                  over Qt core libraries built for it (build-qt-tsan.sh)
# AMPERLANE_SANITIZER_TESTS (a ctest regular expression) narrows the run; only the executables of
# the chosen tests are built. The build folder is $AMPERLANE_SANITIZER_DIR, by default
# build/<kind>; each run's output stays in <folder>/Testing and <folder>/sanitizer-logs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
kind="${1:?usage: run.sh asan|tsan}"
build="${AMPERLANE_SANITIZER_DIR:-$root/build/$kind}"
logs="$build/sanitizer-logs"

"$root/scripts/install-deps.sh"

case "$kind" in
asan)
    flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    # The page tests run Node and Chromium, nothing of ours to instrument.
    parts="common;jrpc;device;nut;usbdriver;service;app;launcher;halyard;tools;tests"
    tests="${AMPERLANE_SANITIZER_TESTS:-.}"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:log_path=$logs/asan:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$logs/ubsan"
    export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
    # The tests that run the whole program host QtWebEngine, whose Chromium frees some of its own
    # objects through a base type with a sized delete (new-delete-type-mismatch inside
    # libQt6WebEngineCore, on tearing down a page). ASan cannot suppress that report by library,
    # only switch the check off, so it is off for these tests alone.
    webview_tests="app_program_tests|app_window_tests"
    webview_options="new_delete_type_mismatch=0"
    ;;
tsan)
    flags="-fsanitize=thread -fno-omit-frame-pointer"
    parts="common;jrpc;device;nut;service;app;launcher;tools;tests"
    tests="${AMPERLANE_SANITIZER_TESTS:-^(jrpc_|device_|nut_|service_|common_)}"
    # Qt's core libraries built for ThreadSanitizer stand in for Debian's (see build-qt-tsan.sh).
    qtlibs="$("$here/build-qt-tsan.sh" "${AMPERLANE_QT_TSAN_DIR:-$root/build/qt-tsan}")"
    export LD_LIBRARY_PATH="$qtlibs${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    # Those libraries would look for plugins in their own build; the platform plugin and TLS
    # backend are Debian's.
    export QT_PLUGIN_PATH="/usr/lib/$(gcc -print-multiarch)/qt6/plugins"
    # Gui, WebSockets and SerialPort stay uninstrumented: the memory their own code touches is not
    # seen, so the library calls made from inside them (memcpy, free) are not judged either.
    export TSAN_OPTIONS="halt_on_error=0:second_deadlock_stack=1:ignore_noninstrumented_modules=1:log_path=$logs/tsan:suppressions=$here/tsan.supp"
    ;;
*)
    echo "usage: run.sh asan|tsan" >&2
    exit 2
    ;;
esac

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DAMPERLANE_PARTS="$parts" -DAMPERLANE_FUZZ=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags"
# Each test is an executable of the same name; the page tests (Node) and the fuzz runs are left out.
# Tests that run a script rather than an executable of their name (halyard under Wine) are skipped.
mapfile -t targets < <(ctest --test-dir "$build" -N -R "$tests" -LE fuzz |
    sed -n 's/^ *Test *#[0-9]*: //p' | grep -v '^web_' |
    grep -Fx -f <(ninja -C "$build" -t targets all | sed -n 's/^\([A-Za-z0-9_]*\): .*/\1/p'))
[ "${#targets[@]}" -gt 0 ] || { echo "no test matches $tests" >&2; exit 2; }
cmake --build "$build" --target "${targets[@]}"

rm -rf "$logs"
mkdir -p "$logs"
status=0
# Runs the named tests through CTest; the status of a failed run is kept.
run_tests() {
    [ "$#" -gt 0 ] || return 0
    ctest --test-dir "$build" --output-on-failure -j2 -R "^($(IFS='|'; echo "$*"))\$" || status=$?
}
plain=()
webview=()
for t in "${targets[@]}"; do
    if [[ -n "${webview_tests:-}" && "$t" =~ ^($webview_tests)$ ]]; then
        webview+=("$t")
    else
        plain+=("$t")
    fi
done
run_tests "${plain[@]}"
ASAN_OPTIONS="${ASAN_OPTIONS:-}:${webview_options:-}" run_tests "${webview[@]}"

# A sanitizer that reports without ending the process leaves its report only in the log files.
if compgen -G "$logs/*" >/dev/null; then
    echo "Sanitizer reports:"
    ls -1 "$logs"
    status=1
fi
exit "$status"
