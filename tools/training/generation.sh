#!/bin/bash
# One generation of Vorn's network, as one command:
#
#   tools/training/generation.sh MINUTES [EXTRA.epd[.xz] ...]
#
# 1. Self-play with the built-in network: two generators (one per core)
#    for MINUTES minutes, NODES nodes a move, 3 % random moves, no
#    evaluation noise; only quiet positions whose best move is not a
#    capture are written, with the search score and the game's result.
#    Each generator first makes OPENINGS fresh openings of its own (a
#    weighted walk of 6 to 16 plies through OPENING_BOOK and two random
#    plies, kept when a 4-ply search calls them balanced; about 3.5 ms
#    each): a fixed file of 2 000 lines, replayed by tens of thousands of
#    games, made a third of the positions repeats, and twelve random plies
#    from the start (OPENING_BOOK=none) give positions no real game
#    reaches.
# 2. Conversion (-epd2bin), the last HOLD records of the newest games kept
#    out of training, repeated positions dropped (-filtertraindata).
#    EXTRA files (earlier self-play of the same kind, EPD with ce and gr)
#    join the training data. Games the built-in network has already
#    learnt from hold a candidate back (docs/training.md, generation 14):
#    give only games of networks that came after it, or none.
# 3. Walks: WALKS short random walks (up to 8 plies) from every training
#    position, the quiet positions they reach labelled by a WALK_DEPTH-ply
#    search of the built-in network (two processes, one share each).
# 4. Training from the built-in network (vorn-trainer --init) on the games
#    and the walks; a game position's target is RESULT_WEIGHT of the game
#    result and the rest of its search score.
# 5. The held-out games scored by the candidate and the built-in network.
# 6. The screen: SCREEN_GAMES games of the candidate against the built-in
#    network at SCREEN_NODES nodes a move (no clock: a few minutes, and
#    the result does not depend on the machine's load), from openings made
#    fresh for it; a candidate that does not score above 50 % there ends
#    the generation without the gate.
# 7. The gate: GAMES games of the candidate against the built-in network at
#    TC, two matches side by side over the book openings (each line with
#    both colours), one core each.
#    With SPRT=E0,E1 the gate is instead a sequential test between those
#    two Elo values at SCREEN_NODES nodes a move (no screen then): rounds
#    of SPRT_BATCH games over fresh openings made the same way, two
#    matches side by side,
#    until the test decides or SPRT_MAX games are played (undecided is a
#    fail). It proves steps of 10 to 20 Elo that the timed gate cannot.
# Then one summary line. The candidate becomes the built-in network only
# by hand, after it passes: copy it to Source/eval/vorn.nn and record the
# generation in docs/training.md.
#
# NET, when set, is the network file the generation starts from in place
# of the built-in one: the self-play, the walks' labels, the trainer's
# starting point and the held-out comparison use it, while the screen and
# the gate still play the candidate against the built-in network, the one
# it has to beat. It serves a chain of generations whose single steps are
# too small for one gate to prove (docs/training.md, generation 15).
#
# Settings (environment): WORK (folder for the data, default
# /tmp/vorn-generation), NODES (2000), OPENINGS (40000, 0 for the
# repository's mybook_6mv.epd), OPENING_BOOK (the repository's
# tests/data/books/gnuchess-book.bin; none for twelve random plies from the
# start), RANDOM_PERMILLE (30), HOLD (100000),
# WALKS (0 for none, the default; 4 in generation 10), WALK_DEPTH (4),
# EPOCHS (2), LR (0.0005), LR_END (0.0001), BATCH (2048), RESULT_WEIGHT
# (0.25), SCREEN_GAMES (200, 0 for no screen), SCREEN_NODES (10000),
# GAMES (200), TC (10+0.1), NET (the built-in network), SPRT (unset: the
# timed gate), SPRT_BATCH (200), SPRT_MAX (4000), CANDIDATE (a network
# file to screen and gate without making one: steps 1 to 5 are skipped
# and MINUTES is ignored; for a candidate kept from an earlier session).
# Total time: MINUTES, about 2.5 minutes for the openings, with walks
# about 10 minutes of them per million game positions, a few minutes of
# training and, at 10 s + 0.1 s, about 60 minutes of gate games (the
# sequential test: about 2 minutes a round of 200 games).
set -euo pipefail
if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 MINUTES [EXTRA.epd[.xz] ...]" >&2
    exit 2
