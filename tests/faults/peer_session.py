"""One control connection of the scripted FTP peer, and the steps that a script or a fault plays on it.

A step is a name with arguments; in a script it is a JSON object such as {"do": "reply", "text": "230 in"}
(byte strings travel as text whose characters are the bytes, U+0000 to U+00FF). STEPS maps each name to
the function that plays it on a PeerSession: it returns when the step went to plan and raises StepFailed
when it did not. A step may replace session.control or session.data by a wrapped socket (a TLS handshake
on either, say): every other step reads and writes through those two attributes only.
"""

import fcntl
import select
import socket
import ssl
import struct
import time

from ftp_wire import strip_telnet

GARBAGE = b"\x01\x02\xfe lixo sem c\xf3digo\r\n"
FOREIGN_BANNER = b"SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n"
STEP_LIMIT = 10.0  # seconds a step waits for the client
SIOCATMARK = 0x8905  # Linux ioctl: is the next byte of the stream the urgent one?
POLL = 0.2  # seconds between looks at the stop request while waiting


class StepFailed(Exception):
    pass


def hard_close(sock):
    """Close with RST."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass
    sock.close()


def data_address(verb, arg):
    """The (host, port) of "EPRT |1|127.0.0.1|4242|" or "PORT 127,0,0,1,16,146"; None when malformed."""
    try:
        if verb == "EPRT" and len(arg) > 3:
            parts = arg.split(arg[0])
            return parts[2], int(parts[3])
        if verb == "PORT":
            n = [int(x) for x in arg.split(",")]
            if len(n) == 6:
                return "%d.%d.%d.%d" % tuple(n[:4]), n[4] * 256 + n[5]
    except (IndexError, ValueError):
        pass
    return None


class PeerSession:
    """The control connection, the data connection to the client's EPRT/PORT address, and what the
    client sent. record(kind, value) hears of every "command" (the raw line), "urgent" (the line from
    its urgent byte on), "drained" (data bytes read so far) and "stranger_refused"."""

    def __init__(self, control, host, stop, record=lambda kind, value: None):
        self.control = control
        self.host = host  # the peer's own address: its data connections come from it, as a server's do
        self.stop = stop  # a threading.Event: the peer is shutting down
        self.record = record
        self.data = None
        self.data_target = None
        self.drained = 0
        self._buffer = b""
        self._offset = 0  # stream offset of _buffer[0]
        self._marks = []  # stream offsets of urgent bytes
        control.setsockopt(socket.SOL_SOCKET, socket.SO_OOBINLINE, 1)

    # ---- the control connection ------------------------------------------------------------------

    def send(self, raw):
        self.control.sendall(raw)

    def read_command(self, limit=None):
        """The next command line, raw and without CRLF; None when the client hung up, the peer stops,
        or limit seconds passed."""
        deadline = None if limit is None else time.monotonic() + limit
        while b"\r\n" not in self._buffer:
            if self.stop.is_set() or (deadline is not None and time.monotonic() > deadline):
                return None
            # Under TLS decrypted bytes may wait inside the stream, where select does not see them.
            pending = isinstance(self.control, ssl.SSLSocket) and self.control.pending()
            if not pending and not select.select([self.control], [], [], POLL)[0]:
                continue
            # A read never runs past the urgent mark, so at the mark the next byte is the urgent one.
            if self._at_mark():
                self._marks.append(self._offset + len(self._buffer))
            try:
                chunk = self.control.recv(4096)
            except OSError:
                return None
            if not chunk:
                return None
            self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\r\n", 1)
        for mark in self._marks:
            if self._offset <= mark < self._offset + len(line):
                self.record("urgent", line[mark - self._offset:])
        self._offset += len(line) + 2
        self.record("command", line)
        return line

    def _at_mark(self):
        if isinstance(self.control, ssl.SSLSocket):
            return False  # no urgent data inside TLS
        try:
            return struct.unpack("i", fcntl.ioctl(self.control.fileno(), SIOCATMARK, b"\0" * 4))[0] == 1
        except OSError:
            return False

    def await_hangup(self):
        """Reads and drops whatever comes until the client hangs up or the peer stops."""
        while not self.stop.is_set():
            if not select.select([self.control], [], [], POLL)[0]:
                continue
            try:
                if not self.control.recv(65536):
                    return
            except OSError:
                return

    # ---- the data connection ---------------------------------------------------------------------

    def connect_data(self, timeout):
        if self.data_target is None:
            raise StepFailed("no EPRT/PORT address to connect to")
        try:
            self.data = socket.create_connection(self.data_target, timeout=timeout, source_address=(self.host, 0))
        except OSError as e:
            raise StepFailed("data connect failed: %s" % e)
        return self.data

    def need_data(self, what):
        if self.data is None:
            raise StepFailed("no data connection to " + what)
        return self.data

    def read_data(self, count=None):
        """Reads the data connection to its end, or count bytes of it."""
        data = self.need_data("read")
        data.settimeout(STEP_LIMIT)
        got = 0
        while count is None or got < count:
            try:
                chunk = data.recv(65536 if count is None else min(65536, count - got))
            except OSError:
                break
            if not chunk:
                break
            got += len(chunk)
        self.drained += got
        self.record("drained", self.drained)


# ---- the steps -------------------------------------------------------------------------------------

STEPS = {}


def step(name):
    def register(function):
        STEPS[name] = function
        return function
    return register


def play(session, steps):
    """Plays steps in order: {"do": name, arguments...} each."""
    for s in steps:
        if session.stop.is_set():
            return
        arguments = {k: v for k, v in s.items() if k != "do"}
        STEPS[s["do"]](session, **arguments)


def wire(text):
    return text.encode("latin-1")


@step("send")
def _send(session, text):
    """Bytes as given."""
    try:
        session.send(wire(text))
    except OSError as e:
        raise StepFailed("send failed: %s" % e)


@step("reply")
def _reply(session, text):
    """A line, CRLF added."""
    _send(session, text + "\r\n")


@step("expect")
def _expect(session, verb):
    """The next command's verb (Telnet bytes dropped); an EPRT or PORT gives the data address."""
    line = session.read_command(STEP_LIMIT)
    if line is None:
        raise StepFailed("connection ended while expecting " + verb)
    clean = strip_telnet(line).decode("latin-1")
    got, _, arg = clean.partition(" ")
    if got.upper() != verb.upper():
        raise StepFailed('expected %s, got "%s"' % (verb, clean))
    session.data_target = data_address(got.upper(), arg) or session.data_target


