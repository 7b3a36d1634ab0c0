#!/bin/sh
# Runs every fuzz harness over a working copy of its seed corpus, after
# replaying the seeds and the saved findings once.
#   sh fuzz/run.sh BUILD_DIR SECONDS_EACH   random inputs for a set time
#   sh fuzz/run.sh BUILD_DIR smoke          a set number of inputs per harness
#                                           from a fixed seed: every run the same
# In smoke mode the working corpus starts empty and is thrown away afterwards.
# A crashing input is kept as BUILD_DIR/artifacts/NAME-crash-*; copy it to
# fuzz/regressions/NAME/ once the fault is mended so that every later run
# replays it.
set -e
build=${1:-build-fuzz}
seconds=${2:-60}
mode=full
[ "$seconds" = smoke ] && mode=smoke
here=$(cd "$(dirname "$0")" && pwd)
# The seed of smoke runs; any fixed value makes them repeatable.
smoke_seed=1

# Inputs of a smoke run: a few seconds each on a small machine.
smoke_runs() {
    case $1 in
    gif) echo 40000 ;;
    jpg) echo 30000 ;;
    csv_line) echo 300000 ;;
    convert) echo 8000 ;;
    find) echo 20000 ;;
    template) echo 20000 ;;
    esac
}

mkdir -p "$build/artifacts" "$build/corpus"
status=0
for name in gif jpg csv_line convert find template; do
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
    if [ "$mode" = smoke ]; then
        runs=$(smoke_runs "$name")
        # Comparison tracing and reloading the corpus each second bring in
        # what the seed does not fix; without them a run repeats exactly.
        limit="-seed=$smoke_seed -runs=$runs -use_cmp=0 -reload=0"
        done_what="$runs runs from seed $smoke_seed"
    else
        limit="-max_total_time=$seconds"
        done_what="${seconds}s"
    fi
    # shellcheck disable=SC2086
    if "$bin" $limit -dict="$here/dict/$name.dict" -max_len=70000 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" \
        "$work" "$seeds" >> "$log" 2>&1; then
        execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        echo "fuzz_$name: $done_what, $execs executions, no finding"
    else
        echo "fuzz_$name: FINDING; see $log and $build/artifacts/" >&2
        tail -n 30 "$log" >&2
        status=1
    fi
    [ "$mode" = smoke ] && rm -rf "$work"
done
exit $status
