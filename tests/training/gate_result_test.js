// The gate's arithmetic (tools/training/gate_result.js) on hand-checked
// cases and on match logs as match.js writes them.
'use strict';
const assert = require('assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const script = path.join(__dirname, '..', '..', 'tools', 'training', 'gate_result.js');
const { summarise } = require(script);

// An even score is 0 Elo; 75 % is about +191; the interval holds the estimate.
let s = summarise(50, 100, 50);
assert.strictEqual(s.p, 0.5);
assert.ok(Math.abs(s.e) < 1e-9);
assert.ok(Math.abs(s.los - 0.5) < 1e-9);
s = summarise(60, 30, 10);
assert.ok(Math.abs(s.p - 0.75) < 1e-12);
assert.ok(Math.abs(s.e - 190.85) < 0.1, String(s.e));
assert.ok(s.lo < s.e && s.e < s.hi);
// 60 wins against 40 losses: z = 20 / sqrt(100) = 2, LOS 97.7 %.
s = summarise(60, 100, 40);
assert.ok(Math.abs(s.los - 0.9772) < 0.001, String(s.los));

function run(logs, options = []) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'gate-'));
  const files = logs.map((text, i) => {
    const f = path.join(dir, `gate-${i}.log`);
    fs.writeFileSync(f, text);
    return f;
  });
  try {
    return execFileSync('node', [script, ...options, ...files], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] })
      .split('\n');
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}
const closing = (win, draw, loss, time = 0) =>
  'game 1: a - b 1-0 (checkmate); a: +1 =0 -0\n' +
  JSON.stringify({ engine1: 'vorn -cfg c', engine2: 'vorn', score: { win, draw, loss },
    timeLosses: { 'vorn -cfg c': time, vorn: 0 }, illegalMoves: { 'vorn -cfg c': 0, vorn: 0 },
    crashes: { 'vorn -cfg c': 0, vorn: 0 }, noMove: { 'vorn -cfg c': 0, vorn: 0 } }) + '\n';

// Two halves add up; 70 wins against 30 losses passes (LOS 99.996 %).
let out = run([closing(40, 30, 30), closing(30, 70, 0)]);
assert.match(out[0], /^\+70 =100 -30 in 200 games, 60\.0 %, Elo \+70 .*LOS 100\.0 %, pass$/);
assert.strictEqual(out[1], 'no time losses, illegal moves, crashes or missing moves');
// The same score with one time loss fails and names it.
out = run([closing(40, 30, 30, 1), closing(30, 70, 0)]);
assert.match(out[0], /, fail$/);
assert.match(out[1], /vorn -cfg c: 1 timeLosses/);
// A narrow lead does not pass.
out = run([closing(55, 100, 45)]);
assert.match(out[0], /LOS 8\d\.\d %, fail$/);
// The screen at fixed nodes lets that narrow lead through, not an even
// score, and not a lead with a fault.
assert.match(run([closing(55, 100, 45)], ['--screen'])[0], /52\.5 %.*, pass$/);
assert.match(run([closing(50, 100, 50)], ['--screen'])[0], /50\.0 %.*, fail$/);
assert.match(run([closing(55, 100, 45, 1)], ['--screen'])[0], /, fail$/);
// The sequential test, checked by hand: 58 wins, 95 draws, 47 losses give
// a mean of 0.5275 with variance 0.1305 a game; Elo 10 scores 0.514387, so
// the ratio of Elo 10 against 0 is 200 x 0.014387 x 0.040613 / 0.261 = 0.45.
const { sprt } = require(script);
let t = sprt(58, 95, 47, 0, 10);
assert.ok(Math.abs(t.llr - 0.4477) < 0.001, String(t.llr));
assert.ok(Math.abs(t.upper - Math.log(19)) < 1e-12 && Math.abs(t.lower + Math.log(19)) < 1e-12);
// An even score leans toward Elo 0 by as much as the games show.
t = sprt(500, 1000, 500, 0, 10);
assert.ok(Math.abs(t.llr + 1.656) < 0.002, String(t.llr));
// The verdicts: too few games to tell, a clear lead, an even score over
// many games, and a clear lead with a fault.
assert.match(run([closing(58, 95, 47)], ['--sprt', '0,10'])[0], /LLR 0\.45 \(-2\.94 to 2\.94\) for Elo 0 against 10, continue$/);
assert.match(run([closing(300, 400, 200)], ['--sprt', '0,10'])[0], /, pass$/);
assert.match(run([closing(500, 1000, 500), closing(500, 1000, 500)], ['--sprt', '0,10'])[0], /, fail$/);
assert.match(run([closing(300, 400, 200, 1)], ['--sprt', '0,10'])[0], /, fail$/);
// Bounds that are not two increasing numbers are refused.
assert.throws(() => run([closing(58, 95, 47)], ['--sprt', '10,0']));
// A log without its closing line is an unfinished match, not a result.
assert.throws(() => run(['game 1: a - b 1-0 (checkmate); a: +1 =0 -0\n']));
console.log('gate_result: all checks passed');
