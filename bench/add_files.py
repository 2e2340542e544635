#!/usr/bin/env python3
"""Adding 10,000 files to the converter's list: the time it takes, how long the window could
not answer meanwhile, the peak memory, and how long the list takes to save and restore.

Makes four short clips with ffmpeg (video with sound in MP4 and MKV, a WAV, an MP3), links
them to 10,000 distinct file names in 100 subfolders of a temporary folder and starts the
program with its hidden switch `--bench-add DIR` on the offscreen Qt platform. The program adds
the folder the way a dropped folder is added (walked folder by folder, one probe after another
through the engine, window events running between files) and prints the figures. Settings and
the kept list go to temporary folders.

Usage: bench/add_files.py [--build build] [--files 10000]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time


def make_clips(folder):
    sources = {
        "clip.mp4": ["-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-f", "lavfi", "-i",
                     "sine=frequency=440", "-t", "2", "-c:v", "libx264", "-preset", "ultrafast",
                     "-c:a", "aac", "-shortest"],
        "clip.mkv": ["-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25", "-f", "lavfi", "-i",
                     "sine=frequency=330", "-t", "1", "-c:v", "mpeg4", "-c:a", "mp2", "-shortest"],
        "tone.wav": ["-f", "lavfi", "-i", "sine=frequency=300", "-t", "3"],
        "tone.mp3": ["-f", "lavfi", "-i", "sine=frequency=500", "-t", "2"],
    }
    made = []
    for name, args in sources.items():
        path = os.path.join(folder, name)
        subprocess.run(["ffmpeg", "-v", "error", "-y"] + args + [path], check=True)
        made.append(path)
    return made


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="build folder holding bin/ostrel")
    parser.add_argument("--files", type=int, default=10000)
    args = parser.parse_args()

    program = os.path.join(args.build, "bin", "ostrel")
    if not os.access(program, os.X_OK):
        sys.exit("no program at %s; build first" % program)

    with tempfile.TemporaryDirectory(prefix="ostrel-bench-add-") as work:
        sources_dir = os.path.join(work, "sources")
        files_dir = os.path.join(work, "files")
        os.makedirs(sources_dir)
        os.makedirs(files_dir)
        sources = make_clips(sources_dir)
        for index in range(args.files):
            source = sources[index % len(sources)]
            folder = os.path.join(files_dir, "folder%03d" % (index % 100))
            os.makedirs(folder, exist_ok=True)
            name = "file%05d%s" % (index, os.path.splitext(source)[1])
            # Hard links: the files are distinct names, not distinct copies on the disk.
            os.link(source, os.path.join(folder, name))

        env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                   XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_DATA_HOME=os.path.join(work, "data"))
        start = time.perf_counter()
        result = subprocess.run([program, "--bench-add", files_dir], env=env,
                                capture_output=True, text=True, timeout=1800)
        wall = time.perf_counter() - start
        if result.returncode != 0:
            sys.exit("ostrel failed (%d):\n%s%s" % (result.returncode, result.stdout,
                                                   result.stderr[-2000:]))
        figures = dict(line.split(": ", 1) for line in result.stdout.splitlines()
                       if ": " in line)
        print("files added:            %s of %s" % (figures.get("rows listed"),
                                                     figures.get("files offered")))
        print("adding took:            %s s" % figures.get("seconds"))
        print("longest unanswered gap: %s" % figures.get("longest pause"))
        print("whole program run:      %.2f s (start-up, adding, exit)" % wall)
        print("list saved:             %s" % figures.get("list saved"))
        print("list restored:          %s" % figures.get("list restored"))
        print("peak memory:            %s" % figures.get("peak memory"))
        seconds = float(figures.get("seconds", "inf"))
        limit = 2.0 * args.files / 1000
        print("within %.0f s (2 s per 1,000 files): %s" % (limit, "yes" if seconds < limit else "NO"))


if __name__ == "__main__":
    main()
