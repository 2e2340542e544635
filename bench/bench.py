#!/usr/bin/env python3
"""Benchmarks of ostrel-convert against the ffmpeg tools doing the same work.

Generates its inputs with ffmpeg into a temporary folder (removed at the end). Ours and the
peer take turns, so that a change in the machine's speed during the benchmark hits both alike;
figures are medians of --repeat paired runs. Ratios are ours / peer. Any failed conversion
stops the benchmark.

  keys   one 20 s 1280x720 25 fps H.264/AAC clip converted with the first profile of every
         format key (in --list-profiles order), `--threads 2`, against the ffmpeg tool given
         the same work: bench/peer.py translates the --dry-run option string into an ffmpeg
         command naming the encoders, size, frame rate, sample rate, channels, bit rates, x264
         preset and muxer our engine uses, with `-threads 2` on the input (decoder) and the
         output (encoders) side. After the first paired run both outputs are probed
         (`ffprobe -count_frames`); every difference in codecs, size, frame rate, sample rate,
         channels or frame counts prints a `warning: KEY ...` line. Per key:
             KEY ours S ffmpeg S ratio R                  (wall seconds)
             peak memory KEY ours M ffmpeg M ratio R      (ru_maxrss of wait4, MiB)
             core use KEY ours C ffmpeg C                 (mp4h264, mp4: CPU user+sys / wall)
         then `keys: max ratio R (KEY), median ratio R` and `peak memory: max ratio R (KEY)`.
         Goals: every key <= 1.00; the MPEG-4 family (mp4 flv wmv avi mpg asf mov swf)
         <= 0.90; mp4h264 <= 0.97; peak memory <= 1.05.
  batch  eight 5 s 640x480 clips, "MP4 - MPEG-4 Video" (ID_MP): ours converting all of them in
         one run with `--threads 2`, against the better of two ways to run the ffmpeg tool
         with the same translated options: (i) one file after another, each with
         `-threads 2`, and (ii) two ffmpeg processes at once pulling from the list, each with
         `-threads 2`: the fastest way for ffmpeg on the shared 2-core machine (medians of 5:
         two processes of 2 threads 6.9 s, two of 1 thread 9.1 s, one after another 8.5 s).
             batch ours S ffmpeg S ratio R
             batch peers sequential S parallel S
         Goal <= 0.85.
  probe  probing 200 files: ours (--dry-run, which probes every file) against one ffprobe per
         file. Goal <= 1.00.
  copy   one 60 s 1280x720 H.264/AAC MKV to "MP4 - H264 Video" with --copy-when-fits (both
         streams copied), against the same conversion without it (re-encoded) and against
         `ffmpeg -c copy`, wall seconds:
             copy ours S reencode S ffmpeg-copy S
         Goals: reencode / ours >= 30; ours / ffmpeg-copy <= 1.10. Not run by default;
         `--only copy --quick` runs it on a 3 s 320x240 clip once, to prove it runs.

The keys of H.265 (mp4hevc, mkvhevc), AV1 (mp4av1, webmav1), VP9 (webmvp9), Opus and ALAC run
with their profiles' constant quality and speed settings on both sides (-crf, -preset,
-deadline, -cpu-used, -row-mt, -b:v 0, -tag:v hvc1).

Usage: bench/bench.py [--build build] [--repeat 5] [--only keys,batch,probe,copy] [--keys a,b,c]
                      [--seconds 20] [--quick]
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peer  # noqa: E402


class Sample:
    """One run: wall seconds, peak resident memory (MiB), CPU seconds (user + sys)."""

    def __init__(self, wall, peak, cpu):
        self.wall, self.peak, self.cpu = wall, peak, cpu


def start(cmd):
    return subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)


def finish(proc, cmd):
    """Waits for proc; its usage from wait4 (which counts its waited-for children too)."""
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if proc.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (proc.returncode, " ".join(cmd), err[-3000:]))
    return usage


def run(cmd):
    begin = time.perf_counter()
    usage = finish(start(cmd), cmd)
    wall = time.perf_counter() - begin
    return Sample(wall, usage.ru_maxrss / 1024.0, usage.ru_utime + usage.ru_stime)


def run_sequence(cmds):
    """The commands one after another: total wall and CPU, the largest peak."""
    samples = [run(cmd) for cmd in cmds]
    return Sample(sum(s.wall for s in samples), max(s.peak for s in samples),
                  sum(s.cpu for s in samples))


def run_parallel(cmds, workers):
    """The commands by `workers` processes at once, each taking the next from the list."""
    pending = list(cmds)
    lock = threading.Lock()
    peaks, cpus, failures = [], [], []

    def worker():
        while True:
            with lock:
                if not pending or failures:
                    return
                cmd = pending.pop(0)
            try:
                sample = run(cmd)
            except SystemExit as failure:  # run() exits on a failed command
                with lock:
                    failures.append(str(failure))
                return
            with lock:
                peaks.append(sample.peak)
                cpus.append(sample.cpu)

    begin = time.perf_counter()
    threads = [threading.Thread(target=worker) for _ in range(workers)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    wall = time.perf_counter() - begin
    if failures:
        sys.exit(failures[0])
    return Sample(wall, max(peaks), sum(cpus))


def clean(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)


def median(samples, field):
    return statistics.median(getattr(s, field) for s in samples)


def ratio(ours, theirs):
    return ours / theirs if theirs > 0 else float("inf")


def ffmpeg_make(path, seconds, size, audio=True):
    cmd = ["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
           "testsrc2=size=%s:rate=25" % size]
    if audio:
        cmd += ["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000"]
    cmd += ["-t", str(seconds), "-c:v", "libx264", "-preset", "ultrafast", "-crf", "18"]
    if audio:
        cmd += ["-c:a", "aac", "-ac", "2"]
    cmd.append(path)
    subprocess.run(cmd, check=True)


def probe_streams(path):
    """The first video and audio stream of a file, with decoded frame counts."""
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries",
                          "stream=codec_type,codec_name,width,height,r_frame_rate,sample_rate,"
                          "channels,nb_read_frames", "-of", "json", path],
                         check=True, capture_output=True, text=True).stdout
    streams = {}
    for stream in json.loads(out).get("streams", []):
        streams.setdefault(stream.get("codec_type"), stream)
    return streams


STREAM_FIELDS = {"video": ["codec_name", "width", "height", "r_frame_rate", "nb_read_frames"],
                 "audio": ["codec_name", "sample_rate", "channels", "nb_read_frames"]}


def differences(ours_path, peer_path):
    """What differs between our output and the peer's, one text per difference."""
    ours, theirs = probe_streams(ours_path), probe_streams(peer_path)
    found = []
    for kind, fields in STREAM_FIELDS.items():
        if (kind in ours) != (kind in theirs):
            found.append("%s stream: ours %s, ffmpeg %s" % (
                kind, "yes" if kind in ours else "none", "yes" if kind in theirs else "none"))
            continue
        for field in fields if kind in ours else []:
            a, b = ours[kind].get(field), theirs[kind].get(field)
            if a != b:
                found.append("%s %s: ours %s, ffmpeg %s" % (kind, field, a, b))
    return found


