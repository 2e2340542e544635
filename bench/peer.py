#!/usr/bin/env python3
"""Translates one of ostrel-convert's option strings into an ffmpeg command doing the same work.

The engine reads its option string in ffmpeg's old command-line syntax but picks its own
encoders, muxers and values where the ffmpeg tool would pick others (its mp4 default is
libx264, ours mpeg4; "-vpre" preset files are gone; "-target dvd" guesses PAL or NTSC from the
input). The translation names everything explicitly: encoders, size, frame rate, sample rate,
channels, bit rates, x264 preset, muxer and the disc targets' rate-control and muxer values,
so that both programs encode the same streams with the same encoders.

The tables below follow the engine's own (src/engine/ffmpeg/options.cpp and
encoder_constraints.cpp); the benchmark checks every translation by probing both outputs.

Usage: bench/peer.py --check [--build build]
  runs --dry-run of the first profile of every format key and prints its ffmpeg command.
"""
import argparse
import os
import shlex
import subprocess
import sys
import tempfile
from fractions import Fraction

# Extension -> (muxer, default video encoder, default audio encoder); no video encoder marks an
# audio-only container, which never gets a video stream.
CONTAINERS = {
    "3gp": ("3gp", "h263", "amr_nb"),
    "asf": ("asf", "msmpeg4v2", "wmav2"),
    "wmv": ("asf", "wmv2", "wmav2"),
    "avi": ("avi", "libxvid", "libmp3lame"),
    "f4v": ("flv", "libx264", "aac"),
    "flv": ("flv", "flv", "libmp3lame"),
    "swf": ("swf", "flv", "libmp3lame"),
    "mkv": ("matroska", "libx264", "libmp3lame"),
    "mov": ("mov", "mpeg4", "aac"),
    "mp4": ("mp4", "mpeg4", "aac"),
    "m4v": ("mp4", "mpeg4", "aac"),
    "mpg": ("mpeg", "mpeg1video", "mp2"),
    "mpeg": ("mpeg", "mpeg1video", "mp2"),
    "rm": ("rm", "rv20", "ac3"),
    "vob": ("dvd", "mpeg2video", "ac3"),
    "webm": ("webm", "libvpx", "libvorbis"),
    "ts": ("mpegts", "mpeg2video", "mp2"),
    "aac": ("adts", None, "aac"),
    "ac3": ("ac3", None, "ac3"),
    "aiff": ("aiff", None, "pcm_s16be"),
    "flac": ("flac", None, "flac"),
    "m4a": ("ipod", None, "aac"),
    "mp2": ("mp2", None, "mp2"),
    "mp3": ("mp3", None, "libmp3lame"),
    "ogg": ("ogg", None, "libvorbis"),
    "ra": ("rm", None, "ac3"),
    "wav": ("wav", None, "pcm_s16le"),
    "wma": ("asf", None, "wmav2"),
    "opus": ("opus", None, "libopus"),
}

# Requested names the engine serves with another encoder.
ENCODER_NAMES = {"libfaac": "aac", "amr_nb": "libopencore_amrnb", "vorbis": "libvorbis",
                 "mp3": "libmp3lame", "flv1": "flv", "vp8": "libvpx"}

# "-target": the values of the ffmpeg tool's opt_target, as the engine applies them.
DISC_TARGETS = {
    "vcd": dict(muxer="vcd", video="mpeg1video", audio="mp2", width=352, heights=(240, 288),
                vb=1150000, maxrate=1150000, minrate=1150000, bufsize=40 * 1024 * 8,
                ab=224000, ar=44100, ac=2, packetsize=2324, muxrate=1411200, preload=0.44),
    "dvd": dict(muxer="dvd", video="mpeg2video", audio="ac3", width=720, heights=(480, 576),
                vb=6000000, maxrate=9000000, minrate=0, bufsize=224 * 1024 * 8, ab=448000,
                ar=48000, ac=0, packetsize=2048, muxrate=10080000, preload=0.0),
}

H263_SIZES = [(128, 96), (176, 144), (352, 288), (704, 576), (1408, 1152)]
MPEG1_RATES = [Fraction(24000, 1001), Fraction(24), Fraction(25), Fraction(30000, 1001),
               Fraction(30), Fraction(50), Fraction(60000, 1001), Fraction(60)]
