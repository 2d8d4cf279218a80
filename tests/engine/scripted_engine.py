#!/usr/bin/env python3
"""A USI engine that plays a part, for the tests: scripted_engine.py MODE [LOG].

MODE is one of
  good      well-behaved: infos every 20 ms while searching, bestmove on stop
  silent    never answers anything
  noready   answers usi but never isready
  crash     exits after the first info of a search
  orphan    as crash, but leaves a sleeping child that keeps the output open
  flood     thousands of info lines a second while searching
  garbage   garbage lines (bytes, an overlong line, broken infos) among good ones
  late      answers stop with bestmove only after 1.5 s
  hang      never answers stop
  usihash   declares USI_Hash and USI_MultiPV instead of Hash and MultiPV
  table     well-behaved, with the scores of TABLE by the number of moves
LOG, when given, receives every command read, one a line.

The score of a search is 10 centipawns for every move of its position (the
moves after the SFEN's move number, from the side to move), so tests can
tell which position an info belongs to; its pv is "7g7f 3c3d". "go nodes N"
ends the search by itself once its infos have counted N nodes.
"""
import sys
import threading
import time

mode = sys.argv[1] if len(sys.argv) > 1 else "good"
log = open(sys.argv[2], "a", buffering=1) if len(sys.argv) > 2 else None
lock = threading.Lock()
# The table mode's scores from the side to move, by the number of moves of
# the position; None: infos without a score. Other positions score 0.
TABLE = {0: "cp 0", 1: "cp 200", 2: "cp -30", 3: "cp 405", 4: "cp 338", 5: "cp 1410",
         6: "cp -1400", 7: None, 8: "mate 0"}
out = sys.stdout.buffer


def say(line):
    with lock:
        out.write(line if isinstance(line, bytes) else line.encode() + b"\n")
        out.flush()


class Search:
    def __init__(self, moves, nodes=None):
        self.moves = moves
        self.nodes = nodes
        self.ended = False
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        depth = 0
        interval = 0.0002 if mode == "flood" else 0.02
        while not self.stopped.is_set():
            depth += 1
            score = f"cp {10 * self.moves}"
            if mode == "table":
                score = TABLE.get(self.moves, "cp 0")
            score = f" score {score}" if score else ""
            say(f"info depth {depth} seldepth {depth + 2}{score} "
                f"nodes {depth * 1000} nps 50000 time {depth * 20} hashfull 3 pv 7g7f 3c3d")
            if self.nodes is not None and depth * 1000 >= self.nodes:
                self.ended = True
                say("bestmove 7g7f ponder 3c3d")
                break
            if mode == "orphan":
                import subprocess
                subprocess.Popen(["sleep", "15"], stdout=sys.stdout, stderr=sys.stdout,
                                 stdin=subprocess.DEVNULL)
            if mode in ("crash", "orphan"):
                time.sleep(0.05)
                out.flush()
                import os
                os._exit(3)
            if mode == "garbage" and depth % 3 == 1:
                say(b"\xff\xfe\x00 garbage \x80\x81\n")
                say("info depth x score cp zz pv")
                say("x" * 100000)
                say("bestmovez")
            if self.stopped.wait(interval):
                break
            if depth > 200 and mode != "flood":
                depth = 200


search = None
position_moves = 0
for raw in sys.stdin.buffer:
    line = raw.decode("utf-8", "replace").strip()
    if log:
        log.write(line + "\n")
    if mode == "silent":
        continue
    if line == "usi":
        say("id name Scripted " + mode)
        say("id author Zelvaro tests")
        if mode == "usihash":
            say("option name USI_Hash type spin default 256 min 1 max 1024")
            say("option name USI_MultiPV type spin default 1 min 1 max 10")
        else:
            say("option name Hash type spin default 16 min 1 max 1024")
            say("option name MultiPV type spin default 1 min 1 max 10")
            say("option name Threads type spin default 1 min 1 max 64")
        say("usiok")
    elif line == "isready":
        if mode != "noready":
            say("readyok")
    elif line.startswith("position"):
        words = line.split()
        position_moves = len(words) - words.index("moves") - 1 if "moves" in words else 0
        if len(words) > 5 and words[1] == "sfen" and words[5].isdigit():
            position_moves += int(words[5]) - 1
    elif line.startswith("go"):
        words = line.split()
        nodes = int(words[2]) if len(words) > 2 and words[1] == "nodes" else None
        search = Search(position_moves, nodes)
    elif line == "stop":
        if search is not None:
            search.stopped.set()
            search.thread.join()
            ended, search = search.ended, None
            if ended:
                continue
            if mode == "hang":
                continue
            if mode == "late":
                time.sleep(1.5)
            say("bestmove 7g7f ponder 3c3d")
    elif line == "quit":
        break
