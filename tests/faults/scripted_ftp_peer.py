"""The scripted FTP peer of the fault tests: a small server on loopback that fails on purpose.

In process, a test switches its faults on while a screen uses it:

    with ScriptedFtpPeer(host, root, user, password) as peer:
        peer.arm("LIST", "reset")       # the next session that reaches LIST gets a reset there
        peer.listing = lambda cwd: b"..."  # LIST data of your own (hostile listings)
        peer.pwd = lambda cwd: ""            # what PWD names (a server that reads it back wrong)
        peer.rate = 1000                     # RETR sends and STOR reads 1000 bytes/s (a slow server)

It serves a real folder in the manner of a Windows server (CP1252 on the wire, MS-DOS listing lines,
active mode only: EPRT/PORT), one thread per control connection. A fault applies only to sessions
that start after it was armed and fires once; afterwards the server is healthy again.

Steps: connect, banner, USER, PASS, CWD, PWD, LIST, TYPE, SIZE, EPRT (also PORT), accept (the data
connection after 150), RETR-data, STOR-data, final (the reply after a transfer). Faults: close,
reset, garbage, stall; each is a list of the peer's steps (peer_session.py).

As a program it plays a script on one connection, for the C++ tests (tests/support/scripted_ftp_peer.h):

    scripted_ftp_peer.py --host 127.21.1.1

prints {"port": N} once it listens, reads one line {"steps": [...]} from its standard input, accepts one
client and plays the steps, printing one JSON object a line as things happen ({"command": raw line},
{"urgent": ...}, {"drained": n}, {"stranger_refused": b}, {"failure": text}, then {"finished": true}),
and keeps its connections open until its standard input ends.
"""

import json
import os
import select
import socket
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures"))

from ftp_wire import WIRE, dos_line, strip_telnet  # noqa: E402
from peer_session import POLL, STEP_LIMIT, PeerSession, StepFailed, data_address, hard_close, play  # noqa: E402

# What each fault of the in-process server plays on the control connection; the session then ends.
FAULTS = {
    "close": [{"do": "close"}],
    "reset": [{"do": "reset"}],
    "garbage": [{"do": "garbage"}, {"do": "await_hangup"}],
    "stall": [{"do": "await_hangup"}],
}


class _FaultFired(Exception):
    pass