MPEG2_RATES = MPEG1_RATES + [Fraction(15)]
SIZE_ALIGNMENT = {"h263": 4, "rv10": 16, "rv20": 4}
# RealMedia takes no packet over 64 kB: the engine caps rv10/rv20 frames with a rate-control
# buffer of this many bytes.
REALMEDIA_FRAME_BYTES = 60000

# Sample rates the encoders (or a muxer for an encoder) allow; a wanted rate the encoder lacks
# becomes the nearest allowed one.
SAMPLE_RATES = {
    "ac3": [48000, 44100, 32000],
    "mp2": [44100, 48000, 32000, 22050, 24000, 16000],
    "libopencore_amrnb": [8000],
    "aac": [96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000,
            7350],
    "libmp3lame": [44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000],
    "libopus": [48000],
}
FLASH_MP3_RATES = [44100, 22050, 11025]
MAX_SAMPLE_RATE = {"wmav2": 48000}
MAX_CHANNELS = {"libopencore_amrnb": 1, "wmav2": 2}
MP2_KBPS = [32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384]
MP2_LOW_KBPS = [8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]
AC3_KBPS = [32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576,
            640]
MIN_AUDIO_BITRATE = {"wmav2": 24000}

X264_PRESETS = ["ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow",
                "slower", "veryslow", "placebo"]


def encoder_name(name):
    name = name.lower()
    return ENCODER_NAMES.get(name, name)


def bitrate(text):
    scale = 1
    if text[-1] in "kK":
        scale, text = 1000, text[:-1]
    elif text[-1] in "mM":
        scale, text = 1000000, text[:-1]
    return round(float(text) * scale)


def frame_rate(text):
    if ":" in text or "/" in text:
        num, den = text.replace(":", "/").split("/")
        return Fraction(int(num), int(den))
    return Fraction(text).limit_denominator(1000)  # "29.97" is 2997/100, as in ffmpeg


def nearest(allowed, wanted):
    return min(allowed, key=lambda value: abs(value - wanted))


def parse(options, input_fps):
    """The option string as a dict of what it asks for (later options win)."""
    job = {"vf": None}
    tokens = shlex.split(options)
    explicit_vb = None
    i = 0
    while i < len(tokens):
        option = tokens[i]
        if option in ("-an", "-vn"):
            job[option] = True
            i += 1
            continue
        if i + 1 >= len(tokens):
            raise ValueError("missing value for %s in %r" % (option, options))
        value = tokens[i + 1]
        i += 2
        if option == "-r":
            job["rate"] = frame_rate(value)
        elif option == "-ac":
            job["channels"] = int(value)
        elif option == "-ar":
            job["sample_rate"] = int(value)
        elif option == "-s":
            w, h = value.lower().split("x")
            job["size"] = (int(w), int(h))
        elif option in ("-vb", "-b:v"):
            explicit_vb = bitrate(value)
        elif option in ("-crf", "-preset", "-deadline", "-cpu-used", "-row-mt"):
            # The newer encoders' own quality and speed options, passed on as they are.
            job.setdefault("private", {})[option] = value
        elif option == "-passes":
            job["passes"] = int(value)
        elif option == "-tag:v":
            job["tag"] = value
        elif option == "-ab":
            job["ab"] = bitrate(value)
        elif option == "-vcodec":
            job["vcodec"] = encoder_name(value)
        elif option == "-acodec":
            job["acodec"] = encoder_name(value)
        elif option == "-vpre":
            preset = value.lower()
            if not preset.startswith("libx264-"):
                raise ValueError("unknown preset file %s" % value)
            preset = preset[len("libx264-"):]
            preset = "medium" if preset == "default" else preset
            if preset not in X264_PRESETS:
                raise ValueError("unknown preset file %s" % value)
            job["preset"] = preset
        elif option == "-f":
            job["muxer"] = value
        elif option == "-aspect":
            job["aspect"] = value
        elif option == "-map_metadata":
            job["map_metadata"] = value
        elif option == "-vf":
            job["vf"] = value
        elif option == "-target":
            disc = value.lower()
            pal = abs(input_fps - 25) < 0.01 or abs(input_fps - 50) < 0.01
            for prefix, named in (("ntsc-", False), ("pal-", True)):
                if disc.startswith(prefix):
                    disc, pal = disc[len(prefix):], named
            target = DISC_TARGETS[disc]
            job.update(rate=Fraction(25) if pal else Fraction(30000, 1001),
                       muxer=target["muxer"], vcodec=target["video"], acodec=target["audio"],
                       size=(target["width"], target["heights"][1 if pal else 0]),
                       vb=target["vb"], ab=target["ab"], sample_rate=target["ar"],
                       target=dict(gop=15 if pal else 18, **target))
            if target["ac"]:
                job["channels"] = target["ac"]
        else:
            raise ValueError("option %s is not translated" % option)
    if explicit_vb is not None:
        job["vb"] = explicit_vb  # "-vb" wins over a target's rate, wherever it stands
    return job