def paired(repeat, prepare, ours, theirs, after_first=None):
    """repeat runs of each side, taking turns; the samples of both."""
    mine, peers = [], []
    for index in range(repeat):
        prepare()
        mine.append(ours())
        peers.append(theirs())
        if index == 0 and after_first is not None:
            after_first()
    return mine, peers


def case_keys(args, convert, work):
    clip = os.path.join(work, "hd.mp4")
    ffmpeg_make(clip, args.seconds, "1280x720")
    ours_dir, peer_dir = os.path.join(work, "ours"), os.path.join(work, "peer")
    profiles = peer.first_profiles(convert)
    if args.keys:
        wanted = args.keys.split(",")
        unknown = sorted(set(wanted) - {key for key, _ in profiles})
        if unknown:
            sys.exit("unknown format keys: %s" % ", ".join(unknown))
        profiles = [(key, profile) for key, profile in profiles if key in wanted]
    walls, peaks = [], []
    for key, profile in profiles:
        clean(ours_dir)  # the planned name must not dodge the previous key's output
        output, options = peer.dry_run(convert, profile, clip, ours_dir)
        extension = os.path.splitext(output)[1][1:]
        peer_output = os.path.join(peer_dir, os.path.basename(output))
        peer_cmd = peer.command(options, extension, clip, peer_output, threads=2)
        ours_cmd = [convert, "--profile", profile, "--threads", "2", "--output", ours_dir, clip]

        def prepare():
            clean(ours_dir)
            clean(peer_dir)

        def ours():
            sample = run(ours_cmd)
            if not os.path.isfile(output):
                sys.exit("%s: ostrel-convert reported success without %s" % (key, output))
            return sample

        def check():
            for difference in differences(output, peer_output):
                print("warning: %s %s" % (key, difference), flush=True)

        mine, theirs = paired(args.repeat, prepare, ours, lambda: run(peer_cmd), check)
        wall = (median(mine, "wall"), median(theirs, "wall"))
        peak = (median(mine, "peak"), median(theirs, "peak"))
        walls.append((ratio(*wall), key))
        peaks.append((ratio(*peak), key))
        print("%s ours %.3f ffmpeg %.3f ratio %.3f" % (key, wall[0], wall[1], walls[-1][0]))
        print("peak memory %s ours %.1f ffmpeg %.1f ratio %.3f" % (key, peak[0], peak[1],
                                                                   peaks[-1][0]))
        if key in ("mp4h264", "mp4"):
            print("core use %s ours %.2f ffmpeg %.2f" % (
                key, statistics.median(s.cpu / s.wall for s in mine),
                statistics.median(s.cpu / s.wall for s in theirs)))
        sys.stdout.flush()
    if walls:
        worst = max(walls)
        print("keys: max ratio %.3f (%s), median ratio %.3f" % (
            worst[0], worst[1], statistics.median(r for r, _ in walls)))
        worst = max(peaks)
        print("peak memory: max ratio %.3f (%s)" % worst, flush=True)


