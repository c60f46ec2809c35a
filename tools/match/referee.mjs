// The rules of a match game, standard chess or Chess960, through chessops:
// move legality (castling as the king's two-square move or as the king
// taking its own rook), SAN for the PGN, and the endings by rule (mate,
// stalemate, insufficient material, threefold repetition, fifty moves).
// Also the Chess960 start positions by their standard numbering 0-959.
// (An ES module: chessops is published as one.)
import { Chess, normalizeMove } from 'chessops/chess';
import { parseFen, makeFen, INITIAL_FEN } from 'chessops/fen';
import { parseUci } from 'chessops/util';
import { makeSan } from 'chessops/san';

export class Referee {
  // fen: the start position (the standard one when empty).
  constructor(fen) {
    const setup = parseFen(fen || INITIAL_FEN);
    if (setup.isErr) throw new Error(`bad FEN ${fen}`);
    const pos = Chess.fromSetup(setup.value);
    if (pos.isErr) throw new Error(`impossible position ${fen}`);
    this.pos = pos.value;
    this.seen = new Map();
    this.remember();
  }

  // A position recurs when board, side, castling rights and a capturable
  // en-passant square are the same (chessops writes the square only then).
  key() {
    return makeFen(this.pos.toSetup(), { epd: true });
  }

  remember() {
    const k = this.key();
    this.seen.set(k, (this.seen.get(k) || 0) + 1);
  }

  turn() {
    return this.pos.turn === 'white' ? 'w' : 'b';
  }

  // Plays a move in coordinate notation; its SAN, or null when the text
  // names no legal move here.
  play(text) {
    if (!/^[a-h][1-8][a-h][1-8][qrbn]?$/.test(text)) return null;
    const move = parseUci(text);
    if (!move || !this.pos.isLegal(move)) return null;
    const played = normalizeMove(this.pos, move);
    const san = makeSan(this.pos, played);
    this.pos.play(played);
    this.remember();
    return san;
  }

  // The ending by rule, or null while the game goes on.
  ending() {
    if (this.pos.isCheckmate()) return { result: this.turn() === 'w' ? '0-1' : '1-0', termination: 'checkmate' };
    if (this.pos.isStalemate()) return { result: '1/2-1/2', termination: 'stalemate' };
    if (this.pos.isInsufficientMaterial()) return { result: '1/2-1/2', termination: 'insufficient material' };
    if ((this.seen.get(this.key()) || 0) >= 3) return { result: '1/2-1/2', termination: 'threefold repetition' };
    if (this.pos.halfmoves >= 100) return { result: '1/2-1/2', termination: 'fifty moves' };
    return null;
  }
}

// The Chess960 start position numbered n (0-959; 518 is the standard
// one), with Shredder-FEN castling letters naming the rooks' files.
export function chess960Fen(n) {
  const rank = Array(8).fill(null);
  const free = () => rank.map((p, i) => (p ? -1 : i)).filter((i) => i >= 0);
  rank[2 * (n % 4) + 1] = 'B';
  n = Math.floor(n / 4);
  rank[2 * (n % 4)] = 'B';
  n = Math.floor(n / 4);
  rank[free()[n % 6]] = 'Q';
  n = Math.floor(n / 6);
  const knights = [[0, 1], [0, 2], [0, 3], [0, 4], [1, 2], [1, 3], [1, 4], [2, 3], [2, 4], [3, 4]][n];
  const before = free();
  rank[before[knights[0]]] = 'N';
  rank[before[knights[1]]] = 'N';
  const [a, k, h] = free();
  rank[a] = 'R';
  rank[k] = 'K';
  rank[h] = 'R';
  const files = 'abcdefgh';
  const white = rank.join('');
  const castling = files[h].toUpperCase() + files[a].toUpperCase() + files[h] + files[a];
  return `${white.toLowerCase()}/pppppppp/8/8/8/8/PPPPPPPP/${white} w ${castling} - 0 1`;
}
