#!/usr/bin/env python3
"""The demo broadcast: tournament pages and live KIF records on 127.0.0.1.

It plays both outside hosts the program talks to: the broadcast server (the
tournament pages under /ryuou/, /oui/, ...) and the sponsor host
(/knowledge/shogi/live/index.html), so one address serves as both:

    zelvaro --server http://127.0.0.1:PORT --sponsor http://127.0.0.1:PORT

Pages and records are Shift_JIS (CP932). Some responses are gzip-encoded,
some chunked, one tournament page answers 404, and seiryu_live.kif grows by
one move every --live-interval seconds like a game being played.

Control paths (for tests and the scripts that drive the demo):
    /_demo/advance             show one more move of the live record now
    /_demo/replace?n=N&move=M  replace the text of move N of the live record
                               (M in UTF-8, e.g. ３六歩(37)), as a broadcast
                               does when it corrects a mistyped move
    /_demo/log                 the paths requested so far, one per line
    /_demo/log?clear=1         the same, then forget them
"""
import argparse
import gzip
import http.server
import pathlib
import random
import re
import sys
import threading
import time
import urllib.parse

HERE = pathlib.Path(__file__).resolve().parent
RECORDS = HERE / "records"
SPONSOR_PAGE = "/knowledge/shogi/live/index.html"
LIVE_NAME = "seiryu_live"

# Paths whose responses are gzip-encoded and those sent chunked.
GZIP_PATHS = {"/ouza/", "/asahi/", "/ouza/kifu/ouza74_t1.kif", "/tatsujin/kifu/tatsujin3_1.kif",
              "/seiryu/kifu/seiryu_live.kif", SPONSOR_PAGE}
CHUNKED_PATHS = {"/oui/", "/asahi/", "/kisei/kifu/kisei97_1.kif", "/seiryu/kifu/seiryu_live.kif",
                 "/joryumeijin/", SPONSOR_PAGE, "/tatsujin/kifu/tatsujin3_1.kif"}
MISSING_PAGES = {"/joryu-oui/"}


def page(title, body):
    head = ['<html>', '<head>',
            '<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">',
            f'<title>{title}</title>', '</head>', '<body>', f'<h1>{title}</h1>']
    return "\n".join(head + body + ['</body>', '</html>', ''])


