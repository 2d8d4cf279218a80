"""A small shogi position used to author the demo records.

Moves are written in USI notation ("7g7f", "8h2b+", "P*5e") because that is
quick to type; the position checks each one (piece of the side to move on
the origin, movement rule, blocked paths, own pieces, drops from the hand,
two pawns on a file, king left in check) and renders it in KIF notation.
"""

FULL_DIGITS = "０１２３４５６７８９"
KANJI_RANKS = "〇一二三四五六七八九"

# Piece kinds: unpromoted P L N S G K R B, promoted +P +L +N +S +R +B.
KIF_NAMES = {
    "P": "歩", "L": "香", "N": "桂", "S": "銀", "G": "金", "K": "玉", "R": "飛", "B": "角",
    "+P": "と", "+L": "成香", "+N": "成桂", "+S": "成銀", "+R": "龍", "+B": "馬",
}
PROMOTABLE = set("PLNSRB")
GOLD_STEPS = [(0, 1), (1, 1), (-1, 1), (1, 0), (-1, 0), (0, -1)]
STEPS = {
    "P": [(0, 1)],
    "N": [],
    "S": [(0, 1), (1, 1), (-1, 1), (1, -1), (-1, -1)],
    "G": GOLD_STEPS, "+P": GOLD_STEPS, "+L": GOLD_STEPS, "+N": GOLD_STEPS, "+S": GOLD_STEPS,
    "K": [(dx, dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1) if (dx, dy) != (0, 0)],
    "L": [], "R": [], "B": [],
    "+R": [(1, 1), (1, -1), (-1, 1), (-1, -1)],
    "+B": [(1, 0), (-1, 0), (0, 1), (0, -1)],
}
SLIDES = {
    "L": [(0, 1)],
    "R": [(1, 0), (-1, 0), (0, 1), (0, -1)], "+R": [(1, 0), (-1, 0), (0, 1), (0, -1)],
    "B": [(1, 1), (1, -1), (-1, 1), (-1, -1)], "+B": [(1, 1), (1, -1), (-1, 1), (-1, -1)],
}


class IllegalMove(Exception):
    pass


class Position:
    def __init__(self):
        # board[(file, rank)] = (owner, kind); owner 1 sente, -1 gote.
        self.board = {}
        back = "LNSGKGSNL"
        for i, k in enumerate(back):
            self.board[(9 - i, 9)] = (1, k)
            self.board[(9 - i, 1)] = (-1, k)
        for f in range(1, 10):
            self.board[(f, 7)] = (1, "P")
            self.board[(f, 3)] = (-1, "P")
        self.board[(8, 8)] = (1, "B")
        self.board[(2, 8)] = (1, "R")
        self.board[(2, 2)] = (-1, "B")
        self.board[(8, 2)] = (-1, "R")
        self.hands = {1: {}, -1: {}}
        self.turn = 1
        self.last = None

    # "Forward" is towards rank 1 for sente and towards rank 9 for gote.
    def _targets(self, sq, owner, kind):
        f, r = sq
        out = []
        fwd = -owner
        for dx, dy in STEPS[kind]:
            out.append((f + dx, r + dy * fwd))
        if kind == "N":
            out += [(f + 1, r + 2 * fwd), (f - 1, r + 2 * fwd)]
        for dx, dy in SLIDES.get(kind, []):
            nf, nr = f + dx, r + dy * fwd
            while 1 <= nf <= 9 and 1 <= nr <= 9:
                out.append((nf, nr))
                if (nf, nr) in self.board:
                    break
                nf, nr = nf + dx, nr + dy * fwd
        return [t for t in out if 1 <= t[0] <= 9 and 1 <= t[1] <= 9]

    def attacked(self, sq, by):
        for s, (owner, kind) in self.board.items():
            if owner == by and sq in self._targets(s, owner, kind):
                return True
        return False

    def _king(self, owner):
        for s, (o, k) in self.board.items():
            if o == owner and k == "K":
                return s
        raise IllegalMove("no king")

    @staticmethod
    def _in_zone(rank, owner):
        return rank <= 3 if owner == 1 else rank >= 7

    def play(self, usi):
        """Plays one USI move and returns its KIF text."""
        side = self.turn
        if "*" in usi:
            kind, to = usi[0], parse_square(usi[2:4])
            if self.hands[side].get(kind, 0) <= 0:
                raise IllegalMove(f"{usi}: no {kind} in hand")
            if to in self.board:
                raise IllegalMove(f"{usi}: drop on an occupied square")
            if kind == "P" and any(self.board.get((to[0], r)) == (side, "P") for r in range(1, 10)):
                raise IllegalMove(f"{usi}: two pawns on one file")
            self.hands[side][kind] -= 1
            self.board[to] = (side, kind)
            text = square_text(to) + KIF_NAMES[kind] + "打"
        else:
            frm, to = parse_square(usi[0:2]), parse_square(usi[2:4])
            promote = usi.endswith("+")
            if self.board.get(frm, (0, ""))[0] != side:
                raise IllegalMove(f"{usi}: the origin holds no piece of the side to move")
            owner, kind = self.board[frm]
            if to not in self._targets(frm, owner, kind):
                raise IllegalMove(f"{usi}: {kind} cannot move there")
            captured = self.board.get(to)
            if captured and captured[0] == side:
                raise IllegalMove(f"{usi}: captures its own piece")
            can_promote = kind in PROMOTABLE and (
                self._in_zone(frm[1], side) or self._in_zone(to[1], side))
            if promote and not can_promote:
                raise IllegalMove(f"{usi}: cannot promote")
            name = KIF_NAMES[kind]
            dest = "同　" if to == self.last else square_text(to)
            text = dest + name + ("成" if promote else ("不成" if can_promote else ""))
            text += f"({frm[0]}{frm[1]})"
            if captured:
                base = captured[1].lstrip("+")
                self.hands[side][base] = self.hands[side].get(base, 0) + 1
            del self.board[frm]
            self.board[to] = (side, "+" + kind if promote else kind)
        if self.attacked(self._king(side), -side):
            raise IllegalMove(f"{usi}: leaves the king in check")
        self.last = to
        self.turn = -side
        return text


def parse_square(s):
    f, r = int(s[0]), ord(s[1]) - ord("a") + 1
    if not (1 <= f <= 9 and 1 <= r <= 9):
        raise IllegalMove(f"bad square {s}")
    return (f, r)


def square_text(sq):
    return FULL_DIGITS[sq[0]] + KANJI_RANKS[sq[1]]
