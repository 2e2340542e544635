#!/usr/bin/env python3
"""Converts every file of a folder of real-world media with ostrel-convert, one profile per file
chosen so that every format key is used, and checks each result with ffprobe: exit status,
container, codecs, the length decoded from it against what the ffmpeg tool decodes from the
input, an
upright picture, audio kept, no video in audio files, nothing left on failure.

A file is expected to fail when ffprobe cannot open it, when it has neither audio nor video
the output can take, or when the ffmpeg tool decodes nothing from it; every other file must
convert. Exit status 0 when every check holds, 1 otherwise, 77 when the folder is missing.

Usage: realmedia.py --convert build/bin/ostrel-convert --media ../shared/media/real
"""
import argparse
import concurrent.futures
import json
import os
import re
import subprocess
import sys
import tempfile

# Format key -> (ffprobe format name part, video codec or None for audio keys, audio codec).
KEYS = {
    "aac": ("aac", None, "aac"), "ac3": ("ac3", None, "ac3"), "aiff": ("aiff", None, "pcm_s16be"),
    "flac": ("flac", None, "flac"), "m4a": ("mov", None, "aac"), "mp2": ("mp3", None, "mp2"),
    "mp3": ("mp3", None, "mp3"), "ogg": ("ogg", None, "vorbis"), "ra": ("rm", None, "ac3"),
    "wav": ("wav", None, "pcm_s16le"), "wma": ("asf", None, "wmav2"),
    "3gp": ("3gp", None, None), "asf": ("asf", "msmpeg4v2", "wmav2"),
    "avi": ("avi", "mpeg4", "mp3"), "f4v": ("flv", "h264", "aac"), "flv": ("flv", "flv1", "mp3"),
    "mkv": ("matroska", "h264", "mp3"), "mov": ("mov", "mpeg4", "aac"),
    "mp4h264": ("mp4", "h264", "aac"), "mp4": ("mp4", "mpeg4", "aac"),
    "mpg": ("mpeg", "mpeg1video", "mp2"), "mpg2": ("mpeg", "mpeg2video", "mp2"),
    "rm": ("rm", "rv20", "ac3"), "swf": ("swf", "flv1", "mp3"),
    "vob": ("mpeg", "mpeg2video", "ac3"), "webm": ("webm", "vp8", "vorbis"),
    "wmv": ("asf", "wmv2", "wmav2"), "ntsc-vcd": ("mpeg", "mpeg1video", "mp2"),
    "pal-vcd": ("mpeg", "mpeg1video", "mp2"), "ntsc-dvd": ("mpeg", "mpeg2video", "ac3"),
    "pal-dvd": ("mpeg", "mpeg2video", "ac3"),
}
AUDIO_KEYS = [k for k, v in KEYS.items() if v[1] is None and k != "3gp"]
# 3gp picks h263 or mpeg4 by size and AMR audio; checked loosely.
VIDEO_KEYS = [k for k in KEYS if k not in AUDIO_KEYS]

