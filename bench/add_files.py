#!/usr/bin/env python3
"""Adding 1000 files to the converter's list: the time it takes and how long the window
could not answer meanwhile.

Makes four short clips with ffmpeg (video with sound in MP4 and MKV, a WAV, an MP3), copies
them to 1000 distinct file names in a temporary folder and starts the program with its hidden
switch `--bench-add DIR` on the offscreen Qt platform. The program adds every file of DIR the
way a drop does (one probe after another through the engine, window events running between
files) and prints the figures. Settings go to a temporary configuration folder.

Usage: bench/add_files.py [--build build] [--files 1000]
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
    parser.add_argument("--files", type=int, default=1000)
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
            name = "file%04d%s" % (index, os.path.splitext(source)[1])
            shutil.copyfile(source, os.path.join(files_dir, name))

        env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                   XDG_CONFIG_HOME=os.path.join(work, "config"))
        start = time.perf_counter()
        result = subprocess.run([program, "--bench-add", files_dir], env=env,
                                capture_output=True, text=True, timeout=300)
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
        seconds = float(figures.get("seconds", "inf"))
        print("within 10 s:            %s" % ("yes" if seconds < 10 else "NO"))


if __name__ == "__main__":
    main()