def pages(base):
    """The tournament pages and the sponsor page, keyed by path."""
    return {
        "/ryuou/": page("第39期竜王戦 棋譜中継", [
            '<p>決勝トーナメントの対局を中継します。</p>',
            '<ul>',
            '<li><a href="kifu/ryuou39_kt1.html">三宅陽介七段－北沢颯六段</a></li>',
            '<li><a href="kifu/ryuou39_pre.html">振り駒</a> | <a href="kifu/ryuou39_kt2.html">大森千景八段－相良湊五段</a></li>',
            '<li><a href="kifu/archive/2025.html">過去の棋譜</a></li>',
            '</ul>']),
        "/oui/": page("第67期王位戦 中継", [
            f'<a href="{base}/oui/index.html">王位戦トップ</a>',
            '<table>',
            f'<tr><td>予選</td><td><a href="{base}/oui/kifu/oui67_1.html">宮下透六段－荒井蒼四段</a></td></tr>',
            '</table>']),
        "/ouza/": page("第74期王座戦 挑戦者決定トーナメント", [
            f'<p><a href="{base}/ouza/kifu/ouza74_t1.html?v=2">黒田悠真七段－片桐絢七段</a></p>',
            '<p>対局開始は10時です。</p>']),
        "/kiou/": page("第52期棋王戦 本戦", [
            '\t <!--',
            f'\t <a href="{base}/kiou/kifu/kiou52_old.html">前期の対局（非公開）</a>',
            '\t -->',
            '<!-- 本日の対局 -->',
            f'<a href="{base}/kiou/kifu/kiou52_h2.html">永井智也八段－鳴海瑛太六段</a><br>']),
        "/kisei/": page("第97期棋聖戦 二次予選", [
            f'<a href="{base}/kisei/kifu/kisei97_multi.kif">全対局を一度に見る</a><br>',
            f'<a href="{base}/kisei/archive/">アーカイブ</a><br>',
            f'<a href="{base}/kisei/kifu/kisei97_1.html">中野早紀五段－桐生匠六段</a><br>']),
        "/asahi/": page("第20回朝日杯将棋オープン戦", [
            '<div class="game">',
            f'<a href="{base}/asahi/kifu/asahi20_h1.html">浜田航平五段－坂口誠四段</a>',
            '</div>']),
        SPONSOR_PAGE: page("協賛社 将棋ライブ", [
            '<p>協賛社杯の対局を速報します。</p>',
            f'<a href="{base}/gakusei/kifu/gakusei_final.html">学生名人戦決勝</a><br>',
            '<a href="kifu/sponsor_news.html">大会ニュース</a><br>']),
        "/shinjin/": page("第57期新人王戦", [
            '<a href="kifu/shinjin57_1.html">望月蓮三段－谷口颯真四段</a><br>',
            '<a href="kifu/shinjin57_2.html">小西悠三段－平野翼四段</a><br>']),
        "/seiryu/": page("第7期青流戦 ライブ中継", [
            '<p>対局中（自動更新）</p>',
            '<a href="kifu/seiryu_live.kif">岡匡四段－新井蒼空三段</a><br>']),
        "/tatsujin/": page("第3期達人戦", [
            f'<p>終局しました。<a href="{base}/tatsujin/kifu/tatsujin3_1.html">石原宗一九段－内藤健九段</a></p>']),
        "/joryu_ouza/": page("第16期女流王座戦 本戦", [
            '<a href="kifu/jouza16_1.html">上田遥女流三段－加納茜女流二段</a><br>']),
        "/joryumeijin/": page("第53期女流名人戦 リーグ", [
            '\t<!--',
            '<a href="kifu/jmeijin53_2.html">清水朋女流四段－葉山紬女流初段</a><br>',
            '-->']),
        "/kurashikitouka/": page("第34期倉敷藤花戦", [
            '<a href="kifu/touka34_1.html#latest">三好楓女流二段－戸田結衣女流三段</a><br>']),
    }


class LiveRecord:
    """A record that shows one more move every `interval` seconds."""

    # A move line as the viewer reads it: a blank first, the move number in
    # columns 1 to 4, and the move text from column 6 up to the first ASCII
    # space; the ideographic space of 「同　歩」 belongs to the move text.
    MOVE_LINE = re.compile(r"^(?=.{4} ) +(\d+) ([^ ]+)( +)(\(.*\)) *$")

    def __init__(self, data, start, interval):
        lines = data.decode("cp932").split("\r\n")
        self.header, self.blocks, self.trailer = [], [], []
        for line in lines:
            if not line:
                continue
            if self.MOVE_LINE.match(line):
                self.blocks.append([line])
            elif self.blocks and line.startswith("*"):
                self.blocks[-1].append(line)
            elif self.blocks:
                self.trailer.append(line)
            else:
                self.header.append(line)
        self.start = start
        self.interval = interval
        self.began = time.monotonic()
        self.advanced = 0
        self.lock = threading.Lock()

    def shown(self):
        grown = int((time.monotonic() - self.began) / self.interval) if self.interval > 0 else 0
        return min(len(self.blocks), self.start + grown + self.advanced)

    def advance(self):
        with self.lock:
            self.advanced += 1
            return self.shown()

    def replace(self, n, move):
        with self.lock:
            if not 1 <= n <= len(self.blocks):
                return False
            m = self.MOVE_LINE.match(self.blocks[n - 1][0])
            width = sum(1 if ord(c) < 0x80 else 2 for c in move)
            self.blocks[n - 1][0] = f"{n:4d} {move}{' ' * max(1, 14 - width)}{m.group(4)}"
            return True

    def text(self):
        with self.lock:
            k = self.shown()
            lines = list(self.header)
            for block in self.blocks[:k]:
                lines += block
            if k == len(self.blocks):
                lines += self.trailer
            return "".join(line + "\r\n" for line in lines).encode("cp932")