class ScriptedFtpPeer:
    def __init__(self, host, root, user="contador", password="s3nh@", port=21):
        self.host, self.port = host, port
        self.root = os.path.realpath(str(root))
        self.user, self.password = user, password
        self.listing = None  # callable(cwd) -> bytes, replaces the LIST data
        self.pwd = None  # callable(cwd) -> the directory that PWD names instead of cwd
        self.rate = None  # bytes per second of RETR data and of STOR reading: a slow server
        self.log = []  # (session number, command line as text)
        self.fired = []  # (step, fault) of every fault that fired
        self._lock = threading.Lock()
        self._armed = None  # (step, fault, first session it applies to)
        self._sessions = 0
        self._stop = threading.Event()
        self._threads = []
        self._sockets = set()
        self._listener = None

    # ---- control from the test ----------------------------------------------------------------

    def arm(self, step, fault):
        with self._lock:
            self._armed = (step, fault, self._sessions + 1)

    def disarm(self):
        with self._lock:
            self._armed = None

    def commands(self, session=None):
        with self._lock:
            return [c for s, c in self.log if session is None or s == session]

    def __enter__(self):
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind((self.host, self.port))
        self._listener.listen(16)
        self._listener.settimeout(POLL)
        t = threading.Thread(target=self._accept_loop, daemon=True)
        t.start()
        self._threads.append(t)
        return self

    def __exit__(self, *exc):
        self._stop.set()
        with self._lock:
            for s in list(self._sockets):
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
        for t in self._threads:
            t.join(5)
        self._listener.close()
        return False

    # ---- the server -----------------------------------------------------------------------------

    def _accept_loop(self):
        while not self._stop.is_set():
            try:
                conn, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with self._lock:
                self._sessions += 1
                number = self._sessions
                self._sockets.add(conn)
            t = threading.Thread(target=self._session, args=(conn, number), daemon=True)
            t.start()
            self._threads.append(t)

    def _fault_at(self, number, step):
        with self._lock:
            if self._armed and self._armed[0] == step and number >= self._armed[2]:
                fault = self._armed[1]
                self._armed = None
                self.fired.append((step, fault))
                return fault
        return None

    def _session(self, conn, number):
        def record(kind, value):
            if kind == "command":
                with self._lock:
                    self.log.append((number, strip_telnet(value).decode(WIRE, errors="replace")))

        session = PeerSession(conn, self.host, self._stop, record)
        session.cwd, session.user = "/", None
        try:
            self._serve(session, number)
        except (_FaultFired, StepFailed, OSError):
            pass
        finally:
            with self._lock:
                self._sockets.discard(conn)
            try:
                conn.close()
            except OSError:
                pass

    def _apply(self, session, fault, before=b""):
        """Plays a fault on the control connection and ends the session."""
        if before:
            session.send(before)
        play(session, FAULTS[fault])
        raise _FaultFired()

    def _reply(self, session, text):
        session.send(text.encode(WIRE, errors="replace") + b"\r\n")

    def _serve(self, session, number):
        fault = self._fault_at(number, "connect")
        if fault:
            if fault == "garbage":
                play(session, [{"do": "foreign_banner"}, {"do": "await_hangup"}])
                raise _FaultFired()
            self._apply(session, fault)
        fault = self._fault_at(number, "banner")
        if fault:
            self._apply(session, fault, b"220-Bem-vindo\r\n" if fault in ("close", "reset") else b"")
        self._reply(session, "220 Servidor pronto")
        while True:
            raw = session.read_command()
            if raw is None:
                return
            line = strip_telnet(raw).decode(WIRE, errors="replace")
            verb, _, arg = line.partition(" ")
            verb = verb.upper()
            step = "EPRT" if verb == "PORT" else verb
            fault = self._fault_at(number, step)
            if fault:
                self._apply(session, fault)
            handler = getattr(self, "_cmd_" + verb, None)
            if handler is None:
                self._reply(session, "502 Comando não implementado.")
                continue
            if handler(session, number, arg) == "quit":
                return

    # ---- paths -----------------------------------------------------------------------------------

    def _virtual(self, session, arg):
        path = arg if arg.startswith("/") else session.cwd.rstrip("/") + "/" + arg
        parts = []
        for part in path.split("/"):
            if part in ("", "."):
                continue
            if part == "..":
                if parts:
                    parts.pop()
                continue
            parts.append(part)
        return "/" + "/".join(parts)

    def _real(self, virtual):
        return os.path.join(self.root, virtual.lstrip("/"))

    # ---- commands --------------------------------------------------------------------------------

    def _cmd_USER(self, session, number, arg):
        session.user = arg
        self._reply(session, "331 Senha, por favor.")

    def _cmd_PASS(self, session, number, arg):
        if session.user == self.user and arg == self.password:
            self._reply(session, "230 Entrou.")
        else:
            self._reply(session, "530 Login incorreto.")

    def _cmd_CWD(self, session, number, arg):
        target = self._virtual(session, arg)
        if os.path.isdir(self._real(target)):
            session.cwd = target
            self._reply(session, '250 "%s" é o diretório atual.' % target)
        else:
            self._reply(session, "550 Diretório inexistente.")

    def _cmd_PWD(self, session, number, arg):
        named = self.pwd(session.cwd) if self.pwd else session.cwd
        self._reply(session, '257 "%s" é o diretório atual.' % named.replace('"', '""'))

    def _cmd_TYPE(self, session, number, arg):
        self._reply(session, "200 Tipo definido.")

    def _cmd_NOOP(self, session, number, arg):
        self._reply(session, "200 ok")

    def _cmd_QUIT(self, session, number, arg):
        self._reply(session, "221 Até logo.")
        return "quit"

    def _cmd_ABOR(self, session, number, arg):
        self._reply(session, "225 Nenhuma transferência.")

    def _cmd_SIZE(self, session, number, arg):
        path = self._real(self._virtual(session, arg))
        if os.path.isfile(path):
            self._reply(session, "213 %d" % os.path.getsize(path))
        else:
            self._reply(session, "550 Arquivo inexistente.")

    def _cmd_DELE(self, session, number, arg):
        path = self._real(self._virtual(session, arg))
        if os.path.isfile(path):
            os.remove(path)
            self._reply(session, "250 Removido.")
        else:
            self._reply(session, "550 Arquivo inexistente.")

    def _cmd_EPRT(self, session, number, arg):
        target = data_address("EPRT", arg)
        if target is None:
            self._reply(session, "501 EPRT inválido.")
            return
        session.data_target = target
        self._reply(session, "200 ok")

    def _cmd_PORT(self, session, number, arg):
        session.data_target = data_address("PORT", arg)
        self._reply(session, "200 ok")

    def _open_data(self, session, number):
        self._reply(session, "150 Abrindo a conexão de dados.")
        fault = self._fault_at(number, "accept")
        if fault:
            self._apply(session, fault)
        return session.connect_data(timeout=10)

    def _finish(self, session, number, text="226 Transferência completa."):
        fault = self._fault_at(number, "final")
        if fault:
            self._apply(session, fault)
        self._reply(session, text)

    def _cmd_LIST(self, session, number, arg):
        cwd = session.cwd
        if self.listing is not None:
            payload = self.listing(cwd)
        else:
            payload = self._dos_listing(cwd)
        data = self._open_data(session, number)
        try:
            if callable(payload):  # a generator of chunks, for listings too big to hold
                for chunk in payload():
                    data.sendall(chunk)
            else:
                data.sendall(payload)
        except OSError:
            # The client hung up on the listing: it sends ABOR next.
            data.close()
            self._reply(session, "426 Conexão de dados encerrada.")
            return
        data.close()
        self._finish(session, number)

    def _dos_listing(self, cwd):
        folder = self._real(cwd)
        lines = []
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            lines.append(dos_line(name, os.path.isdir(path), os.path.getsize(path), os.stat(path).st_mtime))
        return "".join(lines).encode(WIRE, errors="replace")

    def _cmd_RETR(self, session, number, arg):
        path = self._real(self._virtual(session, arg))
        if not os.path.isfile(path):
            self._reply(session, "550 Arquivo inexistente.")
            return
        with open(path, "rb") as f:
            content = f.read()
        data = self._open_data(session, number)
        if self.rate:
            self._send_slowly(session, number, data, content)
            return
        half = len(content) // 2
        fault = None
        try:
            data.sendall(content[:half])
            fault = self._fault_at(number, "RETR-data")
            if fault in ("close", "reset"):
                if fault == "reset":
                    hard_close(data)
                else:
                    data.close()
                self._apply(session, fault)
            if fault == "garbage":
                play(session, [{"do": "garbage"}])
            if fault == "stall":
                self._apply(session, "stall")
            data.sendall(content[half:])
        except OSError:
            data.close()
            self._reply(session, "426 Conexão de dados encerrada.")
            return
        data.close()
        if fault == "garbage":
            self._apply(session, "stall")
        self._finish(session, number)

    def _slow_pause(self, session):
        """A tenth of a second of a slow transfer; True when a command (ABOR) arrived meanwhile."""
        if self._stop.is_set():
            raise _FaultFired()
        return bool(select.select([session.control], [], [], 0.1)[0])

    def _send_slowly(self, session, number, data, content):
        step = max(1, self.rate // 10)
        try:
            for start in range(0, len(content), step):
                data.sendall(content[start:start + step])
                if self._slow_pause(session):
                    raise OSError("aborted")
        except OSError:
            data.close()
            self._reply(session, "426 Conexão de dados encerrada.")
            return
        data.close()
        self._finish(session, number)

    def _cmd_STOR(self, session, number, arg):
        path = self._real(self._virtual(session, arg))
        data = self._open_data(session, number)
        received = 0
        fault = None
        # Written as it arrives, as a real server does: a broken upload leaves a partial file.
        with open(path, "wb") as out:
            data.settimeout(10)
            while True:
                try:
                    chunk = data.recv(max(1, self.rate // 10) if self.rate else 65536)
                except OSError:
                    chunk = b""
                if not chunk:
                    break
                out.write(chunk)
                received += len(chunk)
                if self.rate and self._slow_pause(session):
                    data.close()
                    self._reply(session, "426 Conexão de dados encerrada.")
                    return
                if received >= 65536 and fault is None:
                    fault = self._fault_at(number, "STOR-data") or ""
                    if fault in ("close", "reset", "stall"):
                        out.flush()
                        if fault == "reset":
                            hard_close(data)
                        elif fault == "close":
                            data.close()
                        self._apply(session, fault)
                    if fault == "garbage":
                        play(session, [{"do": "garbage"}])
        data.close()
        if fault == "garbage":
            self._apply(session, "stall")
        self._finish(session, number)


# ---- the program: one scripted connection for the C++ tests ------------------------------------------

def _run_script(host):
    out_lock = threading.Lock()

    def emit(kind, value):
        if isinstance(value, bytes):
            value = value.decode("latin-1")
        with out_lock:
            print(json.dumps({kind: value}), flush=True)

    stop = threading.Event()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind((host, 0))
    listener.listen(4)
    emit("port", listener.getsockname()[1])
    steps = json.loads(sys.stdin.readline() or '{"steps": []}')["steps"]

    def watch_stdin():
        sys.stdin.read()
        stop.set()

    threading.Thread(target=watch_stdin, daemon=True).start()
    try:
        deadline = time.monotonic() + STEP_LIMIT
        while not stop.is_set() and time.monotonic() < deadline and not select.select([listener], [], [], POLL)[0]:
            pass
        if stop.is_set() or not select.select([listener], [], [], 0)[0]:
            emit("failure", "no client connected")
        else:
            control, _ = listener.accept()
            session = PeerSession(control, host, stop, emit)
            try:
                play(session, steps)
            except StepFailed as e:
                emit("failure", str(e))
            except OSError as e:
                emit("failure", "peer error: %s" % e)
    finally:
        emit("finished", True)
    # Every connection stays open until the test is over, unless a step closed it.
    stop.wait()
    return 0


if __name__ == "__main__":
    import argparse

    parser = argparse.ArgumentParser(description="scripted FTP peer: plays the steps read from stdin")
    parser.add_argument("--host", required=True)
    sys.exit(_run_script(parser.parse_args().host))
