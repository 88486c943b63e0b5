# Installs the Debian packages that are missing; quiet and quick when all are there.
# Usage: source scripts/deps.sh; zv_ensure_packages pkg...
# Installing needs root or sudo; without either the caller stops with a
# sentence that says so.
zv_ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "$(basename "$0") installs Debian packages and needs root (or sudo): run it as root, or install sudo." >&2
            echo "Missing: ${missing[*]}" >&2
            return 1
        fi
        sudo="sudo"
    fi
    echo "Installing Debian packages: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# rapidjson-dev: the JSON fuzz target, replayed among the tests, reads every
# text with RapidJSON as well, as the reference for what it holds.
# nlohmann-json3-dev (header only) reads zvenv's JSON output in the host's
# tests, in the Linux and the Windows build alike. help2man
# makes zvenv's manual page, doxygen the API reference (a test checks it is
# complete), clang-format the format check, strace the full-disk tests.
ZV_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libbenchmark-dev libjsoncpp-dev libgcrypt20-dev zlib1g-dev
    rapidjson-dev nlohmann-json3-dev help2man doxygen clang-format strace)

# The readers the benchmarks compare the library with (bench/, the bench
# preset and scripts/perf.sh); jsoncpp, RapidJSON and nlohmann-json, above,
# are three more.
ZV_BENCH_PACKAGES=(libsimpleini-dev)

# clang with libFuzzer and the sanitizer runtimes, and the symbolizer for
# readable reports: the fuzz targets need them (scripts/fuzz.sh).
ZV_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev llvm-14)

# The Windows cross compiler and loader that the profile-file comparison test
# runs the platform's own functions with (tests/wine).
ZV_PLATFORM_CHECK_PACKAGES=(g++-mingw-w64-x86-64 wine64)

# The Windows build and its suite under wine (scripts/windows.sh): the -posix
# cross compiler (std::thread), the target's libgcrypt, libgpg-error and zlib,
# GoogleTest's sources built with the cross compiler, and the loader.
ZV_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev libz-mingw-w64-dev
    googletest wine64)

# gcovr reads gcc's coverage counters into the table of scripts/coverage.sh;
# only that script needs it, not the test command.
ZV_COVERAGE_PACKAGES=(gcovr)
