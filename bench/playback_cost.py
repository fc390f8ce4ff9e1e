#!/usr/bin/env python3
"""CPU cost of normal play of an 8-channel D1 recording, against FFmpeg decoding the same
streams in the same run.

usage: playback_cost.py BIN_DIR [SECONDS] [SCENE]
SCENE is dvrsim's picture scene (flat or camera; default flat). Prints the CPU seconds per
second of play for both and their ratio.
"""
import os
import resource
import subprocess
import sys
import tempfile


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def cpu_of(commands, env=None):
    before = children_cpu()
    for command in commands:
        subprocess.run(command, check=True, env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    return children_cpu() - before


def main():
    bin_dir = sys.argv[1]
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    scene = sys.argv[3] if len(sys.argv) > 3 else "flat"
    dvrsim, dvrtool = os.path.join(bin_dir, "dvrsim"), os.path.join(bin_dir, "dvrtool")
    with tempfile.TemporaryDirectory() as work:
        base = os.path.join(work, "cost")
        subprocess.run([dvrsim, "record", "--out", base, "--channels", "8", "--stream-version",
                        "3", "--seconds", str(seconds), "--resolution", "d1", "--fps", "15",
                        "--scene", scene],
                       check=True, stdout=subprocess.DEVNULL)
        streams = []
        for channel in range(1, 9):
            stream = os.path.join(work, f"c{channel}.h264")
            subprocess.run([dvrtool, "extract-es", base + ".dvr", "--channel", str(channel),
                            "-o", stream], check=True, stdout=subprocess.DEVNULL)
            streams.append(stream)
        env = dict(os.environ, KIVRA_AUDIO="clock")
        play = cpu_of([[dvrtool, "play", base + ".dvr", "--headless"]], env) / seconds
        decode = cpu_of([["ffmpeg", "-v", "error", "-threads", "1", "-f", "h264", "-i", s,
                          "-f", "null", "-"] for s in streams]) / seconds
    print(f"engine play: {play:.3f} CPU s per second of 8-channel D1 play")
    print(f"ffmpeg decode: {decode:.3f} CPU s per second of the same streams")
    print(f"ratio {play / decode:.2f}")


if __name__ == "__main__":
    main()
