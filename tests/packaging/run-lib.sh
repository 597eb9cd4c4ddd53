# Shared by the packaging tests (sourced): starts PROGRAM on CLIP on its own runtime and
# configuration folders under $work, waits for its window and ends it with SIGTERM; fails with
# LABEL when no window shows or it does not end cleanly. Needs fail() and $work.
# Usage: runs_and_ends_cleanly PROGRAM CLIP LABEL
runs_and_ends_cleanly() {
    local program=$1 clip=$2 label=$3 pid up= rc=0
    export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    "$program" "$clip" 2>"$work/stderr" &
    pid=$!
    for _ in $(seq 1 200); do
        if xdotool search --onlyvisible --pid "$pid" --name '^Tetrav$' >/dev/null 2>&1; then up=1; break; fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$up" ] || { kill "$pid" 2>/dev/null; cat "$work/stderr"; fail "the $label program showed no window"; }
    kill -TERM "$pid"
    wait "$pid" || rc=$?
    [ "$rc" = 0 ] || { cat "$work/stderr"; fail "the $label program ended with $rc"; }
}
