#!/usr/bin/env python3
"""Writes the demo broadcast's KIF records into records/ (CP932, CR LF).

Run it after changing games.py or the table below; the records it writes are
kept in the repository so the server needs nothing but the files.
"""
import datetime
import pathlib
import random

from games import GAMES
from shogi import Position

HERE = pathlib.Path(__file__).resolve().parent
WEEKDAYS = "月火水木金土日"

# name, game, plies, start, tournament, sente, gote, extra header lines,
# comments {ply: [lines]}, result line or None, labels left out.
RECORDS = [
    ("ryuou39_kt1", "yagura", None, (2026, 11, 20, 10, 0), "第39期竜王戦決勝トーナメント",
     "三宅 陽介 七段", "北沢 颯 六段", ["戦型：矢倉"],
     {0: ["本局は決勝トーナメント2回戦です。", "中継ブログ http://blog.zelvaro.example/ryuou/ もご覧ください。"],
      3: ["相矢倉の出だし。"], 33: ["▲2五歩から仕掛けの準備。", "控室では▲3五歩の突き捨てが予想されている。"],
      40: ["△2三歩打は手堅い受け。"]}, None, ()),
    ("ryuou39_kt2", "kakugawari", None, (2026, 11, 20, 10, 0), "第39期竜王戦決勝トーナメント",
     "大森 千景 八段", "相良 湊 五段", ["戦型：角換わり腰掛け銀"],
     {10: ["角交換から角換わりの将棋になった。"],
      43: ["▲3一角打が鋭い。", "解説の村井八段「これは先手が指せそうです」", "局面図 https://kifu.zelvaro.example/ryuou39/kt2-43.png"]}, None, ()),
    ("oui67_1", "shiken", None, (2026, 11, 21, 9, 30), "第67期王位戦予選",
     "宮下 透 六段", "荒井 蒼 四段", ["戦型：後手四間飛車"],
     {8: ["後手は四間飛車に構えた。"], 31: ["▲4五銀と出た。"]}, None, ()),
    ("ouza74_t1", "aigakari", None, (2026, 11, 22, 10, 0), "第74期王座戦挑戦者決定トーナメント",
     "黒田 悠真 七段", "片桐 絢 七段", ["戦型：相掛かり"],
     {1: ["▲2六歩。相掛かりを志向。"], 14: ["△2三歩打と受けて序盤の駆け引きが続く。"],
      37: ["銀の動きが急。http://ouza.zelvaro.example/live/t1?move=37#comment で解説中。"]}, None, ()),
    ("kiou52_h2", "yokofudori", None, (2026, 11, 23, 10, 0), "第52期棋王戦本戦",
     "永井 智也 八段", "鳴海 瑛太 六段", ["戦型：横歩取り"],
     {15: ["▲3四飛と横歩を取った。"], 38: ["激しい展開になった。"]}, None, ()),
    ("kiou52_old", "gangi", 30, (2025, 11, 1, 10, 0), "第51期棋王戦本戦",
     "永井 智也 八段", "島 航 七段", [], {}, None, ()),
    ("kisei97_1", "sangen", None, (2026, 11, 24, 10, 0), "第97期棋聖戦二次予選",
     "中野 早紀 五段", "桐生 匠 六段", ["戦型：先手三間飛車"],
     {5: ["▲7八飛。三間飛車だ。"], 31: ["▲7五歩から動いていった。"]}, None, ()),
    ("kisei97_multi", "sangen", 12, (2026, 11, 24, 10, 0), "第97期棋聖戦二次予選（複数対局）",
     "中野 早紀 五段", "桐生 匠 六段", [], {}, None, ()),
    ("gakusei_final", "ending", 30, (2026, 11, 25, 13, 0), "協賛社杯 学生名人戦決勝",
     "森本 大和 学生", "石田 凛 学生", ["主催：ゼルヴァロ新聞社"],
     {0: ["協賛社の特設ページ http://sponsor.zelvaro.example/knowledge/shogi/ でも速報中。"]}, None, ()),
    ("asahi20_h1", "anaguma", None, (2026, 11, 26, 10, 0), "第20回朝日杯将棋オープン戦一次予選",
     "浜田 航平 五段", "坂口 誠 四段", ["戦型：居飛車穴熊対四間飛車", "持ち時間：各40分"],
     {19: ["先手は穴熊に潜った。"], 36: ["△4五歩で戦いが始まった。"]}, None, ()),
    ("shinjin57_1", "nakabisha", None, (2026, 11, 27, 10, 0), "第57期新人王戦",
     "望月 蓮 三段", "谷口 颯真 四段", ["戦型：ゴキゲン中飛車"],
     {6: ["△5二飛。中飛車だ。"], 25: ["▲5六歩打と受けた。"]}, None, ()),
    ("shinjin57_2", "aigakari", 20, (2026, 11, 27, 10, 0), "第57期新人王戦",
     "小西 悠 三段", "平野 翼 四段", [], {}, None, ("後手",)),
    ("seiryu_live", "gangi", None, (2026, 12, 8, 10, 0), "第7期青流戦",
     "岡 匡 四段", "新井 蒼空 三段", ["戦型：雁木"],
     {0: ["青流戦の中継を始めます。", "棋譜はおよそ数秒ごとに更新されます。"],
      8: ["雁木模様の出だし。"], 22: ["△3三角。"], 32: ["△8六歩と突き捨てた。", "http://blog.zelvaro.example/seiryu/ に控室の様子。"]},
     None, ()),
    ("tatsujin3_1", "ending", None, (2026, 11, 28, 10, 30), "第3期達人戦",
     "石原 宗一 九段", "内藤 健 九段", ["戦型：対四間飛車"],
     {37: ["▲3三角成と踏み込んだ。"], 45: ["▲6一角打で寄り。"]}, "先手", ()),
    ("jouza16_1", "yagura", 30, (2026, 11, 29, 10, 0), "第16期女流王座戦本戦",
     "上田 遥 女流三段", "加納 茜 女流二段", ["戦型：矢倉"],
     {30: ["昼食休憩に入った。"]}, None, ()),
    ("jmeijin53_2", "kakugawari", 36, (2026, 11, 30, 10, 0), "第53期女流名人戦リーグ",
     "清水 朋 女流四段", "葉山 紬 女流初段", ["戦型：角換わり"],
     {10: ["角換わり。"]}, None, ()),
    ("touka34_1", "shiken", 28, (2026, 12, 1, 10, 0), "第34期倉敷藤花戦",
     "三好 楓 女流二段", "戸田 結衣 女流三段", [],
     {0: ["倉敷藤花戦の中継です。"], 28: ["互角の中盤。"]}, None, ()),
]


