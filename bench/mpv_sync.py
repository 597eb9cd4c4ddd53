#!/usr/bin/env python3
"""The reference figure for the sync benchmark: four mpv windows started together on the same
clips, driven through their IPC sockets by the same session as Tetrav's (seeks, pause/resume,
rate changes, frame steps), and the spread between the frames they show, sampled every 50 ms.
With --seeks N: instead, N exact seeks of the paused windows and the time until every window is
on its frame (the reference figure for a seek-bar click).
Usage: mpv_sync.py [--seeks N] SECONDS CLIP..."""
import json, os, socket, subprocess, sys, tempfile, time

seeks = 0
if sys.argv[1] == "--seeks":
    seeks = int(sys.argv[2])
    del sys.argv[1:3]
seconds = float(sys.argv[1])
clips = sys.argv[2:]
tmp = tempfile.mkdtemp()
procs, socks = [], []
for n, clip in enumerate(clips):
    path = os.path.join(tmp, f"s{n}")
    x, y = (n // 2) * 640, (n % 2) * 452
    procs.append(subprocess.Popen(["mpv", "--no-config", "--vo=x11", "--ao=null", f"--geometry=640x452+{x}+{y}",
                                   "--no-border", "--hr-seek=yes", "--keep-open=yes", "--really-quiet",
                                   f"--input-ipc-server={path}", "--pause", clip]))
    socks.append(path)
conns = []
for path in socks:
    for _ in range(200):
        try:
            c = socket.socket(socket.AF_UNIX)
            c.connect(path)
            conns.append(c.makefile("rw"))
            break
        except OSError:
            time.sleep(0.05)

def ask(f, *cmd):
    f.write(json.dumps({"command": list(cmd)}) + "\n")
    f.flush()
    while True:
        reply = json.loads(f.readline())
        if "event" not in reply:
            return reply.get("data")

def all_(*cmd):
    for f in conns:
        ask(f, *cmd)

spreads = []
def run(ms):
    end = time.time() + ms / 1000.0
    while time.time() < end:
        time.sleep(0.05)
        n = [ask(f, "get_property", "estimated-frame-number") for f in conns]
        if None not in n:
            spreads.append(max(n) - min(n))

if seeks:
    # Paused, exact seeks of all four windows to places more than 2 s apart: the time from the
    # commands until every window reports the target's frame and no seek under way.
    import random
    rng = random.Random(20261207)
    fps = ask(conns[0], "get_property", "container-fps") or 30.0
    length = ask(conns[0], "get_property", "duration") or 30.0
    times, at = [], 0.0
    for _ in range(seeks):
        target = at
        while abs(target - at) < 3.0:
            target = rng.uniform(0.5, length * 0.9)
        at = target
        frame = int(target * fps)
        t0 = time.time()
        all_("seek", target, "absolute+exact")
        while time.time() - t0 < 8:
            n = [ask(f, "get_property", "estimated-frame-number") for f in conns]
            busy = [ask(f, "get_property", "seeking") for f in conns]
            if all(x is not None and abs(x - frame) <= 1 for x in n) and not any(busy):
                times.append(time.time() - t0)
                break
            time.sleep(0.005)
    for f in conns:
        try:
            ask(f, "quit")
        except Exception:
            pass
    for p in procs:
        p.wait(timeout=10)
    times.sort()
    med = times[len(times) // 2] * 1000 if times else -1
    print(f"mpv (four windows): exact seek to every window on its frame, paused: {len(times)} of {seeks} "
          f"seeks: median {med:.0f} ms, max {max(times) * 1000 if times else -1:.0f} ms (its own report, "
          f"not the screen)")
    sys.exit(0)

start = time.time()
all_("set_property", "pause", False)
run(8000)
for at in (30.0, 5.5, 44.25, 18.0):
    all_("seek", at, "absolute+exact")
    run(2500)
all_("set_property", "pause", True); run(1000)
all_("set_property", "pause", False); run(3000)
all_("set_property", "speed", 2.0); run(3000)
all_("set_property", "speed", 0.25); run(3000)
all_("set_property", "speed", 1.0); run(3000)
all_("set_property", "pause", True); run(500)
for _ in range(8):
    all_("frame-step"); run(250)
all_("set_property", "pause", False); run(3000)
all_("seek", 10.0, "absolute+exact")
run(max(0, (seconds - (time.time() - start)) * 1000))
for f in conns:
    try:
        ask(f, "quit")
    except Exception:
        pass
for p in procs:
    p.wait(timeout=10)
spreads.sort()
pick = lambda q: spreads[min(len(spreads) - 1, int(q * (len(spreads) - 1) + 0.5))] if spreads else 0
print(f"mpv (four windows): spread between windows in frames over {len(spreads)} samples: "
      f"median {pick(0.5)}, p99 {pick(0.99)}, max {pick(1.0)}")
