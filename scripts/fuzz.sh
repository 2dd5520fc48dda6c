#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each one for a bounded time, starting from its seed corpus in fuzz/corpus/<target>;
# then replays every input in fuzz/regressions/<target>. Fails on any crash, leak, sanitizer
# report, hang (an input taking longer than the time-out) or memory blow-up.
#
# Environment:
#   TESS_FUZZ_SECONDS    seconds of fuzzing per target (default 50; 0 only replays)
#   TESS_FUZZ_TARGETS    the targets to run (default: "spr png bmp catalog assets_sheet assets_catalog")
#   TESS_FUZZ_BUILD_DIR  build folder (default: the preset's build/fuzz)
#
# New inputs found during the run stay out of the source tree. The input that made a target fail
# is copied to <build folder>/fuzz-failures/<target>/; once the fault is mended, add it to
# fuzz/regressions/<target>/ so that every later run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${TESS_FUZZ_SECONDS:-50}
read -r -a targets <<<"${TESS_FUZZ_TARGETS:-spr png bmp catalog assets_sheet assets_catalog}"
build=${TESS_FUZZ_BUILD_DIR:-build/fuzz}

echo "== fuzz build ($build)"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

# The sanitizer keeps freed memory in a quarantine of 256 MiB by default, which the memory limit
# below would count as if one input held it; 16 MiB still catches a use after free.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:quarantine_size_mb=16}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# A single input may take 10 s; no input may make the process hold more than 256 MiB or ask for
# more than that in one malloc. An import costs a small multiple of its decoded picture, and no
# seed or sane mutation comes near that under the sanitizers.
limits=(-timeout=10 -rss_limit_mb=256 -malloc_limit_mb=256)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=()

for target in "${targets[@]}"; do
  binary="$build/bin/fuzz_$target"
  artifacts="$scratch/artifacts/$target/"
  mkdir -p "$artifacts" "$scratch/corpus/$target"

  if [ "$seconds" -gt 0 ]; then
    echo "== fuzz $target for ${seconds}s"
    cp fuzz/corpus/"$target"/* "$scratch/corpus/$target/"
    # The outer time limit only catches a fuzzer that stops answering altogether.
    if ! timeout --signal=KILL $((seconds + 300)) "$binary" "${limits[@]}" \
        -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts" \
        "$scratch/corpus/$target" >"$scratch/$target.log" 2>&1; then
      failed+=("$target")
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|DONE' "$scratch/$target.log" || true
  fi

  regressions=(fuzz/regressions/"$target"/*)
  if [ -e "${regressions[0]}" ]; then
    echo "== replay ${#regressions[@]} regression inputs of $target"
    if ! "$binary" "${limits[@]}" -artifact_prefix="$artifacts" "${regressions[@]}" \
        >"$scratch/$target-replay.log" 2>&1; then
      failed+=("$target (regressions)")
      cat "$scratch/$target-replay.log"
    fi
  fi

  if compgen -G "$artifacts*" >/dev/null; then
    mkdir -p "$build/fuzz-failures/$target"
    cp "$artifacts"* "$build/fuzz-failures/$target/"
    [ -f "$scratch/$target.log" ] && tail -n 60 "$scratch/$target.log"
    echo "fuzz: failing inputs of $target kept in $build/fuzz-failures/$target/"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: FAILED: ${failed[*]}"
  exit 1
fi
echo "fuzz: all targets clean"
