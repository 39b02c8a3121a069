"""Shared by the web checks: the real program started in a scratch folder
with --serve, found on the port it reports, and ended with the check.
Exit status 77 tells ctest that a check was skipped."""

import importlib.util
import os
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

SKIP = 77


def skip(why):
    print(f"SKIP: {why}")
    sys.exit(SKIP)


def fail(why):
    print(f"FAIL: {why}", file=sys.stderr)
    sys.exit(1)


def check(condition, what):
    if not condition:
        fail(what)
    print(f"ok: {what}")


def need_websockets():
    if importlib.util.find_spec("websockets") is None:
        skip("python3-websockets is not installed (tools/install-deps lists it)")


class Program:
    """The program, running in its own scratch folder, without a display."""

    def __init__(self, exe, files, serve="0", args=()):
        self.folder = tempfile.mkdtemp(prefix="scb-web.")
        for name, data in files.items():
            with open(os.path.join(self.folder, name), "wb") as f:
                f.write(data)
        runtime = os.path.join(self.folder, ".runtime")
        os.mkdir(runtime, 0o700)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime)
        line = [exe] + (["--serve", serve] if serve is not None else []) + list(args)
        with open(self.path(".stderr"), "wb") as err:
            self.proc = subprocess.Popen(line, cwd=self.folder, env=env, stdout=subprocess.PIPE, stderr=err)
        self.port = None
        if serve is not None:
            line = self._read_line(10)
            marker = "served at http://"
            if marker not in line:
                self.stop()
                fail(f"the program did not report its address: {line!r}")
            self.port = int(line.rstrip().rstrip("/").rsplit(":", 1)[1])

    def _read_line(self, seconds):
        return read_line(self.proc, seconds)

    def stderr(self):
        with open(self.path(".stderr"), "rb") as f:
            return f.read().decode("utf-8", "replace")

    def path(self, name):
        return os.path.join(self.folder, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def descriptors(self):
        """What the process's descriptors point at ("socket:[123]", ...)."""
        fd_dir = f"/proc/{self.proc.pid}/fd"
        out = []
        for fd in os.listdir(fd_dir):
            try:
                out.append(os.readlink(os.path.join(fd_dir, fd)))
            except OSError:
                pass
        return out

    def inet_sockets(self):
        """(local address, port, state) of each TCP or UDP socket it holds."""
        inodes = {d[8:-1] for d in self.descriptors() if d.startswith("socket:[")}
        found = []
        for table in ("tcp", "tcp6", "udp", "udp6"):
            with open(f"/proc/{self.proc.pid}/net/{table}") as f:
                for line in f.readlines()[1:]:
                    fields = line.split()
                    if fields[9] in inodes:
                        address, port = fields[1].split(":")
                        found.append((table, address, int(port, 16), fields[3]))
        return found

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


def read_line(proc, seconds):
    """One line of a process's standard output, or what came before the time-out."""
    end = time.monotonic() + seconds
    data = b""
    while not data.endswith(b"\n") and time.monotonic() < end:
        ready, _, _ = select.select([proc.stdout], [], [], 0.1)
        if ready:
            chunk = os.read(proc.stdout.fileno(), 1)
            if not chunk:
                break
            data += chunk
    return data.decode("utf-8", "replace")


STADIUM = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "stadium")
NCHAN = "/usr/lib/nginx/modules/ngx_nchan_module.so"


def need_engine():
    if not (shutil.which("nginx") or os.path.exists("/usr/sbin/nginx")):
        skip("nginx is not installed (tools/install-deps lists nginx-light)")
    if not os.path.exists(NCHAN):
        skip("the Nchan module is not installed (tools/install-deps lists libnginx-mod-nchan)")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Engine:
    """nginx with Nchan run by tools/stadium on a port of this machine."""

    def __init__(self, port):
        self.port = port
        self.publish_url = f"http://127.0.0.1:{port}/board/pub"
        self.start()

    def start(self):
        self.proc = subprocess.Popen([STADIUM, str(self.port)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        end = time.monotonic() + 15
        while time.monotonic() < end:
            line = read_line(self.proc, end - time.monotonic())
            if "--publish " + self.publish_url in line:
                return
            if not line:
                break
        self.stop()
        fail("tools/stadium did not report its --publish URL")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def bitmap(width, height, rgb):
    """A 24-bit uncompressed BMP of one colour."""
    stride = (width * 3 + 3) & ~3
    pixels = (bytes(reversed(rgb)) * width + b"\0" * (stride - width * 3)) * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def until(seconds, condition):
    """Polls condition every 20 ms for at most the given time."""
    end = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() >= end:
            return value
        time.sleep(0.02)


def http(port, request, timeout=5):
    """Sends raw request bytes; returns (status, headers, body) or None if closed."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(request)
        data = b""
        while True:
            try:
                chunk = s.recv(65536)
            except (ConnectionResetError, socket.timeout):
                break
            if not chunk:
                break
            data += chunk
            head, sep, body = data.partition(b"\r\n\r\n")
            if sep:
                headers = parse_headers(head)
                length = int(headers.get("content-length", "-1"))
                if length >= 0 and len(body) >= length:
                    break
    return parse_response(data)


def parse_headers(head):
    headers = {}
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.decode("latin-1").partition(":")
        headers[name.strip().lower()] = value.strip()
    return headers


def parse_response(data):
    if not data.startswith(b"HTTP/1.1 "):
        return None
    head, _, body = data.partition(b"\r\n\r\n")
    return int(head[9:12]), parse_headers(head), body


def get(port, path, extra=b""):
    return http(port, b"GET " + path.encode() + b" HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n" % port + extra + b"\r\n")