@step("login")
def _login(session):
    """220, USER -> 331, PASS -> 230."""
    play(session, [{"do": "reply", "text": "220 fake server ready"}, {"do": "expect", "verb": "USER"},
                   {"do": "reply", "text": "331 password please"}, {"do": "expect", "verb": "PASS"},
                   {"do": "reply", "text": "230 in"}])


@step("garbage")
def _garbage(session):
    """Bytes that are no FTP reply at all."""
    session.send(GARBAGE)


@step("foreign_banner")
def _foreign_banner(session):
    """The greeting of a server that is no FTP server."""
    session.send(FOREIGN_BANNER)


@step("close")
def _close(session):
    """Orderly close of the control connection."""
    session.control.close()


@step("reset")
def _reset(session):
    """Close of the control connection with RST."""
    hard_close(session.control)


@step("stall")
def _stall(session):
    """Nothing more: every connection stays open until the peer stops."""
    session.stop.wait()


@step("await_hangup")
def _await_hangup(session):
    """Commands go unanswered until the client hangs up."""
    session.await_hangup()


@step("pause")
def _pause(session, ms):
    time.sleep(ms / 1000)


@step("data_connect")
def _data_connect(session):
    """To the last EPRT/PORT address, from the peer's own."""
    session.connect_data(timeout=5)


@step("passive")
def _passive(session, shown_host=None):
    """Listens on the peer's own address and answers the passive command: 229 (EPSV) by default, or
    227 (PASV) naming shown_host, an address other than the peer's (a server behind NAT)."""
    listener = socket.socket()
    listener.bind((session.host, 0))
    listener.listen(1)
    session.passive_listener = listener
    port = listener.getsockname()[1]
    if shown_host is None:
        _reply(session, "229 Entering Extended Passive Mode (|||%d|)" % port)
    else:
        _reply(session, "227 Entering Passive Mode (%s,%d,%d)" % (shown_host.replace(".", ","), port >> 8, port & 0xFF))


