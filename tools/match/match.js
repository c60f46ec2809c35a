#!/usr/bin/env node
// A small match manager for two UCI engines. Every move an engine answers
// is checked by the referee (referee.mjs, on chessops) before it is
// played; games end by the rules only
// (mate, stalemate, fifty moves, threefold repetition, insufficient
// material), by a time loss, an illegal or missing move, or a crash. The
// colours alternate over a fixed set of openings and every game goes to a
// PGN file.
//
//   node match.js --engine1 ../../build/vorn --engine2 /usr/games/glaurung \
//        --games 100 --tc 10+0.1 --pgn games.pgn
//
// --chess960 1 plays Chess960: the engines get UCI_Chess960, and without
// --openings the games start from the Chess960 positions (each with both
// colours) of a fixed spread of the 960 numbers.
// --ponder 1 lets both engines think on the opponent's time as a GUI does:
// after each bestmove with a ponder move the engine gets "go ponder" on
// that move, then "ponderhit" when the opponent plays it, or "stop" (its
// bestmove is read and dropped) and a fresh go when it does not.
// --options1 / --options2 "Name=value;Other name=value" set UCI options of
// engine 1 or 2 after the match's own (for example
// "UCI_LimitStrength=true;UCI_Elo=2200").
// --args1 / --args2 give an engine command-line words (for example
// "-use_hce" or "-cfg other.cfg"); --openings FILE replaces the built-in
// lines with the file's, one per line: moves in coordinate notation from
// the start, or a FEN (EPD: the first four fields are enough).
// --nodes N replaces the clock with "go nodes N" for every move: no time
// losses, and the result does not depend on how busy the machine is.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
// The referee is an ES module; main() loads it.
let Referee = null, chess960Fen = null;

// Short, well-known opening lines in coordinate notation.
const OPENINGS = [
  'e2e4 e7e5 g1f3 b8c6 f1b5 a7a6',
  'e2e4 e7e5 g1f3 b8c6 f1c4 f8c5',
  'e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6',
  'e2e4 c7c5 g1f3 b8c6 d2d4 c5d4 f3d4',
  'e2e4 c7c5 b1c3 b8c6 g2g3',
  'e2e4 e7e6 d2d4 d7d5 b1c3 f8b4',
  'e2e4 e7e6 d2d4 d7d5 e4e5 c7c5',
  'e2e4 c7c6 d2d4 d7d5 e4e5 c8f5',
  'e2e4 c7c6 d2d4 d7d5 b1c3 d5e4 c3e4',
  'e2e4 d7d6 d2d4 g8f6 b1c3 g7g6',
  'e2e4 g7g6 d2d4 f8g7 b1c3 d7d6',
  'e2e4 d7d5 e4d5 d8d5 b1c3 d5a5',
  'd2d4 d7d5 c2c4 e7e6 b1c3 g8f6 c1g5',
  'd2d4 d7d5 c2c4 c7c6 g1f3 g8f6 b1c3',
  'd2d4 d7d5 c2c4 d5c4 g1f3 g8f6 e2e3',
  'd2d4 g8f6 c2c4 e7e6 b1c3 f8b4',
  'd2d4 g8f6 c2c4 e7e6 g1f3 b7b6',
  'd2d4 g8f6 c2c4 g7g6 b1c3 f8g7 e2e4 d7d6',
  'd2d4 g8f6 c2c4 g7g6 b1c3 d7d5',
  'd2d4 g8f6 c2c4 c7c5 d4d5 e7e6',
  'd2d4 f7f5 g2g3 g8f6 f1g2',
  'c2c4 e7e5 b1c3 g8f6 g1f3 b8c6',
  'c2c4 c7c5 g1f3 g8f6 b1c3 b8c6',
  'g1f3 d7d5 g2g3 g8f6 f1g2 c7c6',
  'g1f3 g8f6 c2c4 e7e6 b1c3 d7d5',
];

