#!/usr/bin/env node
// Adds up the closing lines of match.js logs (engine1 is the candidate)
// and prints the gate's verdict on its first line:
//   +W =D -L in N games, S %, Elo E (95 % interval A to B), LOS P %, pass|fail
// then the protocol faults of both engines. A candidate passes when its
// likelihood of superiority (the normal approximation over decisive games)
// is at least 95 % and neither engine lost a game by a fault. With
// --screen (the games at a fixed number of nodes before the gate) it passes
// on any score above 50 % without a fault: a candidate no better at equal
// nodes is not worth an hour of timed games, one a little better is.
// With --sprt E0,E1 the verdict is that of a sequential probability ratio
// test between Elo E0 and Elo E1 (5 % errors of both kinds): pass once the
// log-likelihood ratio reaches its upper bound, fail at the lower bound or
// on a fault, and 'continue' in between, when more games are needed. A
// step of 10 to 20 Elo, too small for 200 games to prove, is settled this
// way in one or two thousand games at fixed nodes.
//   node gate_result.js [--screen | --sprt E0,E1] gate-a.log [gate-b.log ...]
'use strict';
const fs = require('fs');

function erf(x) {
  // Abramowitz and Stegun 7.1.26, enough for a percentage.
  const s = Math.sign(x), a = Math.abs(x), t = 1 / (1 + 0.3275911 * a);
  const y = 1 - (((((1.061405429 * t - 1.453152027) * t) + 1.421413741) * t - 0.284496736) * t + 0.254829592) * t *
    Math.exp(-a * a);
  return s * y;
}

const elo = (p) => (p <= 0 ? -Infinity : p >= 1 ? Infinity : -400 * Math.log10(1 / p - 1));

function summarise(w, d, l) {
  const n = w + d + l;
  const p = n ? (w + d / 2) / n : 0.5;
  // Standard error of the mean score per game, from the three outcomes.
  const variance = n ? (w * (1 - p) ** 2 + d * (0.5 - p) ** 2 + l * p ** 2) / n : 0;
  const se = n ? Math.sqrt(variance / n) : 0;
  const los = w + l ? 0.5 * (1 + erf((w - l) / Math.sqrt(2 * (w + l)))) : 0.5;
  return { n, p, e: elo(p), lo: elo(p - 1.96 * se), hi: elo(p + 1.96 * se), los };
}

// Expected score of an Elo difference.
const score_of = (e) => 1 / (1 + 10 ** (-e / 400));

// The log-likelihood ratio of Elo e1 against Elo e0 after these games, in
// the usual normal approximation: the mean score per game and its variance
// from the three outcomes; and the test's bounds for errors alpha and beta.
function sprt(w, d, l, e0, e1, alpha = 0.05, beta = 0.05) {
  const n = w + d + l;
  const lower = Math.log(beta / (1 - alpha)), upper = Math.log((1 - beta) / alpha);
  if (!n) return { llr: 0, lower, upper };
  const p = (w + d / 2) / n;
  const variance = (w * (1 - p) ** 2 + d * (0.5 - p) ** 2 + l * p ** 2) / n;
  if (variance <= 0) return { llr: 0, lower, upper };
  const s0 = score_of(e0), s1 = score_of(e1);
  return { llr: (n * (s1 - s0) * (2 * p - s0 - s1)) / (2 * variance), lower, upper };
}

function main() {
  let files = process.argv.slice(2);
  const screen = files[0] === '--screen';
  if (screen) files = files.slice(1);
  let bounds = null;
  if (files[0] === '--sprt') {
    bounds = (files[1] || '').split(',').map(Number);
    files = files.slice(2);
    if (bounds.length !== 2 || !bounds.every(Number.isFinite) || bounds[0] >= bounds[1]) files = [];
  }
  if (!files.length) {
    console.error('usage: node gate_result.js [--screen | --sprt E0,E1] LOG [LOG ...]');
    process.exit(2);
  }
  let w = 0, d = 0, l = 0, faults = 0;
  const notes = [];
  for (const f of files) {
    const lines = fs.readFileSync(f, 'utf8').split('\n').filter((x) => x.startsWith('{'));
    if (!lines.length) {
      console.error(`${f}: no closing line (the match did not finish)`);
      process.exit(1);
    }
    const r = JSON.parse(lines[lines.length - 1]);
    w += r.score.win;
    d += r.score.draw;
    l += r.score.loss;
    for (const kind of ['timeLosses', 'illegalMoves', 'crashes', 'noMove'])
      for (const [engine, count] of Object.entries(r[kind])) {
        faults += count;
        if (count) notes.push(`${f}: ${engine}: ${count} ${kind}`);
      }
  }
  const s = summarise(w, d, l);
  const fmt = (x) => (Number.isFinite(x) ? (x >= 0 ? '+' : '') + x.toFixed(0) : String(x));
  const head = `+${w} =${d} -${l} in ${s.n} games, ${(100 * s.p).toFixed(1)} %, Elo ${fmt(s.e)} ` +
               `(95 % interval ${fmt(s.lo)} to ${fmt(s.hi)}), LOS ${(100 * s.los).toFixed(1)} %`;
  if (bounds) {
    const t = sprt(w, d, l, bounds[0], bounds[1]);
    const verdict = faults || t.llr <= t.lower ? 'fail' : t.llr >= t.upper ? 'pass' : 'continue';
    console.log(`${head}, LLR ${t.llr.toFixed(2)} (${t.lower.toFixed(2)} to ${t.upper.toFixed(2)}) ` +
                `for Elo ${bounds[0]} against ${bounds[1]}, ${verdict}`);
  } else {
    const pass = (screen ? s.n > 0 && s.p > 0.5 : s.los >= 0.95) && faults === 0;
    console.log(`${head}, ${pass ? 'pass' : 'fail'}`);
  }
  console.log(faults ? notes.join('\n') : 'no time losses, illegal moves, crashes or missing moves');
}

if (require.main === module) main();
module.exports = { summarise, erf, sprt };