@step("data_accept")
def _data_accept(session):
    """The client's connection to the address of the last passive step."""
    listener = getattr(session, "passive_listener", None)
    if listener is None:
        raise StepFailed("no passive address to accept on")
    listener.settimeout(5)
    try:
        session.data, _ = listener.accept()
    except OSError as e:
        raise StepFailed("no data connection came: %s" % e)
    finally:
        listener.close()
        session.passive_listener = None


@step("stranger_connect")
def _stranger_connect(session, host, text):
    """A third party at host reaches the last EPRT/PORT address first and sends bytes; noted is whether
    the client hung up on it."""
    if session.data_target is None:
        raise StepFailed("no EPRT/PORT address to connect to")
    try:
        stranger = socket.create_connection(session.data_target, timeout=5, source_address=(host, 0))
        stranger.sendall(wire(text))
    except OSError as e:
        raise StepFailed("stranger connect failed: %s" % e)
    try:
        refused = not stranger.recv(1)
    except socket.timeout:
        refused = False
    except OSError:
        refused = True
    stranger.close()
    session.record("stranger_refused", refused)


def _pattern():
    return bytes((i * 7 + 3) & 0xFF for i in range(64 * 1024))


@step("data_send")
def _data_send(session, count):
    """A byte pattern; a client that hangs up ends it quietly."""
    data = session.need_data("send on")
    data.settimeout(5)
    block, sent = _pattern(), 0
    while sent < count and not session.stop.is_set():
        try:
            sent += data.send(block[:min(len(block), count - sent)])
        except OSError:
            return


@step("data_trickle")
def _data_trickle(session, count, every_ms):
    """One byte at a time, until a command arrives on the control connection or the client hangs up."""
    data = session.need_data("send on")
    for sent in range(count):
        if session.stop.is_set():
            return
        try:
            data.send(bytes([ord("a") + sent % 26]))
        except OSError:
            return
        if select.select([session.control], [], [], every_ms / 1000)[0]:
            return


@step("data_close")
def _data_close(session):
    if session.data is not None:
        session.data.close()
    session.data = None


@step("data_reset")
def _data_reset(session):
    if session.data is not None:
        hard_close(session.data)
    session.data = None


@step("data_drain")
def _data_drain(session):
    """Reads the data connection to its end."""
    session.read_data()


@step("data_receive")
def _data_receive(session, count):
    """Reads that many bytes (or to the end), then goes on."""
    session.read_data(count)


# ---- TLS, as the server, and its faults ----------------------------------------------------------

def _server_context(session, cert, key):
    """One server context per session, so that the data connections can resume the control's session."""
    if getattr(session, "tls_context", None) is None:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        session.tls_context = context
    return session.tls_context


@step("tls")
def _tls(session, cert, key):
    """After a 234: the TLS handshake on the control connection; every later step goes through it."""
    session.control.settimeout(STEP_LIMIT)
    try:
        session.control = _server_context(session, cert, key).wrap_socket(session.control, server_side=True)
    except (OSError, ssl.SSLError) as e:
        raise StepFailed("control TLS handshake failed: %s" % e)


@step("tls_drop")
def _tls_drop(session):
    """Reads the start of the client's handshake, then closes the connection in the middle of it."""
    session.control.settimeout(STEP_LIMIT)
    try:
        session.control.recv(5)
    except OSError as e:
        raise StepFailed("no TLS handshake began: %s" % e)
    session.control.close()


@step("data_tls")
def _data_tls(session, cert, key):
    """The TLS handshake on the data connection, as its server."""
    data = session.need_data("secure")
    data.settimeout(STEP_LIMIT)
    try:
        session.data = _server_context(session, cert, key).wrap_socket(data, server_side=True)
    except (OSError, ssl.SSLError) as e:
        raise StepFailed("data TLS handshake failed: %s" % e)
