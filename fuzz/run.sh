#!/bin/sh
# Runs every fuzz harness for a set time over a working copy of its seed
# corpus, after replaying the seeds and the saved findings once.
#   sh fuzz/run.sh BUILD_DIR SECONDS_EACH [smoke]
# In smoke mode the working corpus is thrown away afterwards. A crashing input
# is kept as BUILD_DIR/artifacts/NAME-crash-*; copy it to fuzz/regressions/NAME/
# once the fault is mended so that every later run replays it.
set -e
build=${1:-build-fuzz}
seconds=${2:-60}
mode=${3:-full}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$build/artifacts" "$build/corpus"
status=0
for name in gif jpg csv_line convert; do
    bin="$build/fuzz_$name"
    seeds="$here/corpus/$name"
    regressions="$here/regressions/$name"
    work="$build/corpus/$name"
    [ "$mode" = smoke ] && work=$(mktemp -d)
    mkdir -p "$work"
    log="$build/fuzz_$name.log"
    # Every seed and every saved finding must pass before any new input runs.
    replay="$seeds"
    [ -d "$regressions" ] && replay="$replay $regressions"
    # shellcheck disable=SC2086
    if ! "$bin" -runs=0 -artifact_prefix="$build/artifacts/$name-" $replay > "$log" 2>&1; then
        echo "fuzz_$name: a seed or saved finding fails; see $log" >&2
        status=1
        continue
    fi
    if "$bin" -max_total_time="$seconds" -dict="$here/dict/$name.dict" -max_len=70000 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" \
        "$work" "$seeds" >> "$log" 2>&1; then
        execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        echo "fuzz_$name: ${seconds}s, $execs executions, no finding"
    else
        echo "fuzz_$name: FINDING; see $log and $build/artifacts/" >&2
        tail -n 30 "$log" >&2
        status=1
    fi
    [ "$mode" = smoke ] && rm -rf "$work"
done
exit $status