# Files given a key of their own: rotated and mirrored pictures keep a size-following profile,
# and the heaviest pictures (8K, 4K, 10-bit HEVC/AV1) go to audio keys or fast encoders.
CHOSEN = {
    "ax-sample_rotate_and_reflect.mp4": "mp4",
    "ax-internal_emulator_transformer_output_270_rotated.mp4": "flv",
    "ax-internal_emulator_transformer_output_180_rotated.mp4": "wmv",
    "ax-sample_portrait.mp4": "asf",
    "ax-portrait_4k60.mp4": "avi",
    "ax-dolbyVision-hdr.MOV": "mov",
    "ax-8k24fps_300ms.mp4": "aac",
    "ax-sample_edit_list.mp4": "m4a",
    "ax-water_180_mvhevc_5frames.mov": "mpg",
    "ax-hlg10-color-test.mp4": "ac3",
    "ax-sample_with_colr_mdcv_and_clli.mp4": "ogg",
    "ax-checkerboard_854x356_avc_baseline.mp4": "webm",
    "ax-sowt-with-video.mov": "wav",
    "ax-bbb_2500ms.ts": "mp2",
    "ax-sample_fragmented.mp4": "mp4h264",
    "ax-sample_with_srt.mkv": "mkv",
    "ax-sample_shorter_audio.mp4": "f4v",
    "ax-iibbibb_editlist_videoonly.mp4": "swf",
    "ax-sample-with-large-length.avi": "rm",
    "ax-sample.avi": "vob",
    "ax-silent-black-10s.mp4": "3gp",
    "ax-bbb_176x144_128kbps_15fps_h263.3gp": "ntsc-vcd",
    "ax-sample_h264.ts": "pal-vcd",
    "ax-sample_h263.ts": "ntsc-dvd",
    "ax-sample_h265.ts": "pal-dvd",
    "ax-sample.flv": "mpg2",
    "ax-bear.flac": "aiff",
    "ax-sample_float32.wav": "flac",
    "ax-bear_vorbis.ogg": "mp3",
    "ax-sine.aac": "ra",
    "ax-sample_alac.mp4": "wma",
}
# Fast video keys for the remaining video files, in turn.
FAST_VIDEO = ["mp4", "flv", "avi", "wmv", "asf", "mpg", "mov"]
# Size-following keys, for pictures turned by their display matrix.
AUTO_SIZE = {"mp4", "mp4h264", "flv", "avi", "wmv", "asf", "mpg", "mpg2", "mov", "mkv", "webm",
             "rm", "swf", "f4v"}


def probe(path):
    """ffprobe's streams and format of a file, or None when it cannot open it."""
    proc = subprocess.run(
        ["ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json", path],
        capture_output=True, text=True)
    if proc.returncode != 0:
        return None
    return json.loads(proc.stdout or "{}")


def kinds(info):
    """The codec types of a file's streams, cover art as 'cover'."""
    out = []
    for s in info.get("streams", []):
        t = s.get("codec_type")
        if t == "video" and s.get("disposition", {}).get("attached_pic"):
            t = "cover"
        out.append(t)
    return out


def rotation(info):
    for s in info.get("streams", []):
        if s.get("codec_type") == "video":
            for d in s.get("side_data_list", []):
                if "rotation" in d:
                    return int(d["rotation"])
    return 0


def decodable_seconds(path, audio_only):
    """How much the ffmpeg tool decodes from the file: the end of its output timestamps."""
    cmd = ["ffmpeg", "-nostdin", "-v", "error", "-i", path]
    # Sound alone is counted by its samples: an output without timestamps (raw AAC, MP3)
    # closes the gaps that skipped damaged frames leave in the input's timestamps.
    cmd += (["-map", "0:a:0?", "-af", "asetpts=N/SR/TB"] if audio_only
            else ["-map", "0:V:0?", "-map", "0:a:0?"])
    cmd += ["-f", "null", "-progress", "pipe:1", "-"]
    proc = subprocess.run(cmd, capture_output=True, text=True)
    times = re.findall(r"out_time_us=(\d+)", proc.stdout)
    return int(times[-1]) / 1e6 if times else 0.0


def profiles(convert):
    """Format key -> a profile of that key, preferring one that follows the input's size."""
    listing = subprocess.run([convert, "--list-profiles"], capture_output=True, text=True,
                             check=True).stdout
    chosen = {}
    for line in listing.splitlines():
        fields = line.split("\t")
        if len(fields) < 7:
            continue
        key, width = fields[4], fields[6]
        if key not in chosen or (width == "Auto" and chosen[key][1] != "Auto"):
            chosen[key] = (fields[1], width)
    return {k: v[0] for k, v in chosen.items()}


