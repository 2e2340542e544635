#!/usr/bin/env python3
"""Benchmarks of ostrel-convert against the ffmpeg tools doing the same work.

Generates its inputs with ffmpeg into a temporary folder, runs each side in turn (best of
--repeat runs) and prints the ratios ours/peer:

  (a) one 20 s 1280x720 clip, "MP4 - H264 Video (*.mp4)": wall time and peak memory
  (b) eight 5 s 640x480 clips, "MP4 - MPEG-4 Video (*.mp4)", ours with 2 threads against
      ffmpeg converting one file after another
  (c) probing 200 files: ours (--dry-run, which probes every file) against one ffprobe per file

Usage: bench/bench.py [--build build] [--repeat 3] [--only a,b,c]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time


def run(cmd):
    """Runs cmd; returns (wall seconds, peak resident memory in MiB of that process)."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s\n%s" % (" ".join(cmd), err[-2000:]))
    return wall, usage.ru_maxrss / 1024.0


def timed(prepare, cmd_or_cmds):
    """Wall time and peak memory of one run; a list of commands runs in sequence."""
    prepare()
    cmds = cmd_or_cmds if isinstance(cmd_or_cmds[0], list) else [cmd_or_cmds]
    wall, peak = 0.0, 0.0
    for cmd in cmds:
        w, p = run(cmd)
        wall += w
        peak = max(peak, p)
    return wall, peak


def compare(repeat, prepare, ours_cmd, peer_cmd):
    """Best of repeat runs for each side, the two sides taking turns so that a change in the
    machine's speed during the benchmark hits both alike."""
    ours, peer = None, None
    for _ in range(repeat):
        o = timed(prepare, ours_cmd)
        p = timed(prepare, peer_cmd)
        ours = o if ours is None or o[0] < ours[0] else ours
        peer = p if peer is None or p[0] < peer[0] else peer
    return ours, peer


def ffmpeg_make(path, seconds, size, audio=True):
    cmd = ["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
           "testsrc2=size=%s:rate=25" % size]
    if audio:
        cmd += ["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000"]
    cmd += ["-t", str(seconds), "-c:v", "libx264", "-preset", "ultrafast", "-crf", "18"]
    if audio:
        cmd += ["-c:a", "aac", "-ac", "2"]
    cmd.append(path)
    subprocess.run(cmd, check=True)


def fresh(folder):
    def prepare():
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    return prepare


def report(name, ours, peer, target, what="wall"):
    ratio = ours / peer if peer > 0 else float("inf")
    verdict = "ok" if ratio <= target else "OVER TARGET"
    print("%-44s ours %8.3f  peer %8.3f  ratio %.3f (target <= %.2f) %s"
          % (name + " " + what, ours, peer, ratio, target, verdict))
    return ratio


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--only", default="a,b,c")
    args = parser.parse_args()
    convert = os.path.abspath(os.path.join(args.build, "bin", "ostrel-convert"))
    if not os.access(convert, os.X_OK):
        sys.exit("build ostrel-convert first (scripts/test.sh or cmake --build build)")
    cases = set(args.only.split(","))
    work = tempfile.mkdtemp(prefix="ostrel-bench-")
    out = os.path.join(work, "out")
    try:
        if "a" in cases:
            clip = os.path.join(work, "hd.mp4")
            ffmpeg_make(clip, 20, "1280x720")
            ours, peer = compare(args.repeat, fresh(out),
                                 [convert, "--profile", "ID_MPH", "--threads", "2", "--output", out,
                                  clip],
                                 ["ffmpeg", "-v", "error", "-y", "-threads", "2", "-i", clip,
                                  "-ac", "2", "-c:v", "libx264", "-preset", "veryfast",
                                  "-b:v", "6144k", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                  "-b:a", "128k", "-ar", "44100", "-s", "1280x720",
                                  os.path.join(out, "hd.mp4")])
            report("(a) 20 s 1280x720 MP4 H264", ours[0], peer[0], 1.05)
            report("(a) 20 s 1280x720 MP4 H264", ours[1], peer[1], 1.20, "peak MiB")
        if "b" in cases:
            clips = []
            for i in range(8):
                clips.append(os.path.join(work, "sd%d.mp4" % i))
                ffmpeg_make(clips[-1], 5, "640x480")
            ours_cmd = [convert, "--profile", "ID_MP", "--threads", "2", "--output", out] + clips
            peer_cmds = [["ffmpeg", "-v", "error", "-y", "-i", c, "-r", "29.97", "-ac", "2",
                          "-c:v", "mpeg4", "-b:v", "2048k", "-c:a", "aac", "-b:a", "128k",
                          "-ar", "44100", "-s", "640x480",
                          os.path.join(out, os.path.basename(c))] for c in clips]
            ours, peer = compare(args.repeat, fresh(out), ours_cmd, peer_cmds)
            report("(b) 8 x 5 s 640x480 MP4 MPEG-4", ours[0], peer[0], 0.80)
        if "c" in cases:
            probe_dir = os.path.join(work, "probe")
            os.makedirs(probe_dir)
            seed = os.path.join(probe_dir, "seed.mp4")
            ffmpeg_make(seed, 1, "320x240")
            files = [seed]
            for i in range(199):
                files.append(os.path.join(probe_dir, "p%03d.mp4" % i))
                shutil.copyfile(seed, files[-1])
            ours, peer = compare(args.repeat, lambda: None,
                                 [convert, "--profile", "ID_MP", "--output", out, "--dry-run"] + files,
                                 [["ffprobe", "-v", "error", "-show_streams", "-show_format", f]
                            for f in files])
            report("(c) probing 200 files", ours[0], peer[0], 1.00)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
