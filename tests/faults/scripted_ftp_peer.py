"""A small FTP server on loopback whose faults are switched on by the test while a screen uses it.

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
reset, garbage, stall.
"""

import os
import select
import socket
import struct
import threading
import time

WIRE = "cp1252"
GARBAGE = b"\x01\x02\xfe lixo sem c\xf3digo\r\n"


def _strip_telnet(raw):
    out = bytearray()
    i = 0
    while i < len(raw):
        b = raw[i]
        if b == 0xFF and i + 1 < len(raw):
            if raw[i + 1] == 0xFF:
                out.append(0xFF)
            i += 2
            continue
        if b in (0xFF, 0xF2):
            i += 1
            continue
        out.append(b)
        i += 1
    return bytes(out)


def _hard_close(sock):
    """Close with RST."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass
    sock.close()


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
        self._listener.settimeout(0.2)
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
        state = {"cwd": "/", "data_to": None, "buffer": b"", "user": None}
        try:
            self._serve(conn, number, state)
        except (_FaultFired, OSError):
            pass
        finally:
            with self._lock:
                self._sockets.discard(conn)
            try:
                conn.close()
            except OSError:
                pass

    def _apply(self, conn, fault, before=b""):
        """Plays a fault on the control connection and ends the session."""
        if before:
            conn.sendall(before)
        if fault == "close":
            conn.shutdown(socket.SHUT_RDWR)
            conn.close()
        elif fault == "reset":
            _hard_close(conn)
        elif fault == "garbage":
            conn.sendall(GARBAGE)
            self._wait_for_hangup(conn)
        elif fault == "stall":
            self._wait_for_hangup(conn)
        raise _FaultFired()

    def _wait_for_hangup(self, conn):
        conn.settimeout(0.2)
        while not self._stop.is_set():
            try:
                if not conn.recv(65536):
                    return
            except socket.timeout:
                continue
            except OSError:
                return

    def _reply(self, conn, text):
        conn.sendall(text.encode(WIRE, errors="replace") + b"\r\n")

    def _read_command(self, conn, state):
        conn.settimeout(0.2)
        while b"\r\n" not in state["buffer"]:
            if self._stop.is_set():
                raise _FaultFired()
            try:
                chunk = conn.recv(4096)
            except socket.timeout:
                continue
            if not chunk:
                return None
            state["buffer"] += chunk
        line, state["buffer"] = state["buffer"].split(b"\r\n", 1)
        return _strip_telnet(line)

    def _serve(self, conn, number, state):
        fault = self._fault_at(number, "connect")
        if fault:
            if fault == "garbage":
                conn.sendall(b"SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n")
                self._wait_for_hangup(conn)
                raise _FaultFired()
            self._apply(conn, fault)
        fault = self._fault_at(number, "banner")
        if fault:
            self._apply(conn, fault, b"220-Bem-vindo\r\n" if fault in ("close", "reset") else b"")
        self._reply(conn, "220 Servidor pronto")
        while True:
            raw = self._read_command(conn, state)
            if raw is None:
                return
            line = raw.decode(WIRE, errors="replace")
            with self._lock:
                self.log.append((number, line))
            verb, _, arg = line.partition(" ")
            verb = verb.upper()
            step = "EPRT" if verb == "PORT" else verb
            fault = self._fault_at(number, step)
            if fault:
                self._apply(conn, fault)
            handler = getattr(self, "_cmd_" + verb, None)
            if handler is None:
                self._reply(conn, "502 Comando não implementado.")
                continue
            if handler(conn, number, state, arg) == "quit":
                return

    # ---- paths -----------------------------------------------------------------------------------

    def _virtual(self, state, arg):
        path = arg if arg.startswith("/") else state["cwd"].rstrip("/") + "/" + arg
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

    def _cmd_USER(self, conn, number, state, arg):
        state["user"] = arg
        self._reply(conn, "331 Senha, por favor.")

    def _cmd_PASS(self, conn, number, state, arg):
        if state["user"] == self.user and arg == self.password:
            self._reply(conn, "230 Entrou.")
        else:
            self._reply(conn, "530 Login incorreto.")

    def _cmd_CWD(self, conn, number, state, arg):
        target = self._virtual(state, arg)
        if os.path.isdir(self._real(target)):
            state["cwd"] = target
            self._reply(conn, '250 "%s" é o diretório atual.' % target)
        else:
            self._reply(conn, "550 Diretório inexistente.")

    def _cmd_PWD(self, conn, number, state, arg):
        named = self.pwd(state["cwd"]) if self.pwd else state["cwd"]
        self._reply(conn, '257 "%s" é o diretório atual.' % named.replace('"', '""'))

    def _cmd_TYPE(self, conn, number, state, arg):
        self._reply(conn, "200 Tipo definido.")

    def _cmd_NOOP(self, conn, number, state, arg):
        self._reply(conn, "200 ok")

    def _cmd_QUIT(self, conn, number, state, arg):
        self._reply(conn, "221 Até logo.")
        return "quit"

    def _cmd_ABOR(self, conn, number, state, arg):
        self._reply(conn, "225 Nenhuma transferência.")

    def _cmd_SIZE(self, conn, number, state, arg):
        path = self._real(self._virtual(state, arg))
        if os.path.isfile(path):
            self._reply(conn, "213 %d" % os.path.getsize(path))
        else:
            self._reply(conn, "550 Arquivo inexistente.")

    def _cmd_DELE(self, conn, number, state, arg):
        path = self._real(self._virtual(state, arg))
        if os.path.isfile(path):
            os.remove(path)
            self._reply(conn, "250 Removido.")
        else:
            self._reply(conn, "550 Arquivo inexistente.")

    def _cmd_EPRT(self, conn, number, state, arg):
        parts = arg.split(arg[:1]) if arg else []
        if len(parts) < 4:
            self._reply(conn, "501 EPRT inválido.")
            return
        state["data_to"] = (parts[2], int(parts[3]))
        self._reply(conn, "200 ok")

    def _cmd_PORT(self, conn, number, state, arg):
        n = [int(x) for x in arg.split(",")]
        state["data_to"] = ("%d.%d.%d.%d" % tuple(n[:4]), n[4] * 256 + n[5])
        self._reply(conn, "200 ok")

    def _open_data(self, conn, number, state):
        self._reply(conn, "150 Abrindo a conexão de dados.")
        fault = self._fault_at(number, "accept")
        if fault:
            self._apply(conn, fault)
        # From the server's own address, as a server on a network does (not 127.0.0.1).
        data = socket.create_connection(state["data_to"], timeout=10, source_address=(self.host, 0))
        return data

    def _finish(self, conn, number, text="226 Transferência completa."):
        fault = self._fault_at(number, "final")
        if fault:
            self._apply(conn, fault)
        self._reply(conn, text)

    def _cmd_LIST(self, conn, number, state, arg):
        cwd = state["cwd"]
        if self.listing is not None:
            payload = self.listing(cwd)
        else:
            payload = self._dos_listing(cwd)
        data = self._open_data(conn, number, state)
        try:
            if callable(payload):  # a generator of chunks, for listings too big to hold
                for chunk in payload():
                    data.sendall(chunk)
            else:
                data.sendall(payload)
        except OSError:
            # The client hung up on the listing: it sends ABOR next.
            data.close()
            self._reply(conn, "426 Conexão de dados encerrada.")
            return
        data.close()
        self._finish(conn, number)

    def _dos_listing(self, cwd):
        lines = []
        folder = self._real(cwd)
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            stamp = time.strftime("%m-%d-%y  %I:%M%p", time.localtime(os.stat(path).st_mtime))
            if os.path.isdir(path):
                lines.append("%s       <DIR>          %s" % (stamp, name))
            else:
                lines.append("%s %20d %s" % (stamp, os.path.getsize(path), name))
        return ("\r\n".join(lines) + ("\r\n" if lines else "")).encode(WIRE, errors="replace")

    def _cmd_RETR(self, conn, number, state, arg):
        path = self._real(self._virtual(state, arg))
        if not os.path.isfile(path):
            self._reply(conn, "550 Arquivo inexistente.")
            return
        with open(path, "rb") as f:
            content = f.read()
        data = self._open_data(conn, number, state)
        if self.rate:
            self._send_slowly(conn, number, data, content)
            return
        half = len(content) // 2
        fault = None
        try:
            data.sendall(content[:half])
            fault = self._fault_at(number, "RETR-data")
            if fault in ("close", "reset"):
                if fault == "reset":
                    _hard_close(data)
                else:
                    data.close()
                self._apply(conn, fault)
            if fault == "garbage":
                conn.sendall(GARBAGE)
            if fault == "stall":
                self._apply(conn, "stall")
            data.sendall(content[half:])
        except OSError:
            data.close()
            self._reply(conn, "426 Conexão de dados encerrada.")
            return
        data.close()
        if fault == "garbage":
            self._wait_for_hangup(conn)
            raise _FaultFired()
        self._finish(conn, number)

    def _slow_pause(self, conn):
        """A tenth of a second of a slow transfer; True when a command (ABOR) arrived meanwhile."""
        if self._stop.is_set():
            raise _FaultFired()
        return bool(select.select([conn], [], [], 0.1)[0])

    def _send_slowly(self, conn, number, data, content):
        step = max(1, self.rate // 10)
        try:
            for start in range(0, len(content), step):
                data.sendall(content[start:start + step])
                if self._slow_pause(conn):
                    raise OSError("aborted")
        except OSError:
            data.close()
            self._reply(conn, "426 Conexão de dados encerrada.")
            return
        data.close()
        self._finish(conn, number)

    def _cmd_STOR(self, conn, number, state, arg):
        path = self._real(self._virtual(state, arg))
        data = self._open_data(conn, number, state)
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
                if self.rate and self._slow_pause(conn):
                    data.close()
                    self._reply(conn, "426 Conexão de dados encerrada.")
                    return
                if received >= 65536 and fault is None:
                    fault = self._fault_at(number, "STOR-data") or ""
                    if fault in ("close", "reset", "stall"):
                        out.flush()
                        if fault == "reset":
                            _hard_close(data)
                        elif fault == "close":
                            data.close()
                        self._apply(conn, fault)
                    if fault == "garbage":
                        conn.sendall(GARBAGE)
        data.close()
        if fault == "garbage":
            self._wait_for_hangup(conn)
            raise _FaultFired()
        self._finish(conn, number)