class DemoServer(http.server.ThreadingHTTPServer):
    # A search opens many connections at once; the default backlog of 5
    # would drop the rest and make them wait for the client's retry.
    request_queue_size = 64
    daemon_threads = True


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ZelvaroDemo/1.0"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("demo-broadcast: " + fmt % args + "\n")

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        path = url.path
        if path.startswith("/_demo/"):
            return self.control(path, urllib.parse.parse_qs(url.query))
        with self.server.lock:
            self.server.requests.append(self.path)
        if self.server.delay > 0:
            time.sleep(self.server.delay)
        if self.server.jitter > 0:
            time.sleep(random.uniform(0, self.server.jitter))
        body = self.lookup(path)
        if body is None:
            return self.reply(404, b"<html><body>404 Not Found</body></html>\n", path)
        self.reply(200, body, path)

    def lookup(self, path):
        if path in MISSING_PAGES:
            return None
        if path in self.server.pages:
            return self.server.pages[path]
        m = re.fullmatch(r"/[a-z_-]+/kifu/([a-z0-9_]+)\.kif", path)
        if not m:
            return None
        if m.group(1) == LIVE_NAME:
            return self.server.live.text()
        file = RECORDS / (m.group(1) + ".kif")
        return file.read_bytes() if file.is_file() else None

    def reply(self, status, body, path):
        gzipped = status == 200 and path in GZIP_PATHS
        chunked = status == 200 and path in CHUNKED_PATHS
        if gzipped:
            body = gzip.compress(body)
        self.send_response(status)
        ctype = "text/html" if path.endswith("/") or path.endswith(".html") else "text/plain"
        self.send_header("Content-Type", ctype + "; charset=Shift_JIS")
        if gzipped:
            self.send_header("Content-Encoding", "gzip")
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        else:
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        self.send_header("Connection", "close")
        self.end_headers()
        if chunked:
            # Small, uneven chunks so that lines and gzip blocks straddle them.
            rng = random.Random(path)
            pos = 0
            while pos < len(body):
                n = rng.randint(1, 700)
                piece = body[pos:pos + n]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                pos += n
            self.wfile.write(b"0\r\n\r\n")
        else:
            self.wfile.write(body)
        self.close_connection = True

    def control(self, path, query):
        live = self.server.live
        if path == "/_demo/advance":
            text = f"{live.advance()}\n"
        elif path == "/_demo/replace":
            try:
                n = int(query["n"][0])
                move = query["move"][0]
            except (KeyError, ValueError):
                return self.reply(400, b"usage: /_demo/replace?n=N&move=TEXT\n", path)
            if not live.replace(n, move):
                return self.reply(400, b"no such move\n", path)
            text = "ok\n"
        elif path == "/_demo/log":
            with self.server.lock:
                text = "".join(r + "\n" for r in self.server.requests)
                if "clear" in query:
                    self.server.requests.clear()
        else:
            return self.reply(404, b"unknown control path\n", path)
        self.reply(200, text.encode("utf-8"), path)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: a free one)")
    ap.add_argument("--port-file", help="write the chosen port to this file once listening")
    ap.add_argument("--live-interval", type=float, default=5.0,
                    help="seconds between moves of the live record (0: only /_demo/advance)")
    ap.add_argument("--live-start", type=int, default=12, help="moves the live record shows at start")
    ap.add_argument("--delay", type=float, default=0.0, help="seconds to wait before each answer")
    ap.add_argument("--jitter", type=float, default=0.0,
                    help="up to this many seconds more, at random, before each answer, so that "
                         "answers to requests made together come in any order")
    ap.add_argument("--verbose", action="store_true", help="log every request to standard error")
    args = ap.parse_args()

    server = DemoServer(("127.0.0.1", args.port), Handler)
    port = server.server_address[1]
    base = f"http://127.0.0.1:{port}"
    server.pages = {p: text.encode("cp932") for p, text in pages(base).items()}
    server.live = LiveRecord((RECORDS / (LIVE_NAME + ".kif")).read_bytes(), args.live_start,
                             args.live_interval)
    server.delay = args.delay
    server.jitter = args.jitter
    server.verbose = args.verbose
    server.lock = threading.Lock()
    server.requests = []
    if args.port_file:
        tmp = pathlib.Path(args.port_file + ".tmp")
        tmp.write_text(f"{port}\n")
        tmp.replace(args.port_file)
    print(f"demo-broadcast: serving {base}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
