# Helpers of the benchmark and the soak for measuring running processes from /proc. Source it.

# Seconds since the epoch, with nanoseconds.
now_s() { date +%s.%N; }

# The CPU time (user + system, clock ticks) of the given processes, dead threads included.
cpu_ticks() {
    local total=0 p t
    for p in "$@"; do
        # The fields after the command name (which may hold spaces): utime and stime are 12 and 13.
        t=$(sed 's/^.*) //' "/proc/$p/stat" 2>/dev/null | awk '{print $12 + $13}') || t=0
        total=$((total + ${t:-0}))
    done
    echo "$total"
}

# A field of /proc/PID/status in kB (VmRSS, VmHWM).
status_kb() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }

# One process's CPU time (clock ticks) by part: "decoding picture window": its decoders' threads
# (multiqueue sources), the picture path's (the video queue's source: conversion, scaling, the
# sink) and the main thread (painting, the tick). Ratios of these within one run hold however
# loaded the machine is, where CPU seconds per second do not.
part_ticks() {
    local t comm ticks decoding=0 picture=0 window=0
    for t in /proc/"$1"/task/*; do
        comm=$(cat "$t/comm" 2>/dev/null) || continue
        ticks=$(sed 's/^.*) //' "$t/stat" 2>/dev/null | awk '{print $12 + $13}') || continue
        case $comm in
        multiqueue*) decoding=$((decoding + ticks)) ;;
        vqueue*) picture=$((picture + ticks)) ;;
        esac
        [ "${t##*/}" = "$1" ] && window=$ticks
    done
    echo "$decoding $picture $window"
}

# The largest peak resident memory (kB) of the given processes.
peak_kb() {
    local most=0 p v
    for p in "$@"; do
        v=$(status_kb "$p" VmHWM)
        [ "${v:-0}" -gt "$most" ] && most=$v
    done
    echo "$most"
}

# CPU seconds per second between two samples: per_second TICKS0 TICKS1 T0 T1.
per_second() {
    awk -v c0="$1" -v c1="$2" -v t0="$3" -v t1="$4" -v hz="$(getconf CLK_TCK)" \
        'BEGIN {printf "%.4f", (c1 - c0) / hz / (t1 - t0)}'
}

# Ends the given processes as a user would (SIGTERM: the program closes its window and writes its
# counters), and waits for them; a process still there after 10 s is killed.
stop_all() {
    local p
    kill -TERM "$@" 2>/dev/null || true
    for p in "$@"; do
        for _ in $(seq 1 100); do
            kill -0 "$p" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
}

# The median of column COL of FILE.
median_of() {
    awk -v c="$2" '{print $c}' "$1" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

# The median of the ratios line by line of the first columns of two files (A and B measured in
# the same round).
ratio_median() {
    paste -d ' ' "$1" "$2" | awk '$3 > 0 {print $1 / $3}' | sort -g |
        awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

# The real program's media controls on the session bus: mpris METHOD [ARGS...].
mpris() {
    gdbus call --session --timeout 30 --dest org.mpris.MediaPlayer2.tetrav --object-path /org/mpris/MediaPlayer2 \
        --method "org.mpris.MediaPlayer2.Player.$1" "${@:2}" >/dev/null
}
# Playing, Paused or Stopped; empty while the program is not on the bus.
mpris_status() {
    gdbus call --session --dest org.mpris.MediaPlayer2.tetrav --object-path /org/mpris/MediaPlayer2 \
        --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player PlaybackStatus 2>/dev/null |
        tr -dc 'A-Za-z'
}
# Waits (at most 30 s) until the playback status reads $1.
wait_status() {
    for _ in $(seq 1 300); do
        [ "$(mpris_status)" = "$1" ] && return 0
        sleep 0.1
    done
    echo "the program's status did not become $1" >&2
    return 1
}
# Starts play once the set given on the command line has opened (paused on its first pictures):
# the program answers Busy while it opens.
play_when_open() {
    for _ in $(seq 1 150); do
        if [ "$(mpris_status)" = Paused ] && mpris Play 2>/dev/null; then
            wait_status Playing
            return
        fi
        sleep 0.2
    done
    echo "the program did not start to play" >&2
    return 1
}
