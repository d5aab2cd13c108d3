#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (preset "fuzz", clang 14 with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for SECONDS
# (default 60), starting from a corpus seeded with the test fixtures. A
# crash or a broken invariant stops with the input that caused it, saved as
# build/fuzz/findings/<target>/crash-*; reproduce it with
#   build/fuzz/fuzz/fuzz_<target> <that file>
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(comment declaration settings registry vbp markers)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${targets[@]/#/fuzz_}"

fixtures=tests/fixtures
seeds() {
  case "$1" in
    comment) find "$fixtures/host" -type f \( -iname '*.bas' -o -iname '*.cls' -o -iname '*.frm' -o -iname '*.ctl' \) ;;
    declaration) find "$fixtures/host" -type f \( -iname '*.bas' -o -iname '*.cls' \) ;;
    settings) find "$fixtures/settings" -type f \( -iname '*.ini' -o -iname '*.dat' \) ;;
    registry) find fuzz/seeds -type f -iname '*.reg' ;;
    vbp) find "$fixtures/host" -type f -iname '*.vbp' ;;
    markers) find "$fixtures/host" -type f \( -iname '*.bas' -o -iname '*.cls' \) ;;
  esac
}

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}:allocator_may_return_null=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
status=0
passed=0
failed=0
for target in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$target
  findings=build/fuzz/findings/$target
  mkdir -p "$corpus" "$findings"
  while IFS= read -r seed; do
    [ -n "$seed" ] && cp -f "$seed" "$corpus/seed-$(basename "$seed")"
  done < <(seeds "$target")
  echo "== fuzz_$target for ${seconds}s"
  if ! build/fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -max_len=65536 \
      -rss_limit_mb=1024 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$corpus" 2>"build/fuzz/$target.log"; then
    tail -n 40 "build/fuzz/$target.log" >&2
    echo "fuzz_$target found a fault: see $findings/" >&2
    status=1
    failed=$((failed + 1))
  else
    grep -E '^stat::number_of_executed_units' "build/fuzz/$target.log" || true
    passed=$((passed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
exit $status