def video_plan(job, extension, input_size, input_fps):
    """(encoder, width, height, frame rate) of the output's video, as the engine fits them."""
    encoder = job.get("vcodec") or CONTAINERS[extension][1]
    width, height = job.get("size", input_size)
    if encoder == "h263" and not job.get("vcodec") and (width, height) not in H263_SIZES:
        encoder = "mpeg4"  # the 3gp default for sizes H.263 cannot take
    if encoder == "h263" and (width, height) not in H263_SIZES:
        width, height = min(H263_SIZES, key=lambda s: abs(s[0] * s[1] - width * height))
    align = SIZE_ALIGNMENT.get(encoder, 2)
    width, height = max(align, width // align * align), max(align, height // align * align)
    rate = job.get("rate", Fraction(input_fps).limit_denominator(1001))
    if encoder == "mpeg1video":
        rate = nearest(MPEG1_RATES, rate)
    elif encoder == "mpeg2video":
        rate = nearest(MPEG2_RATES, rate)
    return encoder, width, height, rate


def audio_plan(job, muxer, extension, input_rate, input_channels):
    """(encoder, sample rate, channels, bit rate or None) of the output's audio."""
    encoder = job.get("acodec") or CONTAINERS[extension][2]
    encoder = encoder_name(encoder)
    rate = job.get("sample_rate", input_rate)
    if muxer in ("flv", "swf") and encoder == "libmp3lame":
        rate = nearest(FLASH_MP3_RATES, rate)
    elif encoder in SAMPLE_RATES:
        rate = nearest(SAMPLE_RATES[encoder], rate)
    rate = min(rate, MAX_SAMPLE_RATE.get(encoder, rate))
    channels = job.get("channels", input_channels)
    channels = min(channels, MAX_CHANNELS.get(encoder, channels))
    bits = job.get("ab")
    if bits is not None and bits > 0:
        table = {"mp2": MP2_LOW_KBPS if rate < 32000 else MP2_KBPS, "ac3": AC3_KBPS}.get(encoder)
        if table:
            bits = nearest(table, bits // 1000) * 1000
        bits = max(bits, MIN_AUDIO_BITRATE.get(encoder, 0))
    return encoder, rate, channels, bits


def rate_text(rate):
    return str(rate.numerator) if rate.denominator == 1 else "%d/%d" % (rate.numerator,
                                                                        rate.denominator)


def command(options, extension, source, output, threads=2, input_size=(1280, 720),
            input_fps=25.0, input_rate=48000, input_channels=2):
    """The ffmpeg command that does the work of `options` from source into output."""
    extension = extension.lower()
    job = parse(options, input_fps)
    if job["vf"] or job.get("aspect"):
        raise ValueError("-vf and -aspect are not translated: %r" % options)
    muxer = job.get("muxer") or CONTAINERS[extension][0]
    audio_only = CONTAINERS[extension][1] is None
    cmd = ["ffmpeg", "-nostdin", "-v", "error", "-y", "-threads", str(threads), "-i", source,
           "-threads", str(threads), "-sn", "-dn", "-f", muxer]
    if job.get("map_metadata"):
        cmd += ["-map_metadata", job["map_metadata"]]
    if audio_only or job.get("-vn"):
        cmd.append("-vn")
    else:
        encoder, width, height, rate = video_plan(job, extension, input_size, input_fps)
        cmd += ["-c:v", encoder, "-s", "%dx%d" % (width, height), "-r", rate_text(rate),
                "-pix_fmt", "yuv420p"]
        vb = job.get("vb")
        quality_encoders = ("libx264", "libvpx", "libx265", "libsvtav1", "libvpx-vp9")
        if vb is not None and (vb > 0 or encoder in quality_encoders):
            cmd += ["-b:v", str(vb)]
        for option, value in job.get("private", {}).items():
            if not (option == "-crf" and vb):
                cmd += [option, value]
        if job.get("tag"):
            cmd += ["-tag:v", job["tag"]]
        if encoder == "libx265":
            cmd += ["-x265-params", "log-level=error"]
        if vb == 0 and encoder == "libx264":
            cmd += ["-crf", "23"]
        if encoder == "libx264":
            cmd += ["-preset", job.get("preset", "medium")]
        target = job.get("target")
        if target:
            bits = vb if vb is not None else 0
            cmd += ["-g", str(target["gop"]), "-maxrate", str(max(target["maxrate"], bits)),
                    "-minrate", str(min(target["minrate"], bits)),
                    "-bufsize", str(target["bufsize"]), "-packetsize", str(target["packetsize"]),
                    "-muxrate", str(target["muxrate"])]
            if target["preload"]:
                cmd += ["-muxpreload", str(target["preload"])]
        elif encoder in ("rv10", "rv20"):
            buffer_bits = REALMEDIA_FRAME_BYTES * 8
            most = round(buffer_bits * rate)
            cmd += ["-bufsize", str(buffer_bits), "-maxrate", str(most)]
            if vb is not None and vb > most * 9 // 10:
                cmd[cmd.index("-b:v") + 1] = str(most * 9 // 10)
    if job.get("-an"):
        cmd.append("-an")
    else:
        encoder, rate, channels, bits = audio_plan(job, muxer, extension, input_rate,
                                                   input_channels)
        cmd += ["-c:a", encoder, "-ar", str(rate), "-ac", str(channels)]
        if bits:
            cmd += ["-b:a", str(bits)]
    if job.get("passes") == 2 and not audio_only and not job.get("-vn"):
        # The first pass learns the video alone into the null muxer; the second writes the file.
        log = output + ".passlog"
        first = [a for a in cmd if a not in ("-sn", "-dn")]
        first = first[:first.index("-f")] + ["-f", "null"] + video_args(first) + \
            ["-an", "-pass", "1", "-passlogfile", log, "/dev/null"]
        second = cmd + ["-pass", "2", "-passlogfile", log, output]
        return ["sh", "-c", "%s && %s; status=$?; rm -f %s*; exit $status" % (
            shlex.join(first), shlex.join(second), shlex.quote(log))]
    return cmd + [output]


def video_args(cmd):
    """The video encoder's arguments of a command built above: from -c:v up to the sound's."""
    start = cmd.index("-c:v")
    end = cmd.index("-c:a") if "-c:a" in cmd else (cmd.index("-an") if "-an" in cmd else len(cmd))
    return cmd[start:end]


def first_profiles(convert):
    """(key, profile id) of the first profile of every format key, in --list-profiles order."""
    listing = subprocess.run([convert, "--list-profiles"], check=True, capture_output=True,
                             text=True).stdout
    seen = {}
    for line in listing.splitlines():
        fields = line.split("\t")
        if len(fields) >= 5 and fields[4] not in seen:
            seen[fields[4]] = fields[1]
    return list(seen.items())


def dry_run(convert, profile, source, folder):
    """(planned output, option string) of one profile for source."""
    out = subprocess.run([convert, "--profile", profile, "--dry-run", "--output", folder, source],
                         check=True, capture_output=True, text=True).stdout
    _, output, options = out.rstrip("\n").split("\t", 2)
    return output, options


def main():
    parser = argparse.ArgumentParser(description="ffmpeg commands for ostrel-convert's work")
    parser.add_argument("--check", action="store_true",
                        help="print the translation of every format key's first profile")
    parser.add_argument("--build", default="build")
    args = parser.parse_args()
    if not args.check:
        parser.print_help()
        return 2
    convert = os.path.abspath(os.path.join(args.build, "bin", "ostrel-convert"))
    with tempfile.TemporaryDirectory(prefix="ostrel-peer-") as work:
        source = os.path.join(work, "in.mp4")
        subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                        "testsrc2=size=1280x720:rate=25", "-f", "lavfi", "-i",
                        "sine=sample_rate=48000", "-t", "1", "-c:v", "libx264", "-c:a", "aac",
                        "-ac", "2", source], check=True)
        for key, profile in first_profiles(convert):
            output, options = dry_run(convert, profile, source, work)
            extension = os.path.splitext(output)[1][1:]
            print("%s (%s): %s" % (key, profile, options))
            print("    " + shlex.join(command(options, extension, "IN", "OUT." + extension)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
