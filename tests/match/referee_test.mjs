// The match referee (tools/match/referee.mjs): Chess960 start positions by
// their published numbers, castling in both notations, and the endings by rule.
import assert from 'assert';
import { Referee, chess960Fen } from '../../tools/match/referee.mjs';

// Published numbers: 518 is the standard array, 0 BBQNNRKR, 959 RKRNNQBB.
assert.strictEqual(chess960Fen(518), 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1');
assert.match(chess960Fen(0), /^bbqnnrkr\/.*\/BBQNNRKR w HFhf /);
assert.match(chess960Fen(959), /^rkrnnqbb\/.*\/RKRNNQBB w CAca /);
// Every number gives a distinct array with the king between the rooks and
// bishops on squares of both colours.
const arrays = new Set();
for (let n = 0; n < 960; n++) {
  const back = chess960Fen(n).split(' ')[0].split('/')[7];
  arrays.add(back);
  assert.match(back, /^[^K]*R[^R]*K[^R]*R[^K]*$/, back);
  const bishops = [...back].flatMap((p, i) => (p === 'B' ? [i % 2] : []));
  assert.deepStrictEqual(bishops.sort(), [0, 1], back);
  new Referee(chess960Fen(n));  // chessops takes every one
}
assert.strictEqual(arrays.size, 960);

// Castling as the king's two-square move and as the king taking its rook.
for (const castle of ['e1g1', 'e1h1']) {
  const r = new Referee();
  for (const m of ['e2e4', 'e7e5', 'g1f3', 'b8c6', 'f1c4', 'f8c5']) assert.ok(r.play(m), m);
  assert.strictEqual(r.play(castle), 'O-O');
  assert.strictEqual(r.key(), 'r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq -');
}
// Chess960: the king that stays on g1 castles by taking its rook.
const stay = new Referee('1r4kr/8/8/8/8/8/8/1R4KR w HBhb - 0 1');
assert.strictEqual(stay.play('g1h1'), 'O-O');
assert.strictEqual(stay.key(), '1r4kr/8/8/8/8/8/8/1R3RK1 b kq -');
// Illegal texts are refused and change nothing.
const r = new Referee();
for (const bad of ['e2e5', 'e1g1', 'e7e5', 'a2a1q', 'banana', '', 'e2e4e']) assert.strictEqual(r.play(bad), null, bad);
assert.strictEqual(r.turn(), 'w');

// Endings: threefold repetition, fifty moves, mate, stalemate, bare kings.
const rep = new Referee();
for (const m of ['g1f3', 'g8f6', 'f3g1', 'f6g8', 'g1f3', 'g8f6', 'f3g1']) {
  rep.play(m);
  assert.strictEqual(rep.ending(), null);
}
rep.play('f6g8');
assert.deepStrictEqual(rep.ending(), { result: '1/2-1/2', termination: 'threefold repetition' });
const fifty = new Referee('4k3/8/8/8/8/8/8/R3K3 w - - 99 80');
assert.strictEqual(fifty.ending(), null);
fifty.play('a1a2');
assert.deepStrictEqual(fifty.ending(), { result: '1/2-1/2', termination: 'fifty moves' });
const mate = new Referee('6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1');
assert.strictEqual(mate.play('d1d8'), 'Rd8#');
assert.deepStrictEqual(mate.ending(), { result: '1-0', termination: 'checkmate' });
assert.deepStrictEqual(new Referee('7k/5Q2/6K1/8/8/8/8/8 b - - 0 1').ending(),
  { result: '1/2-1/2', termination: 'stalemate' });
assert.deepStrictEqual(new Referee('7k/8/6K1/8/8/8/8/8 w - - 0 1').ending(),
  { result: '1/2-1/2', termination: 'insufficient material' });
console.log('referee: all checks passed');