function parseArgs(argv) {
  const a = { games: 100, tc: '10+0.1', pgn: 'games.pgn', hash: 64, maxPlies: 600, engine1: '', engine2: '',
              args1: '', args2: '', options1: '', options2: '', openings: '', ponder: '0', chess960: '0', nodes: '0' };
  for (let i = 2; i < argv.length; i++) {
    const k = argv[i].replace(/^--/, '');
    a[k] = argv[++i];
  }
  a.games = parseInt(a.games, 10);
  a.ponder = a.ponder === '1' || a.ponder === 'true';
  a.chess960 = a.chess960 === '1' || a.chess960 === 'true';
  // A node count a move instead of a clock: games that measure the
  // evaluation alone and do not depend on the machine's load.
  a.nodes = parseInt(a.nodes, 10) || 0;
  const [base, inc] = String(a.tc).split('+');
  a.baseMs = parseFloat(base) * 1000;
  a.incMs = parseFloat(inc || '0') * 1000;
  return a;
}

class Engine {
  constructor(path, words, options = []) {
    this.path = path;
    this.words = words;
    this.options = options;
    // Engines told apart by their command-line words too: the same program
    // may play both sides with different settings.
    this.key = [path, ...words, ...options.map(([n, v]) => `${n}=${v}`)].join(' ');
    this.name = path.split('/').pop();
    this.lines = [];
    this.waiters = [];
    this.dead = false;
    this.proc = spawn(path, words, { stdio: ['pipe', 'pipe', 'ignore'] });
    let buf = '';
    this.proc.stdout.on('data', (d) => {
      buf += d.toString();
      let n;
      while ((n = buf.indexOf('\n')) >= 0) {
        const line = buf.slice(0, n).replace(/\r$/, '');
        buf = buf.slice(n + 1);
        this.onLine(line);
      }
    });
    this.proc.on('exit', () => {
      this.dead = true;
      for (const w of this.waiters) w.resolve(null);
      this.waiters = [];
    });
    this.proc.stdin.on('error', () => { this.dead = true; });
  }
  onLine(line) {
    if (line.startsWith('id name ')) this.name = [line.slice(8).trim(), ...this.words].join(' ');
    const w = this.waiters.find((x) => x.match(line));
    if (w) {
      this.waiters.splice(this.waiters.indexOf(w), 1);
      clearTimeout(w.timer);
      w.resolve(line);
    }
  }
  send(text) {
    if (!this.dead) this.proc.stdin.write(text + '\n');
  }
  // The first line that satisfies match, or null on timeout or exit.
  waitFor(match, ms) {
    if (this.dead) return Promise.resolve(null);
    return new Promise((resolve) => {
      const w = { match, resolve };
      w.timer = setTimeout(() => {
        this.waiters.splice(this.waiters.indexOf(w), 1);
        resolve(null);
      }, ms);
      this.waiters.push(w);
    });
  }
  async start(hash, ponder, chess960) {
    this.send('uci');
    if (!(await this.waitFor((l) => l === 'uciok', 10000))) return false;
    this.send(`setoption name Hash value ${hash}`);
    this.send('setoption name Threads value 1');
    this.send(`setoption name Ponder value ${ponder ? 'true' : 'false'}`);
    if (chess960) this.send('setoption name UCI_Chess960 value true');
    for (const [name, value] of this.options) this.send(`setoption name ${name} value ${value}`);
    return this.ready();
  }
  async ready() {
    this.send('isready');
    return (await this.waitFor((l) => l === 'readyok', 10000)) !== null;
  }
  kill() {
    try { this.send('quit'); } catch (e) { /* already gone */ }
    setTimeout(() => { try { this.proc.kill('SIGKILL'); } catch (e) { /* gone */ } }, 500);
  }
}

function pgnOf(headers, sanMoves, fen) {
  let out = '';
  for (const [k, v] of Object.entries(headers)) out += `[${k} "${v}"]\n`;
  out += '\n';
  let line = '';
  // Move numbers follow the starting position's side and move number.
  const f = fen ? fen.split(' ') : ['', 'w', '', '', '0', '1'];
  const blackFirst = f[1] === 'b' ? 1 : 0;
  const firstNumber = parseInt(f[5], 10) || 1;
  sanMoves.forEach((m, i) => {
    const k = i + blackFirst;
    const number = firstNumber + Math.floor(k / 2);
    const tok = (k % 2 === 0 ? `${number}. ` : i === 0 ? `${number}... ` : '') + m + ' ';
    if (line.length + tok.length > 79) { out += line.trimEnd() + '\n'; line = ''; }
    line += tok;
  });
  line += headers.Result;
  return out + line + '\n\n';
}

