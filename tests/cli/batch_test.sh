#!/usr/bin/env bash
# Batches over a folder tree with ostrel-convert, for real:
#   batch_test.sh CONVERT kill    - 20 runs killed with SIGKILL at random moments, each taken up
#                                   again from its journal: every input converted exactly once,
#                                   nothing else left in the output folder.
#   batch_test.sh CONVERT shard   - three shards at once through GNU parallel: every input
#                                   converted exactly once, under the name one run would give.
#   batch_test.sh CONVERT pause   - SIGTSTP pauses a run (no output grows), SIGCONT finishes it.
#   batch_test.sh CONVERT disk    - on a tmpfs of 8 MB the run pauses itself for the disk instead
#                                   of failing files; stopped, it leaves nothing (needs root).
set -euo pipefail
convert=$1
mode=$2
work=$(mktemp -d)
trap 'umount "$work/disk" 2>/dev/null || true; rm -rf "$work"' EXIT
profile="MP3 - MPEG Layer-3 Audio (*.mp3)"

# A tree of three levels with equal names in different folders; tiny sounds convert fast.
mkdir -p "$work/in/a/b" "$work/in/c"
for f in song.wav a/song.wav a/b/song.wav c/song.wav a/track2.wav a/track10.wav; do
  ffmpeg -v error -f lavfi -i "sine=d=1:f=440" -ar 8000 -ac 1 "$work/in/$f"
done
echo "not media" > "$work/in/notes.txt"
expected=$(cd "$work/in" && find . -name '*.wav' | sed 's/\.wav$/.mp3/' | sort)

# The output tree holds exactly one output per input and nothing else.
check_output() {
  local actual
  actual=$(cd "$work/out" && find . -type f | sort)
  if [ "$actual" != "$expected" ]; then
    echo "FAIL ($1): expected"; echo "$expected"; echo "found"; echo "$actual"; exit 1
  fi
}

case "$mode" in
kill)
  for run in $(seq 1 20); do
    rm -rf "$work/out" "$work/journal"
    mkdir "$work/out"
    "$convert" --profile "$profile" --output "$work/out" --recursive --threads 1 \
      --journal "$work/journal" "$work/in" >/dev/null 2>&1 &
    pid=$!
    sleep "0.$(printf '%03d' $((RANDOM % 250)))"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    before=$(cd "$work/out" && find . -name '*.mp3' -type f | sort)
    # The rerun converts only what is missing; when the first run never wrote its journal,
    # it starts afresh.
    if ! "$convert" --profile "$profile" --output "$work/out" --recursive --threads 1 \
        --journal "$work/journal" "$work/in" >"$work/rerun.log" 2>&1; then
      echo "FAIL (run $run): the rerun failed"; cat "$work/rerun.log"; exit 1
    fi
    check_output "run $run"
    [ -n "${BATCH_TEST_VERBOSE:-}" ] && echo "run $run: $(echo "$before" | grep -c .) done before the kill"
    converted=$(grep -c -- ' -> ' "$work/rerun.log" || true)
    missing=$(comm -13 <(echo "$before") <(echo "$expected") | grep -c . || true)
    if [ "$converted" != "$missing" ]; then
      echo "FAIL (run $run): $missing files were missing, the rerun converted $converted"
      cat "$work/rerun.log"; exit 1
    fi
  done
  ;;
shard)
  mkdir "$work/out"
  parallel --jobs 3 "$convert" --profile "'$profile'" --output "$work/out" --recursive \
    --threads 1 --shard {}/3 "$work/in" ::: 1 2 3 >"$work/shards.log" 2>&1 ||
    { cat "$work/shards.log"; exit 1; }
  check_output shards
  # Each input was converted by exactly one shard.
  [ "$(grep -c -- ' -> ' "$work/shards.log")" = "$(echo "$expected" | wc -l)" ] ||
    { echo "FAIL: a file was converted twice"; cat "$work/shards.log"; exit 1; }
  ;;
pause)
  mkdir "$work/out"
  ffmpeg -v error -f lavfi -i "testsrc2=d=30:s=640x360" -f lavfi -i "sine=d=30" \
    -c:v mpeg4 -c:a pcm_s16le "$work/long.avi"
  "$convert" --profile "MP4 - H264 Video (*.mp4)" --output "$work/out" --threads 1 --nice 7 \
    "$work/long.avi" >"$work/pause.log" 2>&1 &
  pid=$!
  for _ in $(seq 1 100); do
    [ -n "$(find "$work/out" -name '*.ostrel-tmp-*' -size +0 2>/dev/null)" ] && break
    sleep 0.1
  done
  kill -TSTP "$pid"
  sleep 1
  state=$(ps -o stat= -p "$pid" | cut -c1)
  [ "$state" = "T" ] || { echo "FAIL: not stopped after SIGTSTP ($state)"; exit 1; }
  # The command's own thread runs at the conversion's priority, as its task threads do.
  [ "$(ps -o ni= -p "$pid" | tr -d ' ')" = 7 ] || { echo "FAIL: main thread not at nice 7"; exit 1; }
  size=$(du -b "$work/out" | cut -f1)
  sleep 1
  [ "$(du -b "$work/out" | cut -f1)" = "$size" ] || { echo "FAIL: the output grew while paused"; exit 1; }
  kill -CONT "$pid"
  wait "$pid" || { echo "FAIL: the resumed run failed"; cat "$work/pause.log"; exit 1; }
  grep -q '^Paused' "$work/pause.log" && grep -q '^Resumed' "$work/pause.log" ||
    { cat "$work/pause.log"; exit 1; }
  [ "$(cd "$work/out" && find . -type f)" = "./long.mp4" ] || { echo "FAIL: outputs"; exit 1; }
  ;;
disk)
  [ "$(id -u)" = 0 ] || { echo "skipped: mounting a tmpfs needs root"; exit 77; }
  mkdir "$work/disk"
  mount -t tmpfs -o size=8m tmpfs "$work/disk"
  "$convert" --profile "$profile" --output "$work/disk" --recursive --threads 1 "$work/in" \
    >"$work/disk.log" 2>&1 &
  pid=$!
  for _ in $(seq 1 100); do
    grep -q "Paused: the output disk is almost full" "$work/disk.log" 2>/dev/null && break
    sleep 0.1
  done
  grep -q 'Paused: the output disk is almost full (0.0 GB free)' "$work/disk.log" ||
    { echo "FAIL: no pause for the disk"; cat "$work/disk.log"; kill "$pid"; exit 1; }
  kill -TERM "$pid"
  wait "$pid" || true
  if grep -q 'Error' "$work/disk.log"; then echo "FAIL: a file failed"; cat "$work/disk.log"; exit 1; fi
  [ -z "$(find "$work/disk" -type f)" ] || { echo "FAIL: files left"; find "$work/disk"; exit 1; }
  ;;
esac
echo "ok"
