# Starts and stops a private Xvfb on a free display number. Source it, then
#   xvfb_start WIDTHxHEIGHTxDEPTH   (exports DISPLAY)
#   xvfb_stop
# The server picks its display number itself (-displayfd), so two of these started at the same
# moment never share one.
xvfb_start() {
    local size=${1:-1280x1024x24} fifo n=
    fifo=$(mktemp -u /tmp/xvfb-display.XXXXXX)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp -noreset +extension MIT-SCREEN-SAVER \
        3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    read -r -t 10 n <"$fifo" || true
    rm -f "$fifo"
    if [ -z "$n" ]; then
        echo "could not start Xvfb" >&2
        return 1
    fi
    export DISPLAY=":$n"
}

xvfb_stop() {
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    return 0
}
