#!/usr/bin/env python3
"""Benchmark of the preview player against ffplay and mpv playing the same clip.

Makes a 20 s 1920x1080 30 fps H.264/AAC clip with ffmpeg, starts Xvfb, and plays the clip for
10 s into a 640x360 window with each player in turn (median of --repeat runs, the players
taking turns so that a change in the machine's speed hits all alike). Sound goes to SDL's disk
driver writing to /dev/null (ours, ffplay) and to mpv's null output, all paced in real time.

Ours is shown by tests/player/player_bench.cpp, a host that blits each picture into the window's
pixels as the player window does (no OpenGL, which Mesa would run on the CPU under Xvfb).

Measured: CPU time (user + sys) of the whole process; for ours also the pictures dropped, the
A/V drift (picture time against the audio clock when each picture is handed to the host) and
the seek latency (from Seek to the host receiving the first picture of the new position,
median of 20 random seeks).

mpv seeks to the same positions with precise seeks (--hr-seek=yes), timed through its IPC
socket from the command to its "playback-restart" event; ffplay has no control interface to
time a seek through, so it takes part in the CPU figures only.

With a conversion beside the preview: a 720p clip is converted by ostrel-convert with 2
threads to "MP4 - H264 Video" alone and again while ours plays the 1080p clip (taking turns,
medians); the preview's dropped pictures and drift, and how much longer the conversion took.

The last two lines read:
  player: cpu ours/ffplay R, ours/mpv R, dropped N, drift max X ms mean Y ms, seek median Z ms (mpv Z2 ms)
  player while converting: dropped N, drift max X ms, conversion slowed R

Usage: bench/player.py [--build build] [--repeat 3] [--seconds 10] [--smoke]
(--smoke: short clips and one turn, to prove the benchmark runs; its figures mean nothing.)
"""
import json
import socket
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time


def need_tools():
    """Installs what the benchmark needs and the project does not (mpv), when root."""
    missing = [p for p, tool in (("mpv", "mpv"), ("ffmpeg", "ffplay"), ("xvfb", "Xvfb"))
               if shutil.which(tool) is None]
    if not missing:
        return
    if os.geteuid() != 0:
        sys.exit("missing: %s (install them, or run as root)" % " ".join(missing))
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(["apt-get", "update", "-qq"], check=True, env=env)
    subprocess.run(["apt-get", "install", "-y", "-qq"] + missing, check=True, env=env,
                   stdout=subprocess.DEVNULL)


def make_clip(path, size="1920x1080", seconds=20):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y",
                    "-f", "lavfi", "-i", "testsrc2=size=%s:rate=30" % size,
                    "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000",
                    "-t", str(seconds), "-c:v", "libx264", "-preset", "veryfast", "-g", "60",
                    "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "2", path], check=True)


