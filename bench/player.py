#!/usr/bin/env python3
"""Benchmark of the preview player against ffplay and mpv playing the same clip.

Makes a 20 s 1920x1080 30 fps H.264/AAC clip with ffmpeg, starts Xvfb, and plays the clip for
10 s into a 640x360 window with each player in turn (median of --repeat runs, the players
taking turns so that a change in the machine's speed hits all alike). Sound goes to SDL's disk
driver writing to /dev/null (ours, ffplay) and to mpv's null output, all paced in real time.

Measured: CPU time (user + sys) of the whole process; for ours also the pictures dropped, the
A/V drift (picture time against the audio clock when each picture is handed to the host) and
the seek latency (from Seek to the host receiving the first picture of the new position,
median of 20 random seeks).

The last line reads:
  player: cpu ours/ffplay R, ours/mpv R, dropped N, drift max X ms mean Y ms, seek median Z ms

Usage: bench/player.py [--build build] [--repeat 3] [--seconds 10]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
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


def make_clip(path):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y",
                    "-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30",
                    "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000",
                    "-t", "20", "-c:v", "libx264", "-preset", "veryfast", "-g", "60",
                    "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "2", path], check=True)


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
    args = parser.parse_args()
    ours_tool = os.path.abspath(os.path.join(args.build, "bin", "ostrel_player_bench"))
    if not os.path.exists(ours_tool):
        sys.exit("build %s first (target ostrel_player_bench)" % ours_tool)
    need_tools()
    folder = tempfile.mkdtemp(prefix="ostrel-player-bench-")
    xvfb = None
    try:
        clip = os.path.join(folder, "clip-1080p30.mp4")
        make_clip(clip)
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
        _, out = run([ours_tool, "seek", clip, "20", "640", "360"], env, 120)
        seek = figures(out.strip().splitlines()[-1])
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
    print("goal: cpu <= 1.0x ffplay, 0 dropped, drift < 40 ms, seek < 150 ms")
    print("player: cpu ours/ffplay %.2f, ours/mpv %.2f, dropped %d, drift max %.1f ms mean %.1f "
          "ms, seek median %.1f ms"
          % (med["ours"] / med["ffplay"], med["ours"] / med["mpv"], dropped, drift_max,
             drift_mean, seek["seek_median_ms"]))


if __name__ == "__main__":
    main()
