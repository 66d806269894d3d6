#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, one process at a time.
#
#   tools/fuzz.sh                 every target for 60 s
#   tools/fuzz.sh -t 300          every target for 300 s
#   tools/fuzz.sh regex_object    one target (names as in fuzz/CMakeLists.txt)
#
# The working corpora grow in fuzz-out/corpus/<target>/, seeded from fuzz/corpus/<target>/.
# An input that breaks a property or trips a sanitizer is kept in fuzz-out/findings/<target>/
# and the script exits non-zero. Copy such an input into fuzz/regressions/<target>/ so that the
# normal tests replay it, and add a case of its own to tests/fuzz_regressions/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
build="${FUZZ_BUILD:-build-fuzz}"
all_targets=(decode_response comment_page settings_file text_primitives random_sentence regex_object)

while getopts "t:h" option; do
  case "$option" in
    t) seconds="$OPTARG" ;;
    *) sed -n '2,12p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "unknown target: $t" >&2; exit 2; }
done

# The compiler and libFuzzer's runtime come from Debian's packages, like everything else.
tools/setup-deps.sh
fuzz_packages=(clang libclang-rt-14-dev)
missing=()
for p in "${fuzz_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DLILAN_FUZZ=ON -DLILAN_SANITIZE=ON -DLILAN_BUILD_UI=OFF -DLILAN_BUILD_BENCH=OFF \
      -DBUILD_TESTING=OFF -DLILAN_SUBSYSTEMS="text;web;compose;config;core" >/dev/null
cmake --build "$build" -j2 --target fuzz_targets

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
summary=()
for t in "${targets[@]}"; do
  corpus="fuzz-out/corpus/$t"
  findings="fuzz-out/findings/$t"
  log="fuzz-out/$t.log"
  mkdir -p "$corpus" "$findings"
  dict=()
  [ -f "fuzz/dictionaries/$t.dict" ] && dict=(-dict="fuzz/dictionaries/$t.dict")
  echo "== $t: ${seconds} s"
  stamp="fuzz-out/$t.started"
  touch "$stamp"
  status=0
  # -timeout turns a hang (a pattern the match limits failed to stop, say) into a finding.
  "$build/fuzz/fuzz_$t" "$corpus" "fuzz/corpus/$t" "${dict[@]}" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -jobs=1 -workers=1 -artifact_prefix="$findings/" -print_final_stats=1 \
      >"$log" 2>&1 || status=$?
  # With -jobs libFuzzer runs the work in a child whose output goes to fuzz-<n>.log.
  for child in fuzz-[0-9]*.log; do
    [ -f "$child" ] && { cat "$child" >>"$log"; rm -f "$child"; }
  done
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true)
  # Findings of earlier runs stay where they are until someone has looked at them; count
  # only this run's.
  found=$(find "$findings" -type f -newer "$stamp" | wc -l)
  summary+=("$(printf '%-16s %12s runs  %6s inputs  %s findings' "$t" "${runs:-?}" \
                "$(find "$corpus" -type f | wc -l)" "$found")")
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    failed+=("$t")
    grep -E 'property broken|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error' "$log" |
        awk '!seen[$0]++' | head -5 || true
  fi
done

echo
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "findings in: ${failed[*]} (inputs in fuzz-out/findings/, logs in fuzz-out/)" >&2
  exit 1
fi
echo "no findings"