def mpv_seek_median(clip, positions_us, env, folder):
    """mpv's precise seeks to the same positions: command to playback-restart, median ms."""
    path = os.path.join(folder, "mpv.sock")
    proc = subprocess.Popen(["mpv", "--no-config", "--really-quiet", "--hr-seek=yes",
                             "--keep-open=yes", "--geometry=640x360", "--autofit=640x360",
                             "--hwdec=no", "--vo=x11", "--ao=null",
                             "--input-ipc-server=" + path, clip],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env,
                            stdin=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.path.exists(path):
                break
            time.sleep(0.05)
        conn = socket.socket(socket.AF_UNIX)
        conn.connect(path)
        conn.settimeout(5)
        pending = b""

        def wait_event(name):
            nonlocal pending
            while True:
                while b"\n" not in pending:
                    pending += conn.recv(65536)
                line, _, pending = pending.partition(b"\n")
                if json.loads(line).get("event") == name:
                    return

        time.sleep(1.0)
        latencies = []
        for number, position in enumerate(positions_us):
            # Events of the start or of the last seek still queued are dropped first.
            conn.setblocking(False)
            try:
                while conn.recv(65536):
                    pass
            except BlockingIOError:
                pass
            conn.settimeout(5)
            pending = b""
            start = time.monotonic()
            conn.sendall(json.dumps({"command": ["seek", position / 1e6, "absolute+exact"],
                                     "request_id": number}).encode() + b"\n")
            wait_event("seek")
            wait_event("playback-restart")
            latencies.append((time.monotonic() - start) * 1000.0)
            time.sleep(0.4)
        conn.close()
        return statistics.median(latencies)
    finally:
        proc.kill()
        proc.wait()


def converting_case(convert_tool, ours_tool, clip, source, env, folder, repeat):
    """The preview beside a 2-thread conversion: (dropped, drift max, conversion slowed)."""
    alone, beside, runs = [], [], []
    for turn in range(repeat):
        for with_preview in (False, True):
            out = os.path.join(folder, "out-%d-%d" % (turn, with_preview))
            os.makedirs(out)
            cmd = [convert_tool, "--profile", "ID_MPH", "--threads", "2", "--output", out,
                   source]
            start = time.monotonic()
            conversion = subprocess.Popen(cmd, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
            # The conversion's own end, taken when it exits: the preview may play on after it.
            ended = {}
            waiter = threading.Thread(target=lambda: ended.update(
                result=conversion.communicate(timeout=600), at=time.monotonic()))
            waiter.start()
            if with_preview:
                # Plays as long as the conversion took alone, so the two overlap throughout.
                seconds = max(2, int(statistics.median(alone) + 0.999))
                _, printed = run([ours_tool, "play", clip, str(seconds), "640", "360"], env,
                                 seconds + 60)
                runs.append(figures(printed.strip().splitlines()[-1]))
            waiter.join()
            if conversion.returncode != 0:
                sys.exit("conversion failed: %s\n%s" % (" ".join(cmd),
                                                         ended["result"][1].decode()[-2000:]))
            (beside if with_preview else alone).append(ended["at"] - start)
            shutil.rmtree(out, ignore_errors=True)
            print("converting run %d %s: %.2f s" % (turn + 1, "with preview" if with_preview
                                                    else "alone", (beside if with_preview
                                                                   else alone)[-1]),
                  flush=True)
    dropped = int(max(r["dropped"] for r in runs))
    drift_max = max(r["drift_max_ms"] for r in runs)
    return dropped, drift_max, statistics.median(beside) / statistics.median(alone)


def start_xvfb():
    for number in range(91, 120):
        if os.path.exists("/tmp/.X11-unix/X%d" % number) or os.path.exists(
                "/tmp/.X%d-lock" % number):
            continue
        proc = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1280x720x24",
                                 "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(50):
            if os.path.exists("/tmp/.X11-unix/X%d" % number):
                return proc, ":%d" % number
            time.sleep(0.1)
        proc.kill()
        proc.wait()
    sys.exit("cannot start Xvfb")


def run(cmd, env, timeout):
    """Runs cmd to its end; returns (cpu seconds user+sys, stdout)."""
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                            stdin=subprocess.DEVNULL)
    deadline = time.monotonic() + timeout
    while True:
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
        if pid != 0:
            break
        if time.monotonic() > deadline:
            proc.kill()
            _, status, usage = os.wait4(proc.pid, 0)
            sys.exit("timed out: %s" % " ".join(cmd))
        time.sleep(0.05)
    out = proc.stdout.read().decode(errors="replace")
    err = proc.stderr.read().decode(errors="replace")
    proc.stdout.close()
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s\n%s" % (" ".join(cmd), err[-2000:]))
    return usage.ru_utime + usage.ru_stime, out


def figures(line):
    values = {}
    for item in line.split():
        key, _, value = item.partition("=")
        values[key] = float(value)
    return values


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--seconds", type=int, default=10)
    parser.add_argument("--smoke", action="store_true")
    args = parser.parse_args()
    if args.smoke:
        args.repeat, args.seconds = 1, 2
    convert_tool = os.path.abspath(os.path.join(args.build, "bin", "ostrel-convert"))
    ours_tool = os.path.abspath(os.path.join(args.build, "bin", "ostrel_player_bench"))
    if not os.path.exists(ours_tool):
        sys.exit("build %s first (target ostrel_player_bench)" % ours_tool)
    need_tools()
    folder = tempfile.mkdtemp(prefix="ostrel-player-bench-")
    xvfb = None
    try:
        clip = os.path.join(folder, "clip-1080p30.mp4")
        make_clip(clip, seconds=5 if args.smoke else 20)
        source = os.path.join(folder, "source-720p30.mp4")
        make_clip(source, "1280x720", 2 if args.smoke else 10)
        xvfb, display = start_xvfb()
        env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="disk",
                   SDL_DISKAUDIOFILE="/dev/null")
        env.pop("WAYLAND_DISPLAY", None)
        seconds = args.seconds
        limit = seconds + 30
        commands = {
            "ours": [ours_tool, "play", clip, str(seconds), "640", "360"],
            "ffplay": ["ffplay", "-nostats", "-loglevel", "error", "-autoexit", "-t",
                       str(seconds), "-x", "640", "-y", "360", clip],
            "mpv": ["mpv", "--no-config", "--really-quiet", "--length=%d" % seconds,
                    "--geometry=640x360", "--autofit=640x360", "--no-border", "--hwdec=no",
                    "--vo=x11", "--ao=null", clip],
        }
        cpu = {name: [] for name in commands}
        ours_runs = []
        for turn in range(args.repeat):
            for name, cmd in commands.items():
                used, out = run(cmd, env, limit)
                cpu[name].append(used)
                if name == "ours":
                    ours_runs.append(figures(out.strip().splitlines()[-1]))
                print("run %d %-6s cpu %.2f s" % (turn + 1, name, used), flush=True)
        _, out = run([ours_tool, "seek", clip, "3" if args.smoke else "20", "640", "360"],
                     env, 120)
        lines = out.strip().splitlines()
        seek = figures(lines[-1])
        positions = [int(p) for p in lines[-2].partition("=")[2].split(",") if p]
        mpv_seek = mpv_seek_median(clip, positions, env, folder)
        converting = converting_case(convert_tool, ours_tool, clip, source, env, folder,
                                     args.repeat)
    finally:
        if xvfb is not None:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(folder, ignore_errors=True)

    med = {name: statistics.median(values) for name, values in cpu.items()}
    dropped = int(max(r["dropped"] for r in ours_runs))
    drift_max = max(r["drift_max_ms"] for r in ours_runs)
    drift_mean = statistics.mean(r["drift_mean_ms"] for r in ours_runs)
    shown = statistics.median(r["shown"] for r in ours_runs)
    print("cpu (median of %d): ours %.2f s, ffplay %.2f s, mpv %.2f s"
          % (args.repeat, med["ours"], med["ffplay"], med["mpv"]))
    print("ours: %d pictures shown in %d s, audio output %s"
          % (shown, seconds, "yes" if ours_runs[0]["audio"] else "no"))
    print("goal: cpu <= 1.0x mpv, 0 dropped, drift < 40 ms, seek < 100 ms and below mpv's; "
          "while converting 0 dropped, drift < 40 ms, conversion slowed <= 1.15")
    print("player: cpu ours/ffplay %.2f, ours/mpv %.2f, dropped %d, drift max %.1f ms mean %.1f "
          "ms, seek median %.1f ms (mpv %.1f ms)"
          % (med["ours"] / med["ffplay"], med["ours"] / med["mpv"], dropped, drift_max,
             drift_mean, seek["seek_median_ms"], mpv_seek))
    print("player while converting: dropped %d, drift max %.1f ms, conversion slowed %.2f"
          % converting)


if __name__ == "__main__":
    main()
