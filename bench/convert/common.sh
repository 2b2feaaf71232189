# What the conversion benchmarks share; sourced, with `here` set to the
# repository root. bench_prepare builds the Release tree (build/ unless
# SONODUCT_BENCH_BUILD names another folder), makes a private home in $work
# (removed at exit) whose settings convert at full speed into $work/out
# without questions or sounds, and sets bin, key, work and results.
bench_prepare() {  # [cmake targets...]; none builds everything
  "$here/scripts/setup.sh" bench
  local build="${SONODUCT_BENCH_BUILD:-$here/build}" targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" "${targets[@]}" -j"$(nproc)" >/dev/null
  bin="$build/bin"
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  results="$here/bench/results"
  mkdir -p "$results"
  export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
  export XDG_RUNTIME_DIR="$work/run" DISPLAY= WAYLAND_DISPLAY=
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
  key='HKCU\SOFTWARE\Quillon\Sonoduct'
  "$bin/reg" set "$key" DefaultDir sz "$work/out/"
  "$bin/reg" set "$key" CPUSleepTime dword 0
  "$bin/reg" set "$key" PlaySound dword 0
  "$bin/reg" set "$key" OpenDecodeOnExit dword 0
  "$bin/reg" set "$key" PromptForOverWrites dword 0
}

measure() {  # name command... : appends "cpu_seconds max_rss_kb" to $work/name.runs
  local name="$1"
  shift
  /usr/bin/time -f "%U %S %M" -o "$work/$name.time" "$@" >/dev/null 2>&1
  awk '{printf "%.3f %d\n", $1 + $2, $3}' "$work/$name.time" >>"$work/$name.runs"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

report() {  # name-a name-b label: medians of both and the CPU ratio
  local a_cpu b_cpu a_mem b_mem
  a_cpu=$(cut -d' ' -f1 "$work/$1.runs" | median)
  b_cpu=$(cut -d' ' -f1 "$work/$2.runs" | median)
  a_mem=$(cut -d' ' -f2 "$work/$1.runs" | median)
  b_mem=$(cut -d' ' -f2 "$work/$2.runs" | median)
  echo "$3"
  echo "  $1: median CPU ${a_cpu}s, peak RSS ${a_mem} KB"
  echo "  $2: median CPU ${b_cpu}s, peak RSS ${b_mem} KB"
  echo "  CPU ratio $1/$2: $(awk -v a="$a_cpu" -v b="$b_cpu" 'BEGIN {printf "%.2f", a / b}')"
}