fi
minutes=$1
shift
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
work=${WORK:-/tmp/vorn-generation}
nodes=${NODES:-2000}
openings=${OPENINGS:-40000}
random_permille=${RANDOM_PERMILLE:-30}
hold=${HOLD:-100000}
walks=${WALKS:-0}
walk_depth=${WALK_DEPTH:-4}
epochs=${EPOCHS:-2}
lr=${LR:-0.0005}
lr_end=${LR_END:-0.0001}
batch=${BATCH:-2048}
result_weight=${RESULT_WEIGHT:-0.25}
screen_games=${SCREEN_GAMES:-200}
screen_nodes=${SCREEN_NODES:-10000}
games=${GAMES:-200}
tc=${TC:-10+0.1}
sprt=${SPRT:-}
sprt_batch=${SPRT_BATCH:-200}
sprt_max=${SPRT_MAX:-4000}
# The two network files are used from the work folder: made absolute here.
absolute() { [ -z "$1" ] || echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
net=$(absolute "${NET:-}")
opening_book=${OPENING_BOOK:-$root/tests/data/books/gnuchess-book.bin}
[ "$opening_book" = none ] && opening_book=""
opening_book=$(absolute "$opening_book")
candidate=$(absolute "${CANDIDATE:-}")

cd "$root"
cmake -S . -B build > /dev/null
cmake --build build -j2 --target vorn vorn-trainer vorn-heldout vorn-hce-labels > /dev/null
[ -d tools/match/node_modules/chessops ] || (cd tools/match && npm install --no-audit --no-fund > /dev/null)
vorn="$root/build/vorn"
mkdir -p "$work"
cd "$work"
# What the generation starts from: the engine's own network or NET's.
start_net="$root/Source/eval/vorn.nn"
start_args=()
net_args=()
if [ -n "$net" ]; then
    start_net=$net
    printf 'NN_File = %s\n' "$net" > start.cfg
    start_args=(-cfg "$work/start.cfg")
    net_args=(--net "$net")
fi
children=()
stop_children() { for p in "${children[@]}"; do kill "$p" 2> /dev/null || true; done; }
trap stop_children EXIT

records=0 validation=none held_candidate=none held_current=none
if [ -n "$candidate" ]; then
    [ "$candidate" -ef candidate.nn ] || cp "$candidate" candidate.nn
else
    echo "== self-play: 2 generators, $minutes minutes, $nodes nodes a move"
    for k in 1 2; do
        mkdir -p "gen$k"
        # Each in its own folder with its own openings: both write
        # autogen.pgn. The generator closes its files whole on the
        # termination signal timeout sends.
        (
            cd "gen$k"
            if [ "$openings" -gt 0 ]; then
                "$vorn" "${start_args[@]}" -hash 1 -mkopenings "$openings" mybook_6mv.epd ${opening_book:+"$opening_book"} > /dev/null
            else
                cp "$root/mybook_6mv.epd" .
            fi
            timeout "$((minutes * 60))" "$vorn" "${start_args[@]}" -n "$nodes" -genrandom "$random_permille" -gennoise 0 \
                -gentraindata "gen$k.epd" 1000000000 > gen.log 2>&1 || true
        ) &
        children+=($!)
    done
    wait
    children=()
    for k in 1 2; do grep -h "positions per second" "gen$k/gen.log" | tail -1; done

    echo "== conversion"
    for k in 1 2; do (cd "gen$k" && "$vorn" -epd2bin "gen$k.epd" > /dev/null); done
    # The newest games of the second generator are held out.
    size=$(stat -c %s gen2/gen2.bin)
    cut=$((size - hold * 40))
    [ "$cut" -gt 0 ] || cut=0
    head -c "$cut" gen2/gen2.bin > train2.bin
    tail -c "$((size - cut))" gen2/gen2.bin > holdout.bin
    cat gen1/gen1.bin train2.bin > joined.bin
    n=0
    for extra in "$@"; do
        n=$((n + 1))
        case "$extra" in
            *.xz) xz -dc "$extra" > "extra$n.epd" ;;
            *) cp "$extra" "extra$n.epd" ;;
        esac
        "$vorn" -epd2bin "extra$n.epd" > /dev/null
        cat "extra$n.bin" >> joined.bin
        rm -f "extra$n.epd"
    done
    "$vorn" -filtertraindata joined.bin > /dev/null
    records=$(($(stat -c %s filtered.bin) / 40))
    echo "$records training records, $(($(stat -c %s holdout.bin) / 40)) held out"

    walk_files=()
    if [ "$walks" -gt 0 ]; then
        echo "== walks: $walks a position, labelled by a $walk_depth-ply search of the network"
        for k in 0 1; do
            "$root/build/vorn-hce-labels" --data filtered.bin --out "walks$k.ptb" --walks "$walks" --plies 8 \
                --seed "$((k + 1))" --depth "$walk_depth" --eval network "${net_args[@]}" --part "$k" --parts 2 > "walks$k.log" 2>&1 &
            children+=($!)
        done
        wait
        children=()
        cat walks0.log walks1.log
        walk_files=(--data walks0.ptb --data walks1.ptb)
    fi

    echo "== training"
    "$root/build/vorn-trainer" --data filtered.bin "${walk_files[@]}" --init "$start_net" --out candidate.nn \
        --epochs "$epochs" --threads 2 --lr "$lr" --lr-end "$lr_end" --batch "$batch" --seed 1 \
        --result-weight "$result_weight" --fit-scale 1 | tee train.log
    validation=$(sed -n 's/^wrote .*validation loss \([0-9.]*\).*/\1/p' train.log)

    echo "== held-out games"
    held_candidate=$("$root/build/vorn-heldout" --data holdout.bin --net candidate.nn | grep -v "^info" | tr "\n" " ")
    held_current=$("$root/build/vorn-heldout" --data holdout.bin "${net_args[@]}" | grep -v "^info" | tr "\n" " ")
    echo "candidate: $held_candidate"
    echo "start:     $held_current"