def case_batch(args, convert, work):
    folder = os.path.join(work, "batch")
    os.makedirs(folder)
    clips = []
    for i in range(8):
        clips.append(os.path.join(folder, "sd%d.mp4" % i))
        ffmpeg_make(clips[-1], 5, "640x480")
    ours_dir, peer_dir = os.path.join(work, "ours"), os.path.join(work, "peer")
    clean(ours_dir)
    peer_cmds = []
    for clip in clips:
        output, options = peer.dry_run(convert, "ID_MP", clip, ours_dir)
        extension = os.path.splitext(output)[1][1:]
        target = os.path.join(peer_dir, os.path.basename(output))
        peer_cmds.append(peer.command(options, extension, clip, target, threads=2,
                                      input_size=(640, 480)))
    ours_cmd = [convert, "--profile", "ID_MP", "--threads", "2", "--output", ours_dir] + clips

    def prepare():
        clean(ours_dir)
        clean(peer_dir)

    def ours():
        sample = run(ours_cmd)
        made = len(os.listdir(ours_dir))
        if made != len(clips):
            sys.exit("batch: ostrel-convert made %d files of %d" % (made, len(clips)))
        return sample

    def peers():
        first = run_sequence(peer_cmds)
        clean(peer_dir)
        second = run_parallel(peer_cmds, 2)
        return first, second

    mine, theirs = paired(args.repeat, prepare, ours, peers)
    ours_wall = median(mine, "wall")
    seq_wall = statistics.median(s.wall for s, _ in theirs)
    par_wall = statistics.median(p.wall for _, p in theirs)
    best = min(seq_wall, par_wall)
    print("batch ours %.3f ffmpeg %.3f ratio %.3f" % (ours_wall, best, ratio(ours_wall, best)))
    print("batch peers sequential %.3f parallel %.3f" % (seq_wall, par_wall), flush=True)


