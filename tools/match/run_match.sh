#!/bin/bash
# Plays Vorn against glaurung (a UCI engine from Debian) with the match
# manager. Installs what is missing first: the opponent with apt-get and
# chess.js with npm. Arguments go to match.js, for example:
#   tools/match/run_match.sh --games 100 --tc 10+0.1 --pgn /tmp/games.pgn
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$here/../.."
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
if [ ! -x /usr/games/glaurung ]; then
    "${sudo_cmd[@]}" apt-get update
    "${sudo_cmd[@]}" apt-get install -y glaurung
fi
command -v node >/dev/null 2>&1 || "${sudo_cmd[@]}" apt-get install -y nodejs npm
[ -d "$here/node_modules/chessops" ] || (cd "$here" && npm install --no-audit --no-fund)
[ -x "$root/build/vorn" ] || (cd "$root" && cmake -S . -B build && cmake --build build -j2 --target vorn)
exec node "$here/match.js" --engine1 "$root/build/vorn" --engine2 /usr/games/glaurung "$@"
