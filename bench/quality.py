#!/usr/bin/env python3
"""Quality benchmark of the H.265, AV1 and VP9 profiles (and the H.264 profile they are
measured against): size, encode time and SSIM per quality level, and HandBrakeCLI at the
same size.

The input is a 1080p 30 fps clip of --seconds (default 20) made of the natural clips of the
real-world media folder (--media, default /work/shared/media/real), each scaled into
1920x1080, one after another; testsrc2 fills what they do not. It has no sound, so sizes are
the video's. Every key runs its general profile through ostrel-convert at each quality level
(`--threads 2`); SSIM is the ffmpeg tool's ssim filter against the input. HandBrakeCLI
(Debian's handbrake-cli, installed with apt-get when missing) encodes the same input with its
closest built-in preset at the average bit rate of our output (asked a second time, scaled,
when it lands more than 5 % off), so that both files have about the same size, with its cropping of black bars turned off (the input's smaller clips are
padded, and a cropped picture cannot be compared with the source):

    quality KEY LEVEL size MB time S ssim X | handbrake size MB time S ssim X

A key without a HandBrake preset prints `| handbrake none`. Goals: at the same size, SSIM at
least HandBrake's and time at most its; "normal" of the newer keys gives the SSIM of mp4h264's
"normal" at half its size or less (the `versus mp4h264` lines). Times depend on the machine's
load: take them on a quiet machine.

Usage: bench/quality.py [--build build] [--seconds 20] [--keys mp4hevc,mp4h264]
                        [--levels high,normal,low] [--no-handbrake] [--keep DIR]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

KEYS = ["mp4h264", "mp4hevc", "mkvhevc", "mp4av1", "webmav1", "webmvp9"]
CAPTIONS = {
    "mp4h264": "MP4 - H264 Video (*.mp4)",
    "mp4hevc": "MP4 - H.265/HEVC Video (*.mp4)",
    "mkvhevc": "MKV - H.265/HEVC Video (*.mkv)",
    "mp4av1": "MP4 - AV1 Video (*.mp4)",
    "webmav1": "WebM - AV1 Video (*.webm)",
    "webmvp9": "WebM - VP9 Video (*.webm)",
}
# HandBrake 1.6.1's closest built-in presets, tried in order.
HANDBRAKE = {
    "mp4h264": ["Fast 1080p30"],
    "mp4hevc": ["H.265 MKV 1080p30"],
    "mkvhevc": ["H.265 MKV 1080p30"],
    "mp4av1": ["AV1 MKV 1080p30", "AV1 MKV 2160p60 4K"],
    "webmav1": ["AV1 MKV 1080p30", "AV1 MKV 2160p60 4K"],
    "webmvp9": ["VP9 MKV 1080p30"],
}
# Natural footage of the real-world folder, best first.
NATURAL = [
    "ax-sample_edit_list.mp4",  # animation, 1080p, 2.5 s
    "ax-bbb_800x640_768kbps_30fps_vp9.mp4",  # a face to a camera, 4 s
    "ax-sample.mp4",  # a phone clip, 1 s
    "ax-iibbibb_editlist_videoonly.mp4",  # animation, 576p, 12.5 s
    "ax-edit_list_positive_shift.mp4",  # a concert at night, 10 s
]


def check(cmd, **kwargs):
    result = subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                            **kwargs)
    if result.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (result.returncode, " ".join(cmd),
                                          result.stderr[-3000:]))
    return result


def make_input(media, seconds, path):
    """Natural clips scaled into 1080p30, one after another, filled up with testsrc2. Every part
    is tagged BT.709: the first clip is an HLG phone video, whose tags would otherwise make the
    H.264 profile tone-map the whole source."""
    clips = [os.path.join(media, name) for name in NATURAL
             if os.path.exists(os.path.join(media, name))]
    cmd = ["ffmpeg", "-nostdin", "-v", "error", "-y"]
    for clip in clips:
        cmd += ["-i", clip]
    cmd += ["-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30:duration=%d" % seconds]
    parts = []
    for i in range(len(clips) + 1):
        parts.append("[%d:v]scale=1920:1080:force_original_aspect_ratio=decrease,"
                     "pad=1920:1080:(ow-iw)/2:(oh-ih)/2,setsar=1,fps=30,format=yuv420p,"
                     "setparams=color_primaries=bt709:color_trc=bt709:colorspace=bt709[v%d]"
                     % (i, i))
    graph = ";".join(parts) + ";" + "".join("[v%d]" % i for i in range(len(clips) + 1)) + \
        "concat=n=%d:v=1:a=0[out]" % (len(clips) + 1)
    cmd += ["-filter_complex", graph, "-map", "[out]", "-t", str(seconds), "-an",
            "-c:v", "libx264", "-preset", "veryfast", "-crf", "10", "-bf", "0",
            "-video_track_timescale", "30", path]
    check(cmd)


def ssim(output, source):
    """SSIM of picture n against picture n: Matroska's millisecond times would otherwise pair
    some pictures with their neighbours."""
    result = check(["ffmpeg", "-nostdin", "-v", "info", "-i", output, "-i", source,
                    "-lavfi", "[0:v]scale=1920:1080,format=yuv420p,settb=1/30,setpts=N[a];"
                    "[1:v]format=yuv420p,settb=1/30,setpts=N[b];[a][b]ssim",
                    "-f", "null", "-"])
    found = re.findall(r"All:([0-9.]+)", result.stderr)
    if not found:
        sys.exit("no SSIM for " + output)
    return float(found[-1])


def video_kbps(path):
    result = check(["ffprobe", "-v", "error", "-show_entries", "format=duration,size",
                    "-of", "default=nw=1", path])
    fields = dict(line.split("=", 1) for line in result.stdout.split())
    return float(fields["size"]) * 8 / 1000.0 / float(fields["duration"])


def timed(cmd):
    begin = time.perf_counter()
    check(cmd)
    return time.perf_counter() - begin


def handbrake_presets():
    if shutil.which("HandBrakeCLI") is None:
        print("installing handbrake-cli", flush=True)
        subprocess.run(["apt-get", "install", "-y", "-q", "handbrake-cli"],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=False)
    if shutil.which("HandBrakeCLI") is None:
        return None
    listing = subprocess.run(["HandBrakeCLI", "--preset-list"], stdin=subprocess.DEVNULL,
                             capture_output=True, text=True)
    return set(re.findall(r"^\s{4}(\S.*?)\s*$", listing.stderr + listing.stdout, re.M))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build")
    parser.add_argument("--media", default="/work/shared/media/real")
    parser.add_argument("--seconds", type=int, default=20)
    parser.add_argument("--keys", default=",".join(KEYS))
    parser.add_argument("--levels", default="high,normal,low")
    parser.add_argument("--no-handbrake", action="store_true")
    parser.add_argument("--keep", help="write the files into this folder and keep them")
    args = parser.parse_args()
    convert = os.path.abspath(os.path.join(args.build, "bin", "ostrel-convert"))
    if not os.access(convert, os.X_OK):
        sys.exit("no %s: build first" % convert)
    keys = args.keys.split(",")
    presets = None if args.no_handbrake else handbrake_presets()
    work = args.keep or tempfile.mkdtemp(prefix="ostrel-quality-")
    os.makedirs(work, exist_ok=True)
    try:
        # MP4 keeps the exact 1/30 s steps (Matroska rounds them to milliseconds).
        source = os.path.join(work, "source.mp4")
        make_input(args.media, args.seconds, source)
        normal = {}
        for key in keys:
            for level in args.levels.split(","):
                folder = os.path.join(work, "%s-%s" % (key, level))
                shutil.rmtree(folder, ignore_errors=True)
                os.makedirs(folder)
                seconds = timed([convert, "--profile", CAPTIONS[key], "--video-quality", level,
                                 "--threads", "2", "--output", folder, source])
                output = os.path.join(folder, os.listdir(folder)[0])
                size = os.path.getsize(output) / 1e6
                score = ssim(output, source)
                if level == "normal":
                    normal[key] = (size, score)
                line = "quality %s %s size %.2f MB time %.1f S ssim %.4f" % (
                    key, level, size, seconds, score)
                names = [name for name in HANDBRAKE[key] if presets and name in presets]
                if not names:
                    print(line + " | handbrake none", flush=True)
                    continue
                theirs = os.path.join(folder, "handbrake." + (
                    "mp4" if "MP4" in names[0] or key == "mp4h264" else "mkv"))
                # HandBrake's rate control may miss the asked rate (its VP9 and AV1 land well
                # under it): a second encode asks again, scaled by how far the first missed.
                kbps = video_kbps(output)
                for attempt in range(2):
                    if os.path.exists(theirs):
                        os.remove(theirs)
                    hb_seconds = timed(["HandBrakeCLI", "-i", source, "-o", theirs,
                                        "--preset", names[0], "-a", "none", "--crop-mode", "none",
                                        "--vb", "%d" % round(kbps)])
                    if not os.path.exists(theirs):
                        sys.exit("HandBrakeCLI wrote no %s" % theirs)
                    missed = os.path.getsize(output) / os.path.getsize(theirs)
                    if abs(missed - 1) <= 0.05:
                        break
                    kbps *= missed
                print(line + " | handbrake size %.2f MB time %.1f S ssim %.4f" % (
                    os.path.getsize(theirs) / 1e6, hb_seconds, ssim(theirs, source)),
                    flush=True)
        if "mp4h264" in normal:
            base_size, base_ssim = normal["mp4h264"]
            for key, (size, score) in normal.items():
                if key != "mp4h264":
                    print("versus mp4h264 %s normal size %.2f ssim %+.4f" % (
                        key, size / base_size, score - base_ssim))
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
