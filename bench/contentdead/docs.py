"""Real documentation with ten of its pages removed, served as a site that hides missing pages.

  docs.py serve ROOT PORT page|home   every address that is not a file of ROOT (or is a removed page)
                                       answers 200 with a "页面不存在" page, or 302 to the home page
  docs.py score ROOT PORT RESULT.json  what kelvara-check --format json found of it

The removed pages are chosen with a fixed seed and written to removed-PORT.json beside this script's
working folder, so that score knows them.
"""
import http.server
import json
import os
import random
import sys
import urllib.parse

NOT_FOUND = ('<html><head><meta charset="utf-8"><title>页面不存在</title></head><body><h1>页面不存在</h1>'
             '<p>抱歉，您访问的页面不存在。</p><a href="/">返回首页</a></body></html>').encode()
TYPES = {".html": "text/html; charset=utf-8", ".css": "text/css", ".png": "image/png", ".js": "text/javascript"}


def relative(root, path):
    path = urllib.parse.unquote(path).lstrip("/") or "index.html"
    return path + "index.html" if path.endswith("/") else path


def missing(root, removed, path):
    full = os.path.normpath(os.path.join(root, path))
    return path in removed or not full.startswith(root) or not os.path.isfile(full)


def serve(root, port, mode):
    pages = sorted(os.path.relpath(os.path.join(d, f), root) for d, _, fs in os.walk(root) for f in fs
                   if f.endswith(".html"))
    removed = set(random.Random(7).sample([p for p in pages if p != "index.html"], 10))
    with open(f"removed-{port}.json", "w") as f:
        json.dump(sorted(removed), f)

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_GET(self, head=False):
            path = relative(root, urllib.parse.urlsplit(self.path).path)
            if not missing(root, removed, path):
                with open(os.path.join(root, path), "rb") as f:
                    body = f.read()
                kind = TYPES.get(os.path.splitext(path)[1], "application/octet-stream")
            elif mode == "home":
                self.send_response(302)
                self.send_header("Location", "/")
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            else:
                body, kind = NOT_FOUND, TYPES[".html"]
            self.send_response(200)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if not head:
                self.wfile.write(body)

        def do_HEAD(self):
            self.do_GET(head=True)

        def log_message(self, *args):
            pass

    print("serving", flush=True)
    http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler).serve_forever()


def score(root, port, result):
    with open(f"removed-{port}.json") as f:
        removed = set(json.load(f))
    with open(result) as f:
        links = json.load(f)["links"]
    prefix = f"http://127.0.0.1:{port}/"
    own = [(relative(root, urllib.parse.urlsplit(l["url"]).path), l["statusText"].startswith("内容死链"))
           for l in links if l["url"].startswith(prefix)]
    gone = [(p, dead) for p, dead in own if missing(root, removed, p)]
    false = sorted(p for p, dead in own if dead and not missing(root, removed, p))
    print(f"links {len(own)}; good pages called dead {len(false)}; removed pages found "
          f"{sum(dead for p, dead in gone if p in removed)} of {sum(p in removed for p, _ in gone)}; "
          f"other missing addresses found {sum(dead for p, dead in gone if p not in removed)} of "
          f"{sum(p not in removed for p, _ in gone)}")
    for p in false:
        print("   FALSE", p)
    return not false


if __name__ == "__main__":
    root, port = os.path.realpath(sys.argv[2]), int(sys.argv[3])
    if sys.argv[1] == "serve":
        serve(root, port, sys.argv[4])
    else:
        sys.exit(0 if score(root, port, sys.argv[4]) else 1)
