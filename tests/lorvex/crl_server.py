#!/usr/bin/env python3
"""Loopback HTTP server for the CRL download tests.

    crl_server.py DIR PORT_FILE

Listens on 127.0.0.1 on a free port, writes the port number to PORT_FILE and
serves the files of DIR by their base name, uncached. "/error500.crl"
answers 500 and a missing file 404, each with an HTML error page.
"""
import http.server
import os
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    directory = "."

    def do_GET(self):
        name = os.path.basename(self.path.split("?", 1)[0])
        path = os.path.join(self.directory, name)
        if name == "error500.crl":
            self.answer(500, b"<html><body>Internal Server Error</body></html>", "text/html")
        elif name and os.path.isfile(path):
            with open(path, "rb") as f:
                self.answer(200, f.read(), "application/pkix-crl")
        else:
            self.answer(404, b"<html><body>Not Found</body></html>", "text/html")

    def answer(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store, no-cache")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    Handler.directory = sys.argv[1]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    with open(sys.argv[2] + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(sys.argv[2] + ".tmp", sys.argv[2])
    server.serve_forever()


if __name__ == "__main__":
    main()
