#!/usr/bin/env python3
"""An xboard session with Vorn through Debian's polyglot adaptor (apt-get
install polyglot): the engine plays both sides, told "go" after each of
its moves, for PLIES plies at a fixed time a move. Prints the moves and
fails (exit status 1) on a missing or illegal move or an adaptor error.

    python3 tools/xboard/polyglot_session.py [ENGINE] [PLIES] [SECONDS]
"""
import os
import subprocess
import sys
import tempfile
import time

engine = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/vorn")
plies = int(sys.argv[2]) if len(sys.argv) > 2 else 40
seconds = sys.argv[3] if len(sys.argv) > 3 else "0.2"

work = tempfile.mkdtemp(prefix="vorn-xboard-")
ini = os.path.join(work, "vorn.ini")
with open(ini, "w") as f:
    f.write("[PolyGlot]\nEngineCommand = %s\nEngineDir = %s\nEngineName = Vorn\n"
            "Log = true\nLogFile = %s\nBook = false\n[Engine]\nHash = 16\n"
            % (engine, work, os.path.join(work, "polyglot.log")))
adaptor = "/usr/games/polyglot" if os.path.exists("/usr/games/polyglot") else "polyglot"
p = subprocess.Popen([adaptor, ini], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)


def send(line):
    p.stdin.write(line + "\n")
    p.stdin.flush()


def read_until(accept, timeout=30.0):
    end = time.time() + timeout
    while time.time() < end:
        line = p.stdout.readline()
        if not line:
            return None
        line = line.strip()
        if accept(line):
            return line
    return None


send("xboard")
send("protover 2")
if not read_until(lambda l: "done=1" in l):
    sys.exit("the adaptor sent no feature done=1")
send("new")
send("st " + seconds)
moves = []
for ply in range(plies):
    send("go")
    line = read_until(lambda l: l.startswith(("move ", "Illegal", "Error", "1-0", "0-1", "1/2-1/2")))
    if not line or not line.startswith("move "):
        print("no move at ply %d: %s" % (ply + 1, line))
        break
    moves.append(line.split()[1])
send("quit")
status = p.wait(timeout=10)
print("%d plies: %s" % (len(moves), " ".join(moves)))
with open(os.path.join(work, "polyglot.log")) as f:
    faults = [l.strip() for l in f if "Illegal" in l or "Error" in l]
for line in faults:
    print("adaptor log:", line)
print("polyglot exit status", status)
sys.exit(0 if len(moves) == plies and not faults and status == 0 else 1)
