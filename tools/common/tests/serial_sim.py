"""Serial devices for the feeds' tests under Wine.

A pty whose slave is linked as a COM port of the test prefix
($WINEPREFIX/dosdevices/comN) is a real serial port for Windows programs.
The simulators here hold its master: a GPS receiver talking NMEA from the
bundled track, and an ELM327 adapter. Holding the master (rather than the far
end of a socat pair) lets a simulator see the rate the Windows side set, so a
device at another rate is heard as garbage, as on a real line.
"""
import atexit
import collections
import fcntl
import math
import os
import random
import re
import signal
import subprocess
import sys
import termios
import threading
import time
import tty

RATES = {getattr(termios, "B%d" % r): r
         for r in (1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400)}


def wine_path(path):
    return "Z:" + os.path.realpath(path).replace("/", "\\")


# --- checks -----------------------------------------------------------------

failures = 0


def check(what, ok):
    global failures
    print(("ok: " if ok else "FAIL: ") + what, flush=True)
    if not ok:
        failures += 1
    return ok


def wait_until(predicate, seconds, step=0.05):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(step)
    return bool(predicate())


programs = []  # every Program started, for its output when a check failed
helpers = []  # other processes started by a scenario (socat), ended at exit


def _end_all():
    for p in programs:
        p.end()
    for h in helpers:
        if h.poll() is None:
            os.killpg(h.pid, signal.SIGTERM)
            h.wait()


atexit.register(_end_all)


def finish():
    if failures:
        for p in programs:
            print("--- output of", " ".join(p.args), flush=True)
            print("\n".join(text for _, text in p.lines[-40:]), flush=True)
            p.end()
    print("%d checks failed" % failures if failures else "all checks passed", flush=True)
    sys.exit(1 if failures else 0)


# --- the port ---------------------------------------------------------------

class Pty:
    """A pty pair with its slave linked at `link`; gone and back on request."""

    def __init__(self, link):
        self.link = link
        self.lock = threading.Lock()
        self.master = self.slave = None
        self.open()

    def open(self):
        with self.lock:
            master, slave = os.openpty()
            tty.setraw(slave)
            fcntl.fcntl(master, fcntl.F_SETFL, fcntl.fcntl(master, fcntl.F_GETFL) | os.O_NONBLOCK)
            if os.path.lexists(self.link):
                os.unlink(self.link)
            os.symlink(os.ttyname(slave), self.link)
            self.master, self.slave = master, slave

    def close(self):
        """The device is unplugged: the port's side hangs up, its name is gone."""
        with self.lock:
            if self.master is None:
                return
            if os.path.lexists(self.link):
                os.unlink(self.link)
            os.close(self.master)
            os.close(self.slave)
            self.master = self.slave = None

    def is_open(self):
        return self.master is not None

    def baud(self):
        with self.lock:
            if self.master is None:
                return None
            return RATES.get(termios.tcgetattr(self.master)[5])

    def write(self, data):
        with self.lock:
            if self.master is None:
                return
            try:
                os.write(self.master, data)
            except OSError:
                pass  # nobody reads and the buffer is full: the bytes are lost, as on a line

    def read(self):
        with self.lock:
            if self.master is None:
                return b""
            try:
                return os.read(self.master, 4096)
            except OSError:
                return b""


def garble(data, rng):
    """Bytes as a receiver at the wrong rate hears them."""
    return bytes(rng.randrange(256) for _ in data)