def check(convert, media, name, key, profile, work):
    """Converts one file; the list of what went wrong (empty: all checks hold)."""
    source = os.path.join(media, name)
    out_dir = os.path.join(work, name + ".out")
    os.mkdir(out_dir)
    info = probe(source)
    audio_key = KEYS[key][1] is None and key != "3gp"
    have = kinds(info) if info else []
    has_video, has_audio = "video" in have, "audio" in have
    reference = decodable_seconds(source, audio_key) if info else 0.0
    usable = info is not None and (has_audio or (has_video and not audio_key)) and reference > 0
    proc = subprocess.run([convert, "--profile", profile, "--threads", "1", "--output", out_dir,
                           source], capture_output=True, text=True, timeout=300)
    left = sorted(os.listdir(out_dir))
    problems = []
    if not usable:
        if proc.returncode != 1:
            problems.append("exit %d for a file that cannot be converted" % proc.returncode)
        if left:
            problems.append("left behind: %s" % left)
        return problems
    if proc.returncode != 0:
        tail = (proc.stdout + proc.stderr).strip().splitlines()[-3:]
        return ["exit %d: %s" % (proc.returncode, " / ".join(tail))]
    if len(left) != 1 or left[0].startswith("."):
        return ["the output folder holds %s" % left]
    out = probe(os.path.join(out_dir, left[0]))
    if out is None:
        return ["ffprobe cannot open the output"]
    fmt_part, video_codec, audio_codec = KEYS[key]
    if fmt_part not in out["format"]["format_name"].split(","):
        problems.append("container %s, not %s" % (out["format"]["format_name"], fmt_part))
    got = kinds(out)
    streams = {s["codec_type"]: s for s in out.get("streams", [])}
    if audio_key or not has_video:
        # A cover is kept as an attached picture; a picture stream is not.
        if "video" in got:
            problems.append("video in an audio-only output")
    else:
        if got.count("video") != 1:
            problems.append("%d video streams" % got.count("video"))
        elif video_codec and streams["video"]["codec_name"] != video_codec:
            problems.append("video codec %s" % streams["video"]["codec_name"])
        elif key in AUTO_SIZE and abs(rotation(info)) in (90, 270):
            src = next(s for s in info["streams"] if s.get("codec_type") == "video")
            v = streams["video"]
            if (int(src["width"]) > int(src["height"])) == (int(v["width"]) > int(v["height"])):
                problems.append("picture not upright: %sx%s" % (v["width"], v["height"]))
    if has_audio:
        if "audio" not in got:
            problems.append("audio lost")
        elif audio_codec and streams["audio"]["codec_name"] != audio_codec:
            problems.append("audio codec %s" % streams["audio"]["codec_name"])
    # Raw streams and swf declare no length of their own: both sides are measured by decoding.
    duration = decodable_seconds(os.path.join(out_dir, left[0]), audio_key or not has_video)
    slack = max(0.3, reference * 0.05)
    if not reference - slack <= duration <= reference + max(0.5, reference * 0.05):
        problems.append("lasts %.3f s; the ffmpeg tool decodes %.3f s from the input" %
                        (duration, reference))
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--convert", required=True)
    parser.add_argument("--media", required=True)
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()
    if not os.path.isdir(args.media):
        print("realmedia: SKIPPED: no folder of real-world media at %s (set OSTREL_REAL_MEDIA_DIR)" % args.media, flush=True)
        return 77
    names = sorted(n for n in os.listdir(args.media)
                   if n != "SOURCES.txt" and os.path.isfile(os.path.join(args.media, n)))
    by_key = profiles(args.convert)
    plan, turn_video, turn_audio = {}, 0, 0
    for name in names:
        if name in CHOSEN:
            plan[name] = CHOSEN[name]
            continue
        info = probe(os.path.join(args.media, name))
        if info is not None and "video" in kinds(info):
            plan[name] = FAST_VIDEO[turn_video % len(FAST_VIDEO)]
            turn_video += 1
        else:
            plan[name] = AUDIO_KEYS[turn_audio % len(AUDIO_KEYS)]
            turn_audio += 1
    unused = sorted(set(KEYS) - set(plan.values()))
    failures = 0
    if unused:
        print("realmedia: format keys not used: %s" % unused)
        failures += 1
    with tempfile.TemporaryDirectory(prefix="ostrel-realmedia-") as work, \
            concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        jobs = {pool.submit(check, args.convert, args.media, n, plan[n], by_key[plan[n]], work): n
                for n in names}
        for job in concurrent.futures.as_completed(jobs):
            name = jobs[job]
            try:
                problems = job.result()
            except subprocess.TimeoutExpired:
                problems = ["no end within 300 s"]
            status = "ok" if not problems else "FAIL " + "; ".join(problems)
            print("%-58s %-9s %s" % (name, plan[name], status), flush=True)
            failures += bool(problems)
    print("realmedia: %d files, %d keys, %d failed" % (len(names), len(set(plan.values())),
                                                       failures))
    return 0 if failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
