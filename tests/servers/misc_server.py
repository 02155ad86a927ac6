#!/usr/bin/python3
"""A small HTTP/1.1 server for the behaviours that httpbin lacks: exact echo of the request bytes, slow,
stalling, resetting and silent servers, huge header blocks, raw Set-Cookie lines, zero-filled bodies,
large text bodies and a Chinese UTF-8 body.
Listens on 127.0.0.1 only. Usage: misc_server.py PORT [--tls CERT KEY]"""
import socket
import socketserver
import ssl
import sys
import time
import urllib.parse

HOLD_SECONDS = 120  # longest time a stalling or silent connection is held open


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return None, None, b""
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    lines = head.split(b"\r\n")
    length = 0
    for line in lines[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip() or b"0")
    while len(rest) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        rest += chunk
    return lines, head + b"\r\n\r\n", rest


def respond(conn, body, extra_headers=(), length=None, status=b"200 OK"):
    head = [b"HTTP/1.1 " + status, b"Content-Type: application/octet-stream",
            b"Content-Length: " + str(len(body) if length is None else length).encode(),
            b"Connection: close"]
    head += list(extra_headers)
    conn.sendall(b"\r\n".join(head) + b"\r\n\r\n")
    if body:
        conn.sendall(body)


def hold(conn):
    """Keeps the connection open, sending nothing, until the client goes away or time runs out."""
    conn.settimeout(0.5)
    end = time.time() + HOLD_SECONDS
    while time.time() < end:
        try:
            if conn.recv(1) == b"":
                return
        except socket.timeout:
            continue
        except OSError:
            return


def pattern(n):
    return bytes(i % 251 for i in range(n)) if n < 1 << 16 else (bytes(range(251)) * (n // 251 + 1))[:n]


# Chinese text in UTF-8, for the option that reads a body as UTF-8.
UTF8_TEXT = "UTF-8 正文：中文测试，读取完毕。".encode("utf-8")


def text_lines(n):
    """n bytes of printable ASCII in lines of 78 characters and CR LF, like a large text document."""
    line = b"The quick brown fox jumps over the lazy dog 0123456789 abcdefghijklmnopqrstuv\r\n"
    return (line * (n // len(line) + 1))[:n]


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        conn = self.request
        try:
            lines, head, body = read_request(conn)
            if lines is None:
                return
            target = lines[0].split(b" ")[1].decode("latin-1") if len(lines[0].split(b" ")) > 1 else "/"
            url = urllib.parse.urlsplit(target)
            query = urllib.parse.parse_qs(url.query)
            num = lambda key, default: int(query.get(key, [default])[0])
            path = url.path
            if path == "/echo":
                respond(conn, head + body)
            elif path.startswith("/bytes/"):
                respond(conn, pattern(int(path[len("/bytes/"):])))
            elif path.startswith("/zeros/"):
                respond(conn, bytes(int(path[len("/zeros/"):])))
            elif path == "/slow":
                chunks, size, delay = num("chunks", 10), num("size", 4096), num("delay", 100)
                respond(conn, b"", length=chunks * size)
                for i in range(chunks):
                    time.sleep(delay / 1000)
                    conn.sendall(bytes([65 + i % 26]) * size)
            elif path == "/stall":
                after = num("after", 4096)
                respond(conn, pattern(after), length=after + 1000000)
                hold(conn)
            elif path == "/never":
                hold(conn)
            elif path == "/reset":
                after = num("after", 4096)
                respond(conn, pattern(after), length=after + 100000)
                time.sleep(0.2)
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
                conn.close()
            elif path == "/headers":
                kb = num("kb", 64)
                filler = [b"X-Filler-%05d: %s" % (i, b"f" * 100) for i in range(kb * 1024 // 118 + 1)]
                cookies = [b"Set-Cookie: " + c.encode("latin-1") for c in query.get("c", [])]
                respond(conn, b"big", extra_headers=filler + cookies)
            elif path == "/setcookies":
                cookies = [b"Set-Cookie: " + c.encode("latin-1") for c in query.get("c", [])]
                respond(conn, b"cookies", extra_headers=cookies)
            elif path == "/utf8":
                time.sleep(num("delay", 0) / 1000)
                respond(conn, UTF8_TEXT, extra_headers=[b"X-Body-Charset: utf-8"])
            elif path.startswith("/lines/"):
                respond(conn, text_lines(int(path[len("/lines/"):])))
            elif path == "/cookie-echo":
                found = [l.partition(b":")[2].strip() for l in lines[1:] if l.lower().startswith(b"cookie:")]
                respond(conn, b"; ".join(found))
            else:
                respond(conn, b"not found", status=b"404 Not Found")
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    port = int(sys.argv[1])
    server = Server(("127.0.0.1", port), Handler)
    if len(sys.argv) >= 5 and sys.argv[2] == "--tls":
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[3], sys.argv[4])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
