#!/usr/bin/env python3
"""Serves the Vue Router test site of tests/data/spa on loopback, as such sites are served: in history
mode every address that is not a file answers 200 with the app's shell. --items sets how many news
pages the app has (the 200-page benchmark uses --items 200)."""
import argparse
import http.server
import os
import urllib.parse

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tests', 'data', 'spa')
PRODUCTS = {str(i) for i in range(1, 7)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--port', type=int, default=8078)
    parser.add_argument('--mode', choices=['history', 'hash'], default='history')
    parser.add_argument('--items', type=int, default=8)
    args = parser.parse_args()
    with open(os.path.join(DATA, args.mode + '.html'), encoding='utf-8') as f:
        shell = f.read().replace('</script>', 'window.SITE_ITEMS = %d;</script>' % args.items, 1).encode()

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = 'HTTP/1.1'

        def log_message(self, *a):
            pass

        def send(self, status, body, kind='text/html; charset=utf-8', cache=False):
            self.send_response(status)
            self.send_header('Content-Type', kind)
            if cache:  # built scripts are cached by browsers, as their servers ask
                self.send_header('Cache-Control', 'public, max-age=31536000')
            self.send_header('Content-Length', str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            url = urllib.parse.urlsplit(self.path)
            if url.path.startswith('/assets/'):
                name = os.path.basename(url.path)
                path = os.path.join(DATA, name)
                if name.endswith('.js') and os.path.isfile(path):
                    with open(path, 'rb') as f:
                        return self.send(200, f.read(), 'application/javascript', cache=True)
                return self.send(404, b'not found', 'text/plain')
            if url.path == '/files/brochure.pdf':
                return self.send(200, b'%PDF-1.4\n%%EOF\n', 'application/pdf')
            if url.path == '/api/product':
                pid = urllib.parse.parse_qs(url.query).get('id', [''])[0]
                if pid in PRODUCTS:
                    return self.send(200, ('规格书 %s：工作温度 -40 至 85 度。' % pid).encode(), 'text/plain; charset=utf-8')
                return self.send(404, b'no such product', 'text/plain')
            if url.path.startswith('/files/') or (args.mode == 'hash' and url.path != '/'):
                return self.send(404, b'<h1>404 Not Found</h1>')
            return self.send(200, shell)

    server = http.server.ThreadingHTTPServer(('127.0.0.1', args.port), Handler)
    print('serving on 127.0.0.1:%d' % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == '__main__':
    main()