// An opening line: moves from the start position, or a FEN to start from.
function openingStart(opening) {
  if (!opening.includes('/')) return { fen: null, moves: opening.split(' ').filter((m) => m) };
  const f = opening.trim().split(/\s+/);
  const fen = f.slice(0, 4).join(' ') + ' ' + (/^\d+$/.test(f[4] || '') ? f[4] : '0') + ' ' +
              (/^\d+$/.test(f[5] || '') ? f[5] : '1');
  return { fen, moves: [] };
}

function readOpenings(file) {
  const lines = fs.readFileSync(file, 'utf8').split(/\r?\n/).map((l) => l.trim());
  return lines.filter((l) => l && !l.startsWith('#'));
}

async function playGame(args, white, black, opening, round, stats) {
  const start = openingStart(opening);
  const chess = new Referee(start.fen);
  const startCommand = start.fen ? `position fen ${start.fen} moves ` : 'position startpos moves ';
  const uciMoves = [];
  const san = [];
  for (const m of start.moves) {
    const r = chess.play(m);
    if (!r) throw new Error(`opening move ${m} is not legal in ${opening}`);
    uciMoves.push(m);
    san.push(r);
  }
  const engines = [white, black];
  const clock = [args.baseMs, args.baseMs];
  for (const e of engines) {
    e.pondering = null;
    e.send('ucinewgame');
    await e.ready();
  }
  const goClock = () => (args.nodes ? `nodes ${args.nodes}`
    : `wtime ${Math.round(clock[0])} btime ${Math.round(clock[1])} winc ${args.incMs} binc ${args.incMs}`);
  let result = '*', termination = '';
  while (true) {
    const over = chess.ending();
    if (over) { result = over.result; termination = over.termination; break; }
    if (uciMoves.length >= args.maxPlies) { result = '1/2-1/2'; termination = 'length limit'; break; }
    const side = chess.turn() === 'w' ? 0 : 1;
    const e = engines[side];
    const loses = side === 0 ? '0-1' : '1-0';
    let t0;
    const guessed = e.pondering;
    e.pondering = null;
    if (guessed && guessed === uciMoves[uciMoves.length - 1]) {
      // The guess was right: the pondering search goes on as this move's.
      t0 = process.hrtime.bigint();
      e.send('ponderhit');
      stats.ponderhits++;
    } else {
      if (guessed) {
        // The guess was wrong: the pondering search ends with a bestmove
        // that is not played.
        stats.pondermisses++;
        e.send('stop');
        if ((await e.waitFor((l) => l.startsWith('bestmove'), 5000)) === null) {
          result = loses;
          termination = `${e.name} sent no bestmove after stop while pondering`;
          stats.nomove[e.key]++;
          break;
        }
      }
      e.send(startCommand + uciMoves.join(' '));
      t0 = process.hrtime.bigint();
      e.send(`go ${goClock()}`);
    }
    const line = await e.waitFor((l) => l.startsWith('bestmove'), args.nodes ? 60000 : clock[side] + 5000);
    const spent = Number(process.hrtime.bigint() - t0) / 1e6;
    if (line === null) {
      result = loses;
      termination = e.dead ? `${e.name} crashed` : `${e.name} sent no move`;
      stats[e.dead ? 'crash' : 'nomove'][e.key]++;
      break;
    }
    if (!args.nodes) clock[side] -= spent;
    if (clock[side] < 0) {
      result = loses;
      termination = `${e.name} lost on time`;
      stats.time[e.key]++;
      break;
    }
    if (!args.nodes) clock[side] += args.incMs;
    const text = line.split(/\s+/)[1] || '';
    const r = chess.play(text);
    if (!r) {
      result = loses;
      termination = `${e.name} played the illegal move ${text}`;
      stats.illegal[e.key]++;
      break;
    }
    uciMoves.push(text);
    san.push(r);
    // Thinking on the opponent's time, on the move the engine expects.
    const guess = (line.split(/\s+/)[3] || '');
    if (args.ponder && line.split(/\s+/)[2] === 'ponder' && /^[a-h][1-8][a-h][1-8][qrbn]?$/.test(guess)) {
      e.pondering = guess;
      e.send(startCommand + [...uciMoves, guess].join(' '));
      e.send(`go ponder ${goClock()}`);
    }
  }
  // A search still pondering when the game ends is stopped; its bestmove
  // must still come, or the engine has lost it.
  for (const e of engines) {
    if (!e.pondering) continue;
    e.pondering = null;
    e.send('stop');
    if ((await e.waitFor((l) => l.startsWith('bestmove'), 5000)) === null) stats.nomove[e.key]++;
  }
  const headers = {
    Event: 'Vorn test match', Site: 'local', Date: new Date().toISOString().slice(0, 10).replace(/-/g, '.'),
    Round: String(round), White: white.name, Black: black.name, Result: result,
    TimeControl: args.nodes ? '-' : `${args.baseMs / 1000}+${args.incMs / 1000}`, Termination: termination, Opening: opening,
  };
  if (args.chess960) headers.Variant = 'Chess960';
  if (start.fen) {
    headers.SetUp = '1';
    headers.FEN = start.fen;
  }
  return { result, termination, pgn: pgnOf(headers, san, start.fen) };
}

