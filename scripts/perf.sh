#!/usr/bin/env bash
# Measures the library against what its users would use instead (the
# platform's profile functions under wine, SimpleIni, jsoncpp, nlohmann-json),
# runs the library's own benchmarks, and writes docs/performance.md with
# tables and plots in docs/perf/. Not part of the tests; takes several minutes.
#
#   scripts/perf.sh
#
# ZV_PERF_INI_SIZES, ZV_PERF_VALUE_SIZES and ZV_PERF_JSON_SIZES (space-separated
# keys / characters of one INI value / characters of JSON text) shorten a trial
# run; ZV_PERF_BUILD moves the build folder (build/perf).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZV_PERF_BUILD:-$root/build/perf}
ini_sizes=${ZV_PERF_INI_SIZES:-"1000 10000 100000"}
value_sizes=${ZV_PERF_VALUE_SIZES:-"100000 1000000 8000000"}
json_sizes=${ZV_PERF_JSON_SIZES:-"1048576 10485760 52428800"}

# shellcheck source=deps.sh
source "$root/scripts/deps.sh"
zv_ensure_packages "${ZV_BUILD_PACKAGES[@]}" "${ZV_BENCH_PACKAGES[@]}" gnuplot-nox python3
wine_note=""
if ! zv_ensure_packages wine64 g++-mingw-w64-x86-64; then
    wine_note="wine64 or g++-mingw-w64-x86-64 could not be installed"
fi

# The library's own benchmark programs, from bench/<folder>/CMakeLists.txt.
own_benches=()
for list in "$root"/bench/*/CMakeLists.txt; do
    [ "$(basename "$(dirname "$list")")" = peers ] && continue
    while read -r name; do
        own_benches+=("$name")
    done < <(sed -n 's/^ *zv_add_bench(\([A-Za-z0-9_]*\).*/\1/p' "$list")
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZV_BUILD_BENCH=ON -DZV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target peers_bench startup_probe zvenv JSONLint "${own_benches[@]}"

results=$build/results
rm -rf "$results"
mkdir -p "$results"
# Other work on the machine inflates wall-clock times; the report says how busy it was.
load_start=$(cut -d' ' -f1-3 /proc/loadavg)
started=$SECONDS
# The executables sit in <build>/bin, so <build> is their application root:
# the documents live under its user folder.
bench=$build/bin/peers_bench

echo "== INI: $ini_sizes keys"
# shellcheck disable=SC2086
"$bench" ini "$results/peers.jsonl" $ini_sizes
echo "== INI: one value of $value_sizes characters"
# shellcheck disable=SC2086
"$bench" value "$results/peers.jsonl" $value_sizes

if [ -z "$wine_note" ] && [ -x /usr/lib/wine/wine64 ] && command -v x86_64-w64-mingw32-g++ >/dev/null; then
    echo "== INI under wine"
    wine_dir=$build/wine
    mkdir -p "$wine_dir"
    x86_64-w64-mingw32-g++ -std=c++17 -static -O2 -Wall -Wextra -o "$wine_dir/profile_timing.exe" \
        "$root/bench/peers/wine/ProfileTiming.cpp"
    export WINEPREFIX=$wine_dir/prefix WINEDEBUG=-all
    for keys in $ini_sizes; do
        "$bench" inifile "$wine_dir/original$keys.ini" "$keys"
        cp "$wine_dir/original$keys.ini" "$wine_dir/work$keys.ini"
        /usr/lib/wine/wine64 "$wine_dir/profile_timing.exe" "Z:$wine_dir/work$keys.ini" \
            "Z:$wine_dir/original$keys.ini" "$keys" "Z:$results/peers.jsonl" ||
            wine_note="the program under wine failed at $keys keys"
    done
    /usr/lib/wine/wine64 --version >"$results/wine-version.txt" 2>/dev/null || true
    x86_64-w64-mingw32-g++ --version | head -1 >"$results/mingw-version.txt"
    /usr/lib/wine/wineserver -k 2>/dev/null || true
else
    wine_note=${wine_note:-"wine64 or the mingw compiler is missing"}
fi
echo "$wine_note" >"$results/wine-note.txt"

echo "== A host's start"
# A copy of the sample root with the probe and the libraries in its bin/, as
# a host is installed; the first run seeds the user's copies.
startup_root=$build/startup-root
rm -rf "$startup_root"
mkdir -p "$startup_root/bin" "$startup_root/user"
cp -r "$root/examples/approot/system" "$startup_root/"
cp -a "$build"/bin/lib*.so* "$build/bin/startup_probe" "$startup_root/bin/"
"$bench" startup "$results/peers.jsonl" "$startup_root/bin/startup_probe" 50

echo "== zvenv json list"
# An object of n members in a root of its own, listed by the host; the best of
# five runs of the whole command.
list_root=$build/list-root
rm -rf "$list_root"
mkdir -p "$list_root/bin" "$list_root/user" "$list_root/system"
for members in 20000 80000 320000; do
    python3 -c 'import json, sys; n = int(sys.argv[1]); print(json.dumps({"m%d" % i: i for i in range(n)}))' \
        "$members" >"$list_root/members.json"
    "$build/bin/zvenv" --root "$list_root" import "members$members" "$list_root/members.json" >/dev/null
    best=""
    for _ in 1 2 3 4 5; do
        start_ns=$(date +%s%N)
        "$build/bin/zvenv" --root "$list_root" json list "members$members" >/dev/null
        took=$(($(date +%s%N) - start_ns))
        if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
    done
    printf '{"group":"host","op":"json_list","impl":"zvenv","size":%d,"seconds":%s,"runs":5,"note":"best of 5"}\n' \
        "$members" "$(awk -v ns="$best" 'BEGIN { printf "%.6f", ns / 1e9 }')" >>"$results/peers.jsonl"
done

echo "== JSON: $json_sizes characters"
# shellcheck disable=SC2086
"$bench" json "$results/peers.jsonl" $json_sizes

peers_seconds=$((SECONDS - started))

for name in "${own_benches[@]}"; do
    [ -x "$build/bin/$name" ] || continue
    echo "== $name"
    "$build/bin/$name" --benchmark_format=console --benchmark_out_format=json \
        --benchmark_out="$results/bench-$name.json" || echo "$name failed" >>"$results/bench-failures.txt"
done

{
    echo "nproc=$(nproc)"
    echo "cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
    echo "memory=$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)"
    echo "compiler=$(c++ --version | head -1)"
    echo "flags=$(sed -n 's/^CMAKE_CXX_FLAGS_RELEASE:[A-Z]*=//p' "$build/CMakeCache.txt")"
    echo "kernel=$(uname -sr)"
    echo "load=$load_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end"
    echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "duration=$(((SECONDS - started + 30) / 60)) min in all, $(((peers_seconds + 30) / 60)) min of them for the peer comparison"
    echo "ini_sizes=$ini_sizes"
    echo "json_sizes=$json_sizes"
} >"$results/machine.txt"

python3 "$root/bench/peers/report.py" "$results" "$root/docs/performance.md" "$root/docs/perf" \
    "$root/bench/peers/reading.md"
echo "Wrote $root/docs/performance.md"