fi

printf 'NN_File = %s\n' "$work/candidate.nn" > candidate.cfg
# candidate_matches NAME GAMES EXT CLOCK...: the candidate against the
# built-in network in two matches side by side, GAMES games each, over the
# openings NAME-a.EXT and NAME-b.EXT; logs and games in NAME-a/b.log, .pgn.
candidate_matches() {
    local name=$1 each=$2 ext=$3
    shift 3
    for part in a b; do
        node "$root/tools/match/match.js" --engine1 "$vorn" --args1 "-cfg $work/candidate.cfg" --engine2 "$vorn" \
            --games "$each" "$@" --openings "$name-$part.$ext" --pgn "$name-$part.pgn" > "$name-$part.log" 2>&1 &
        children+=($!)
    done
    wait
    children=()
}
# fresh_openings NAME GAMES: openings made fresh (a new seed each run, from
# the opening book when there is one) for
# GAMES games, every line with both colours, half of them for each match,
# in NAME-a.epd and NAME-b.epd.
fresh_openings() {
    local quarter=$((($2 + 3) / 4))
    "$vorn" -mkopenings "$((2 * quarter))" "$1.epd" ${opening_book:+"$opening_book"} > /dev/null
    head -n "$quarter" "$1.epd" > "$1-a.epd"
    tail -n +"$((quarter + 1))" "$1.epd" > "$1-b.epd"
}
summary() {
    echo "generation: $records records, validation $validation, held-out ($held_candidate) against the start network" \
        "($held_current), $1"
}
if [ -n "$sprt" ]; then
    echo "== gate: sequential test for Elo $sprt at $screen_nodes nodes a move"
    played=0
    round=0
    rm -f sprt*  # an earlier generation's rounds in the same folder
    while :; do
        round=$((round + 1))
        fresh_openings "sprt$round" "$sprt_batch"
        candidate_matches "sprt$round" "$((sprt_batch / 2))" epd --nodes "$screen_nodes"
        played=$((played + sprt_batch))
        node "$here/gate_result.js" --sprt "$sprt" sprt*-a.log sprt*-b.log > gate.txt
        head -1 gate.txt
        head -1 gate.txt | grep -q "continue$" || break
        if [ "$played" -ge "$sprt_max" ]; then
            sed -i '1s/continue$/fail (undecided)/' gate.txt
            break
        fi
    done
    cat gate.txt
    summary "gate $(head -1 gate.txt)"
    exit 0
fi
if [ "$screen_games" -gt 0 ]; then
    echo "== screen: $screen_games games at $screen_nodes nodes a move"
    fresh_openings screen "$screen_games"
    candidate_matches screen "$((screen_games / 2))" epd --nodes "$screen_nodes"
    node "$here/gate_result.js" --screen screen-a.log screen-b.log > screen.txt
    cat screen.txt
    if ! head -1 screen.txt | grep -q "pass$"; then
        summary "screen $(head -1 screen.txt), no gate"
        exit 0
    fi
fi

echo "== gate: $games games at $tc"
half=$((games / 2))
# Each match plays its half of the book lines, every line with both colours.
total_lines=$(grep -c . "$root/tools/match/openings100.txt")
lines=$(((half + 1) / 2))
[ "$lines" -le "$total_lines" ] || lines=$total_lines
head -n "$lines" "$root/tools/match/openings100.txt" > gate-a.txt
tail -n +"$((lines + 1))" "$root/tools/match/openings100.txt" | head -n "$lines" > gate-b.txt
[ -s gate-b.txt ] || cp gate-a.txt gate-b.txt
candidate_matches gate "$half" txt --tc "$tc"
node "$here/gate_result.js" gate-a.log gate-b.log > gate.txt
cat gate.txt
summary "gate $(head -1 gate.txt)"