async function main() {
  const args = parseArgs(process.argv);
  if (!args.engine1 || !args.engine2) {
    console.error('usage: node match.js --engine1 PATH --engine2 PATH [--games N] [--tc 10+0.1] [--pgn FILE]');
    process.exit(2);
  }
  const paths = [args.engine1, args.engine2];
  const words = [args.args1, args.args2].map((w) => String(w).split(/\s+/).filter((x) => x));
  const options = [args.options1, args.options2].map((o) => String(o).split(';').filter((x) => x.includes('='))
    .map((x) => [x.slice(0, x.indexOf('=')).trim(), x.slice(x.indexOf('=') + 1).trim()]));
  ({ Referee, chess960Fen } = await import('./referee.mjs'));
  // Chess960 without a file: start positions spread over the numbering
  // (389 is prime to 960, so the first 960 are all different).
  const openings = args.openings ? readOpenings(args.openings)
    : args.chess960 ? Array.from({ length: 480 }, (_, i) => chess960Fen((i * 389 + 518) % 960)) : OPENINGS;
  const keys = paths.map((p, i) => [p, ...words[i], ...options[i].map(([n, v]) => `${n}=${v}`)].join(' '));
  const zero = () => ({ [keys[0]]: 0, [keys[1]]: 0 });
  const stats = { time: zero(), illegal: zero(), crash: zero(), nomove: zero(), ponderhits: 0, pondermisses: 0 };
  const score = { win: 0, draw: 0, loss: 0 };
  fs.writeFileSync(args.pgn, '');
  let e = [new Engine(paths[0], words[0], options[0]), new Engine(paths[1], words[1], options[1])];
  for (const x of e) if (!(await x.start(args.hash, args.ponder, args.chess960))) { console.error(`${x.path} did not start`); process.exit(1); }
  for (let g = 0; g < args.games; g++) {
    // Each opening twice, colours swapped; engine1 has White in even games.
    const opening = openings[Math.floor(g / 2) % openings.length];
    const firstWhite = g % 2 === 0;
    const white = firstWhite ? e[0] : e[1], black = firstWhite ? e[1] : e[0];
    const r = await playGame(args, white, black, opening, g + 1, stats);
    fs.appendFileSync(args.pgn, r.pgn);
    const engine1Won = (r.result === '1-0' && firstWhite) || (r.result === '0-1' && !firstWhite);
    if (r.result === '1/2-1/2') score.draw++;
    else if (engine1Won) score.win++;
    else score.loss++;
    console.log(`game ${g + 1}: ${white.name} - ${black.name} ${r.result} (${r.termination}); ` +
                `${e[0].name}: +${score.win} =${score.draw} -${score.loss}`);
    // A crashed or silent engine is started afresh for the next game.
    for (let i = 0; i < 2; i++) {
      if (e[i].dead || !(await e[i].ready())) {
        e[i].kill();
        e[i] = new Engine(paths[i], words[i], options[i]);
        if (!(await e[i].start(args.hash, args.ponder, args.chess960))) { console.error(`${paths[i]} did not restart`); process.exit(1); }
      }
    }
  }
  for (const x of e) x.kill();
  console.log(JSON.stringify({ engine1: keys[0], engine2: keys[1], score, timeLosses: stats.time,
    illegalMoves: stats.illegal, crashes: stats.crash, noMove: stats.nomove,
    ...(args.ponder ? { ponderhits: stats.ponderhits, pondermisses: stats.pondermisses } : {}) }));
}

main();