def case_probe(args, convert, work):
    folder = os.path.join(work, "probe")
    os.makedirs(folder)
    seed = os.path.join(folder, "seed.mp4")
    ffmpeg_make(seed, 1, "320x240")
    files = [seed]
    for i in range(199):
        files.append(os.path.join(folder, "p%03d.mp4" % i))
        shutil.copyfile(seed, files[-1])
    out = os.path.join(work, "ours")
    clean(out)
    ours_cmd = [convert, "--profile", "ID_MP", "--output", out, "--dry-run"] + files
    peer_cmds = [["ffprobe", "-v", "error", "-show_streams", "-show_format", f] for f in files]
    mine, theirs = paired(args.repeat, lambda: None, lambda: run(ours_cmd),
                          lambda: run_sequence(peer_cmds))
    ours_wall, peer_wall = median(mine, "wall"), median(theirs, "wall")
    print("probe ours %.3f ffprobe %.3f ratio %.3f" % (ours_wall, peer_wall,
                                                       ratio(ours_wall, peer_wall)), flush=True)


def case_copy(args, convert, work):
    folder = os.path.join(work, "copy")
    os.makedirs(folder)
    clip = os.path.join(folder, "camera.mkv")
    seconds, size = (3, "320x240") if args.quick else (60, "1280x720")
    ffmpeg_make(clip, seconds, size)
    profile = "MP4 - H264 Video (*.mp4)"
    out = os.path.join(work, "ours")
    base = [convert, "--profile", profile, "--threads", "2", "--output", out]
    copy_cmd = base + ["--copy-when-fits", clip]
    reencode_cmd = base + [clip]
    peer_out = os.path.join(work, "peer")
    peer_cmd = ["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", clip, "-map", "0:v:0",
                "-map", "0:a:0", "-c", "copy", os.path.join(peer_out, "camera.mp4")]

    def prepare():
        clean(out)
        clean(peer_out)

    def ours():
        sample = run(copy_cmd)
        made = os.listdir(out)
        if made != ["camera.mp4"]:
            sys.exit("copy: ostrel-convert made %s" % made)
        return sample

    def theirs():
        clean(out)
        reencoded = run(reencode_cmd)
        return reencoded, run(peer_cmd)

    repeat = 1 if args.quick else args.repeat
    mine, peers = paired(repeat, prepare, ours, theirs)
    ours_wall = median(mine, "wall")
    reencode_wall = statistics.median(r.wall for r, _ in peers)
    peer_wall = statistics.median(p.wall for _, p in peers)
    print("copy ours %.3f reencode %.3f ffmpeg-copy %.3f" % (ours_wall, reencode_wall, peer_wall),
          flush=True)


CASES = {"keys": case_keys, "batch": case_batch, "probe": case_probe, "copy": case_copy}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="build folder holding bin/ostrel-convert")
    parser.add_argument("--repeat", type=int, default=5, help="paired runs per measurement")
    parser.add_argument("--only", default="keys,batch,probe", help="cases to run")
    parser.add_argument("--keys", default="", help="format keys to run (default: all)")
    parser.add_argument("--seconds", type=int, default=20,
                        help="length of the keys case's clip (shorter only to try the script)")
    parser.add_argument("--quick", action="store_true",
                        help="copy: a short small clip once, to prove the case runs")
    args = parser.parse_args()
    convert = os.path.abspath(os.path.join(args.build, "bin", "ostrel-convert"))
    if not os.access(convert, os.X_OK):
        sys.exit("build ostrel-convert first (cmake --build build --target ostrel-convert "
                 "ostrel-engine)")
    if args.repeat < 1:
        sys.exit("--repeat must be at least 1")
    cases = args.only.split(",")
    unknown = [case for case in cases if case not in CASES]
    if unknown:
        sys.exit("unknown cases: %s (known: %s)" % (", ".join(unknown), ", ".join(CASES)))
    work = tempfile.mkdtemp(prefix="ostrel-bench-")
    try:
        for case in CASES:
            if case in cases:
                CASES[case](args, convert, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
