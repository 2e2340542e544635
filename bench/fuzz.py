#!/usr/bin/env python3
"""Fuzzes the probe and the conversion with mutated clips.

Makes five short clips with the ffmpeg tool (MP4 H.264+AAC, Matroska, AVI MPEG-4+MP3, WAV,
MP3), mutates each --count times (flipped bytes, zeroed runs, cut tails, duplicated or dropped
blocks), and runs ostrel-convert on every mutant: its dry run (the probe) and a conversion.
Counts crashes (death by a signal), hangs (no end within --timeout), sanitizer reports, and
false successes: an exit 0 whose output is shorter than what `ffmpeg -f null` decodes from
the same input (by more than 1 s or 1 %), or that leaves a temporary file. Prints the counts;
exit status 1 when any is not 0.

Usage: bench/fuzz.py --convert build/bin/ostrel-convert [--count 120] [--seed 1] [--jobs 2]
"""
import argparse
import concurrent.futures
import os
import random
import re
import subprocess
import sys
import tempfile

CLIPS = [
    ("clip.mp4", ["-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=2", "-f", "lavfi",
                  "-i", "sine=duration=2", "-c:v", "libx264", "-preset", "ultrafast", "-c:a",
                  "aac"], "ID_MP"),
    ("clip.mkv", ["-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=2", "-f", "lavfi",
                  "-i", "sine=duration=2", "-c:v", "mpeg4", "-c:a", "libvorbis"], "ID_FLV"),
    ("clip.avi", ["-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=2", "-f", "lavfi",
                  "-i", "sine=duration=2", "-c:v", "mpeg4", "-c:a", "libmp3lame"], "ID_WMV"),
    ("clip.wav", ["-f", "lavfi", "-i", "sine=duration=2"], "ID_MPB"),
    ("clip.mp3", ["-f", "lavfi", "-i", "sine=duration=2", "-c:a", "libmp3lame"], "ID_WAV"),
]
SANITIZER = re.compile(r"ERROR: (Address|Leak|Thread|Memory)Sanitizer|runtime error:|"
                       r"WARNING: ThreadSanitizer")


def mutate(data, rng):
    data = bytearray(data)
    kind = rng.randrange(5)
    if kind == 0:  # flipped bytes
        for _ in range(rng.randint(1, 40)):
            data[rng.randrange(len(data))] = rng.randrange(256)
    elif kind == 1:  # a zeroed run
        start = rng.randrange(len(data))
        data[start:start + rng.randint(16, 4096)] = bytes(min(4096, len(data) - start))
    elif kind == 2:  # a cut tail
        del data[rng.randint(len(data) // 10, len(data) - 1):]
    elif kind == 3:  # a duplicated block
        start = rng.randrange(len(data))
        block = data[start:start + rng.randint(16, 8192)]
        at = rng.randrange(len(data))
        data[at:at] = block
    else:  # a dropped block
        start = rng.randrange(len(data))
        del data[start:start + rng.randint(16, 8192)]
    return bytes(data)


def decodable_seconds(path):
    proc = subprocess.run(["ffmpeg", "-nostdin", "-v", "quiet", "-i", path, "-map", "0:V:0?",
                           "-map", "0:a:0?", "-f", "null", "-progress", "pipe:1", "-"],
                          capture_output=True, text=True, timeout=120)
    times = re.findall(r"out_time_us=(-?\d+)", proc.stdout)
    return max(0, int(times[-1])) / 1e6 if times else 0.0


def output_seconds(path):
    return decodable_seconds(path)


def run_one(convert, work, index, source, profile, data, timeout):
    """Counts of one mutant: (crash, hang, sanitizer, false success, description)."""
    folder = os.path.join(work, "m%04d" % index)
    os.mkdir(folder)
    name = os.path.join(folder, "in" + os.path.splitext(source)[1])
    with open(name, "wb") as f:
        f.write(data)
    out = os.path.join(folder, "out")
    os.mkdir(out)
    counts = [0, 0, 0, 0]
    notes = []
    for args in (["--dry-run"], []):
        try:
            proc = subprocess.run([convert, "--profile", profile, "--threads", "1", "--output",
                                   out] + args + [name], capture_output=True, text=True,
                                  timeout=timeout)
        except subprocess.TimeoutExpired:
            counts[1] += 1
            notes.append("hang%s" % args)
            continue
        if proc.returncode < 0:
            counts[0] += 1
            notes.append("signal %d%s" % (-proc.returncode, args))
        if SANITIZER.search(proc.stderr):
            counts[2] += 1
            notes.append("sanitizer%s" % args)
        if not args and proc.returncode == 0:
            left = os.listdir(out)
            produced = [f for f in left if not f.startswith(".")]
            expected = decodable_seconds(name)
            got = output_seconds(os.path.join(out, produced[0])) if produced else 0.0
            if len(left) != 1 or got < expected - max(1.0, expected * 0.01):
                counts[3] += 1
                notes.append("false success: %.2f s of %.2f s, %s" % (got, expected, left))
    return counts, notes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--convert", required=True)
    parser.add_argument("--count", type=int, default=120, help="mutants per clip")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=float, default=60.0)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    totals = [0, 0, 0, 0]
    with tempfile.TemporaryDirectory(prefix="ostrel-fuzz-") as work:
        jobs = []
        with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
            for source, ffargs, profile in CLIPS:
                path = os.path.join(work, source)
                subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y"] + ffargs + [path],
                               check=True)
                with open(path, "rb") as f:
                    original = f.read()
                for _ in range(args.count):
                    jobs.append(pool.submit(run_one, args.convert, work, len(jobs), source,
                                            profile, mutate(original, rng), args.timeout))
            for number, job in enumerate(jobs):
                counts, notes = job.result()
                totals = [a + b for a, b in zip(totals, counts)]
                if notes:
                    print("mutant %d: %s" % (number, "; ".join(notes)), flush=True)
    print("fuzz: %d files: %d crashes, %d hangs, %d sanitizer reports, %d false successes" %
          (len(jobs), *totals))
    return 0 if sum(totals) == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
