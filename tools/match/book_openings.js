#!/usr/bin/env node
// Writes distinct opening lines for matches, drawn from a Polyglot book by
// the engine itself: each line is the engine's book moves from the start
// position (its book choice is weighted at random), kept only when the
// book lasts the whole line. The output is one line of coordinate moves
// per opening, as match.js --openings reads it.
//
//   node book_openings.js --engine ../../build/vorn --book performance.bin \
//        --lines 100 --plies 8 --out openings.txt
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');

function parseArgs(argv) {
  const a = { engine: '', book: '', lines: 100, plies: 8, out: 'openings.txt', tries: 5000 };
  for (let i = 2; i < argv.length; i++) a[argv[i].replace(/^--/, '')] = argv[++i];
  a.lines = parseInt(a.lines, 10);
  a.plies = parseInt(a.plies, 10);
  a.tries = parseInt(a.tries, 10);
  return a;
}

function startEngine(path) {
  const proc = spawn(path, [], { stdio: ['pipe', 'pipe', 'ignore'] });
  const waiters = [];
  let buf = '';
  proc.stdout.on('data', (d) => {
    buf += d.toString();
    let n;
    while ((n = buf.indexOf('\n')) >= 0) {
      const line = buf.slice(0, n).replace(/\r$/, '');
      buf = buf.slice(n + 1);
      for (const w of waiters) w.lines.push(line);
      const done = waiters.findIndex((w) => w.match(line));
      if (done >= 0) waiters.splice(done, 1)[0].resolve(null);
    }
  });
  return {
    send: (t) => proc.stdin.write(t + '\n'),
    // All lines up to and including the first that matches.
    collect: (match) => new Promise((resolve) => {
      const w = { match, lines: [] };
      w.resolve = () => resolve(w.lines);
      waiters.push(w);
    }),
    quit: () => { proc.stdin.write('quit\n'); },
  };
}

async function main() {
  const a = parseArgs(process.argv);
  if (!a.engine || !a.book) {
    console.error('usage: node book_openings.js --engine PATH --book FILE.bin [--lines N] [--plies P] [--out FILE]');
    process.exit(2);
  }
  const e = startEngine(a.engine);
  e.send('uci');
  await e.collect((l) => l === 'uciok');
  e.send('setoption name OwnBook value true');
  e.send(`setoption name OwnBook_File value ${a.book}`);
  e.send('isready');
  await e.collect((l) => l === 'readyok');
  const seen = new Set();
  const kept = [];
  for (let t = 0; t < a.tries && kept.length < a.lines; t++) {
    const moves = [];
    let inBook = true;
    while (inBook && moves.length < a.plies) {
      e.send('position startpos' + (moves.length ? ' moves ' + moves.join(' ') : ''));
      e.send('go depth 1');
      const lines = await e.collect((l) => l.startsWith('bestmove'));
      inBook = lines.some((l) => l.includes('book move is'));
      const best = lines[lines.length - 1].split(/\s+/)[1];
      if (inBook) moves.push(best);
    }
    const text = moves.join(' ');
    if (moves.length === a.plies && !seen.has(text)) {
      seen.add(text);
      kept.push(text);
    }
  }
  e.quit();
  fs.writeFileSync(a.out, kept.map((l) => l + '\n').join(''));
  console.log(`wrote ${kept.length} openings of ${a.plies} plies to ${a.out}`);
}

main();