class FarEnd:
    """The simulator's end of a socat pty pair: the rate the other end set is
    not seen here."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd)

    def is_open(self):
        return True

    def baud(self):
        return None

    def write(self, data):
        try:
            os.write(self.fd, data)
        except OSError:
            pass


# --- NMEA -------------------------------------------------------------------

def sentence(body):
    total = 0
    for ch in body.encode():
        total ^= ch
    return "$%s*%02X\r\n" % (body, total)


def _angle(value, hemisphere, degree_digits):
    v = int(value[:degree_digits]) + float(value[degree_digits:]) / 60
    return -v if hemisphere in "SW" else v


class Epoch:
    """One second of the track: its sentences (bodies) and their values."""

    def __init__(self, bodies):
        self.bodies = bodies
        for b in bodies:
            f = b.split(",")
            kind = f[0][2:]
            if kind == "RMC":
                self.time = f[1][:6]
                self.date = f[9]
                self.lat = _angle(f[3], f[4], 2)
                self.lon = _angle(f[5], f[6], 3)
                self.knots = float(f[7])
                self.course = float(f[8])
            elif kind == "GGA":
                self.used = int(f[7])
                self.alt = float(f[9])
                self.geoid = float(f[11])
            elif kind == "GSA":
                self.prns = [int(p) for p in f[3:15] if p]
                self.pdop, self.hdop, self.vdop = (float(x) for x in f[15:18])
        self.sats = []
        for b in bodies:
            f = b.split(",")
            if f[0][2:] == "GSV":
                self.inview = int(f[3])
                for i in range(4, len(f) - 3, 4):
                    self.sats.append(tuple(int(x or 0) for x in f[i:i + 4]))

    def retalked(self, talker):
        """The same second from a receiver of another system (talker "GN",
        "GL", "GA", "GB", "BD" ...)."""
        return "".join(sentence(talker + b[2:]) for b in self.bodies).encode()


def load_track(path):
    epochs, bodies = [], []
    for line in open(path):
        line = line.strip()
        if not line.startswith("$"):
            continue
        body = line[1:line.index("*")]
        if body[2:5] == "RMC" and bodies:
            epochs.append(Epoch(bodies))
            bodies = []
        bodies.append(body)
    if bodies:
        epochs.append(Epoch(bodies))
    return epochs


class NmeaTalker(threading.Thread):
    """A GPS receiver at `baud` (None: whatever the port says, as over a socat
    pair): one epoch of the track every `period` seconds.
    Modes: "talk", "silent", "damaged" (noise, cut and overlong lines and
    wrong checksums between the good sentences)."""

    def __init__(self, pty, epochs, baud, talker="GP", period=0.5):
        super().__init__(daemon=True)
        self.pty, self.epochs, self.baud = pty, epochs, baud
        self.talker, self.period = talker, period
        self.mode = "talk"
        self.sent = []  # (monotonic time, epoch) sent at the right rate
        self.rates_heard = set()
        self.rng = random.Random(5)
        self.stopping = False
        self.index = 0

    def damage(self, data):
        r = self.rng
        noise = bytes(r.randrange(256) for _ in range(40))
        cut = data[:25]
        overlong = b"$GPTXT," + b"x" * 700 + b"\r\n"
        wrong = bytearray(sentence("GPRMC,000000.00,A,0000.0000,N,00000.0000,E,1.0,1.0,010101,,,A")
                          .encode())
        wrong[-3] = ord("0") if wrong[-3] != ord("0") else ord("1")
        return noise + b"\r\n" + cut + data[:data.index(b"\n") + 1] + overlong + bytes(wrong) + \
            data[data.index(b"\n") + 1:]

    def run(self):
        while not self.stopping:
            time.sleep(self.period)
            if self.mode == "silent" or not self.pty.is_open():
                continue
            epoch = self.epochs[self.index % len(self.epochs)]
            self.index += 1
            data = epoch.retalked(self.talker)
            if self.mode == "damaged":
                data = self.damage(data)
            rate = self.pty.baud()
            self.rates_heard.add(rate)
            if self.baud is not None and rate != self.baud:
                data = garble(data, self.rng)
            else:
                self.sent.append((time.monotonic(), epoch))
            self.pty.write(data)

    def epoch_at(self, hhmmss):
        for _, e in reversed(self.sent):
            if e.time == hhmmss:
                return e
        return None


# --- ELM327 -----------------------------------------------------------------

class Elm(threading.Thread):
    """An ELM327-compatible adapter at `baud` on a car in a plausible drive.
    Echo on until ATE0, line feeds until ATL0, a protocol search of `search`
    seconds on the first request, '>' after every reply. Misbehaviour: silent,
    noise between replies, NO DATA for some PIDs. `fixed` holds PIDs whose
    raw value stays put whatever the drive does (engine speed in quarter
    revolutions, say), for tests that look for that value downstream."""

    SUPPORTED = (0x04, 0x05, 0x0B, 0x0C, 0x0D, 0x0F, 0x10, 0x11)

    def __init__(self, pty, baud=38400, banner="ELM327 v1.5", search=2.0):
        super().__init__(daemon=True)
        self.pty, self.baud, self.banner, self.search = pty, baud, banner, search
        self.silent = False
        self.noise = False
        self.no_data = set()
        self.fixed = {}  # pid -> raw value
        self.commands = []  # (monotonic time, command)
        self.values = collections.defaultdict(list)  # pid -> [(time, value)]
        self.rng = random.Random(11)
        self.stopping = False
        self.start_time = time.monotonic()
        self.defaults()
        self.inbuf = b""
        self.queue = []  # (due, bytes)
        self.bus_until = 0
        self.last = ""

    def defaults(self):
        self.echo = self.linefeeds = self.spaces = True
        self.searched = False

    def drive(self, t):
        speed = max(0, int(55 + 35 * math.sin(t / 7)))
        rpm4 = int((800 + speed * 32) * 4)
        maf = int((2.5 + speed * 0.12) * 100)
        return {0x04: 90, 0x05: 0x7B, 0x0B: 45, 0x0C: rpm4, 0x0D: speed, 0x0F: 0x41,
                0x10: maf, 0x11: 40}

    def size(self, pid):
        return 2 if pid in (0x0C, 0x10) else 1

    def hex(self, values):
        text = ("%02X " if self.spaces else "%02X") * len(values) % tuple(values)
        return text.strip()

    def reply(self, lines, delay):
        eol = "\r\n" if self.linefeeds else "\r"
        text = "".join(line + eol for line in lines) + eol + ">"
        self.queue.append((time.monotonic() + delay, text.encode()))

    def answer(self, cmd, now):
        self.commands.append((now, cmd))
        if cmd == "ATZ":
            self.defaults()
            self.queue.append((now + 0.5, ("\r\r%s\r\r>" % self.banner).encode()))
        elif cmd == "ATI":
            self.reply([self.banner], 0.01)
        elif cmd in ("ATE0", "ATE1", "ATL0", "ATL1", "ATS0", "ATS1", "ATH0", "ATH1", "ATSP0"):
            on = cmd.endswith("1")
            if cmd.startswith("ATE"):
                self.echo = on
            elif cmd.startswith("ATL"):
                self.linefeeds = on
            elif cmd.startswith("ATS") and cmd != "ATSP0":
                self.spaces = on
            self.reply(["OK"], 0.01)
        elif re.fullmatch(r"01[0-9A-F]{2}", cmd):
            pid = int(cmd[2:], 16)
            delay = 0.03
            if not self.searched:
                self.queue.append((now + 0.01, b"SEARCHING...\r"))
                delay += self.search
                self.searched = True
            if pid in (0x00, 0x20):
                bits = 0
                for p in self.SUPPORTED if pid == 0 else ():
                    bits |= 1 << (32 - p)
                lines = [self.hex([0x41, pid] + list(bits.to_bytes(4, "big")))]
            elif pid in self.SUPPORTED and pid not in self.no_data:
                value = self.fixed.get(pid, self.drive(now - self.start_time)[pid])
                self.values[pid].append((now, value))
                lines = [self.hex([0x41, pid] + list(value.to_bytes(self.size(pid), "big")))]
            else:
                lines = ["NO DATA"]
            self.reply(lines, delay)
            self.bus_until = now + delay
        else:
            self.reply(["?"], 0.01)

    def take(self, data, now):
        right = self.pty.baud() == self.baud
        for ch in data:
            if not right:
                self.inbuf += b"x"  # heard at the wrong rate: other characters
                continue
            if now < self.bus_until:
                # A character while it talks to the car stops it.
                self.queue = [q for q in self.queue if q[0] <= now]
                self.queue.append((now + 0.005, b"STOPPED\r\r>"))
                self.bus_until = 0
            if self.echo:
                self.queue.append((now, bytes([ch])))
            if ch != 13:
                self.inbuf += bytes([ch])
                continue
            cmd = self.inbuf.decode("latin-1").replace(" ", "").upper()
            self.inbuf = b""
            if not cmd:
                cmd = self.last  # a bare CR repeats the last command
            self.last = cmd
            self.answer(cmd, now)

    def run(self):
        next_noise = time.monotonic() + 0.7
        while not self.stopping:
            time.sleep(0.005)
            if not self.pty.is_open():
                # Unplugged: powered off; it starts afresh when plugged in.
                self.queue, self.inbuf = [], b""
                self.defaults()
                continue
            data = self.pty.read()
            now = time.monotonic()
            if self.silent:
                self.queue = []
                continue
            if data:
                self.take(data, now)
            due = b"".join(q[1] for q in self.queue if q[0] <= now)
            self.queue = [q for q in self.queue if q[0] > now]
            if self.noise and now >= next_noise:
                due += bytes(self.rng.randrange(1, 256) for _ in range(12)).replace(b">", b"")
                next_noise = now + 0.7
            if due:
                if self.pty.baud() != self.baud:
                    due = garble(due, self.rng)
                self.pty.write(due)

    def polled(self, command, since=0.0):
        return [t for t, c in self.commands if c == command and t >= since]


# --- Windows programs ---------------------------------------------------------

class Program:
    """A Windows program under Wine with a time limit, its output collected
    line by line as it comes."""

    def __init__(self, exe, args, limit):
        wine = os.environ.get("WINE64", "/usr/lib/wine/wine64")
        self.proc = subprocess.Popen(["timeout", "-k", "5", str(limit), wine, exe] + args,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL, start_new_session=True)
        self.args = [os.path.basename(exe)] + args
        programs.append(self)
        self.lines = []  # (monotonic time, text)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.proc.stdout:
            self.lines.append((time.monotonic(), raw.decode("latin-1").rstrip("\r\n")))

    def wait(self, seconds):
        try:
            code = self.proc.wait(seconds)
        except subprocess.TimeoutExpired:
            return None
        self.reader.join(5)
        return code

    def end(self):
        """Ends the program and the time limit around it (their own group)."""
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()

    def output(self):
        return "\n".join(text for _, text in self.lines)

    def said(self, text, since=0.0):
        return any(text in line for t, line in self.lines if t >= since)


class Watch(Program):
    """record_watch.exe: the records as a reader sees them."""

    def __init__(self, bin_dir, seconds, request_file=None):
        args = ["--seconds", str(seconds), "--every", "50"]
        if request_file:
            args += ["--request-file", wine_path(request_file)]
        super().__init__(os.path.join(bin_dir, "record_watch.exe"), args, seconds + 30)

    def records(self, kind, since=0.0):
        out = []
        for t, line in list(self.lines):
            if t >= since and line.startswith(kind + " "):
                out.append((t, dict(kv.split("=", 1) for kv in line.split()[1:] if "=" in kv)))
        return out

    def last(self, kind):
        records = self.records(kind)
        return records[-1][1] if records else None