def start_text(y, mo, d, h, mi):
    wd = WEEKDAYS[datetime.date(y, mo, d).weekday()]
    return f"{y}/{mo:02d}/{d:02d}({wd}) {h:02d}:{mi:02d}"


def display_width(text):
    return sum(1 if ord(c) < 0x80 else 2 for c in text)


def make_record(entry):
    (name, game, plies, start, tournament, sente, gote, extra, comments, winner, omit) = entry
    rng = random.Random(name)
    moves = GAMES[game].split()
    if plies is not None:
        moves = moves[:plies]
    lines = ["# ---- Zelvaro デモ中継 棋譜ファイル ----"]
    lines.append("開始日時：" + start_text(*start))
    lines.append("棋戦：" + tournament)
    lines += [e for e in extra]
    lines.append("持ち時間：各3時間" if not any(e.startswith("持ち時間") for e in extra) else "")
    if "先手" not in omit:
        lines.append("先手：" + sente)
    if "後手" not in omit:
        lines.append("後手：" + gote)
    lines = [line for line in lines if line]
    lines.append("手数----指手---------消費時間--")
    lines += ["*" + c for c in comments.get(0, [])]
    pos = Position()
    totals = [0, 0]
    texts = [pos.play(m) for m in moves]
    if winner:
        texts.append("投了")
    for n, text in enumerate(texts, start=1):
        spent = rng.choice([0, 1, 2, 5, 12, 40, 75, 130, 300, 610]) + rng.randint(0, 59)
        side = (n - 1) % 2
        totals[side] += spent
        t = totals[side]
        pad = " " * max(1, 14 - display_width(text))
        time = f"({spent // 60:2d}:{spent % 60:02d}/{t // 3600:02d}:{t // 60 % 60:02d}:{t % 60:02d})"
        lines.append(f"{n:4d} {text}{pad}{time}")
        lines += ["*" + c for c in comments.get(n, [])]
    if winner:
        lines.append(f"まで{len(texts) - 1}手で{winner}の勝ち")
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def main():
    out = HERE / "records"
    out.mkdir(exist_ok=True)
    for entry in RECORDS:
        (out / (entry[0] + ".kif")).write_bytes(make_record(entry))
    print(f"wrote {len(RECORDS)} records to {out}")


if __name__ == "__main__":
    main()
