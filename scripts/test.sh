#!/bin/sh
# Installs what is missing, builds everything with warnings as errors and runs every test; then runs
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, and every fuzz target briefly.
# TEST_STAGES chooses the stages (default "main asan fuzz"); BUILD_DIR, ASAN_BUILD_DIR and
# FUZZ_BUILD_DIR the build folders; CMAKE_EXTRA is passed to the main configuration.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
STAGES="${TEST_STAGES:-main asan fuzz}"
JOBS="$(nproc)"

has_stage() {
    case " $STAGES " in *" $1 "*) return 0 ;; *) return 1 ;; esac
}

if has_stage main; then
    BUILD="${BUILD_DIR:-build-ci}"
    # shellcheck disable=SC2086
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARA_WERROR=ON ${CMAKE_EXTRA:-}
    cmake --build "$BUILD" -j "$JOBS"
    (cd "$BUILD" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS" --timeout 600)
fi

if has_stage asan; then
    BUILD="${ASAN_BUILD_DIR:-build-ci-asan}"
    # Light optimisation and line tables only: sanitized code compiles in about half the time, and
    # reports still name file and line.
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
        -DKELVARA_WERROR=ON -DKELVARA_SANITIZE=ON
    cmake --build "$BUILD" -j "$JOBS"
    # Any report fails the test that caused it.
    (cd "$BUILD" &&
        ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1" \
        UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
        QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS" --timeout 900)
fi

if has_stage fuzz; then
    # libFuzzer needs clang; only the libraries the targets use are built.
    BUILD="${FUZZ_BUILD_DIR:-build-ci-fuzz}"
    CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARA_FUZZ=ON
    cmake --build "$BUILD" -j "$JOBS"
    (cd "$BUILD" && ctest --output-on-failure -j "$JOBS" --timeout 300)
fi
