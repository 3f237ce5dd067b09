"""Helpers for the end-to-end tests: run the native tarn or Tarn.exe under Wine, read piece sets."""
import os
import shutil
import struct
import subprocess
import tempfile

HEADER_SIZE = 652
MAGIC = b"TARN1500"


def captured(command, merge=False, **options):
    """Runs command and returns (exit code, standard output, standard error), through files rather than pipes: Wine's
    own processes outlive a program by seconds and would hold a pipe open until they end. merge puts both in one."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as errors:
        code = subprocess.run(command, stdout=out, stderr=out if merge else errors, **options).returncode
        out.seek(0)
        errors.seek(0)
        return code, out.read(), errors.read()


_prefixes_made = set()


def make_prefix(wine, env):
    """Wine makes a missing prefix on its first run: made under a file-size limit, it would be broken for good."""
    key = (wine, env.get("DISPLAY"), env.get("TARN_WINEPREFIX"), env.get("TARN_WIN32_PREFIX"))
    if key not in _prefixes_made:
        captured([wine, "cmd", "/c", "exit"], env=env, timeout=600)
        _prefixes_made.add(key)


class Runner:
    """Runs one Tarn build from a private copy, so dTarn.dat and DefSet.txt stay per test."""

    def __init__(self, program, wine=None, launcher=None):
        self.program = os.path.abspath(program)
        self.wine = wine            # tools/wine-run.sh for Tarn.exe, None for the native tarn
        self.launcher = launcher    # tarnrun.exe: reports the real exit code past Wine's 8 bits
        self.folder = tempfile.mkdtemp(prefix="tarn-e2e-")
        self.copy = os.path.join(self.folder, os.path.basename(program))
        shutil.copy2(self.program, self.copy)

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def path(self, linux_path):
        """A path as the program sees it."""
        if self.wine:
            return "Z:" + os.path.abspath(linux_path).replace("/", "\\")
        return os.path.abspath(linux_path)

    def write_settings(self, checksum=1, method=0, location=2, memory=2, description=0):
        record = struct.pack("<8I", 0, method, location, checksum, description, 0, memory, 0) + bytes(18)
        with open(os.path.join(self.folder, "dTarn.dat"), "wb") as f:
            f.write(MAGIC + record)

    def run(self, *args, stdin=subprocess.DEVNULL, timeout=120, cwd=None, file_limit_kib=None, headless=False,
            locale=None):
        """Returns (exit code, stderr text). With file_limit_kib, writes past that size come back short.
        headless runs Tarn.exe without a display, so that no window can open and wait for a user; locale names the
        system's locale Tarn.exe runs under (its code page and language), zh_CN.UTF-8 unless given."""
        if self.wine:
            command = [self.wine, self.launcher, self.path(self.copy), *args]
        else:
            command = [self.copy, *args]
        env = None
        if headless and self.wine:
            env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        if file_limit_kib is not None:
            # SIGXFSZ ignored turns the limit into a short write, as a full disk gives.
            command = ["bash", "-c", 'trap "" XFSZ; ulimit -f %d; exec "$@"' % file_limit_kib, "x", *command]
            if self.wine:
                # Tarn.exe reports a failed write in a dialog; with no display there is none to wait on.
                env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
                make_prefix(self.wine, env)
        if locale is not None:
            env = dict(env if env is not None else os.environ, TARN_WINE_LOCALE=locale)
        if self.wine:
            _, printed, err = captured(command, stdin=stdin, timeout=timeout, cwd=cwd or self.folder, env=env)
            printed, err = printed.decode("ascii", "replace"), err.decode("utf-8", "replace")
            for line in printed.splitlines():
                if line.startswith("exit="):
                    return int(line[5:]), err
            raise AssertionError("launcher printed no exit code: %r %r" % (printed, err))
        done = subprocess.run(command, stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=timeout, cwd=cwd or self.folder, env=env)
        return done.returncode, done.stderr.decode("utf-8", "replace")


def read_header(path):
    with open(path, "rb") as f:
        data = f.read(HEADER_SIZE)
    count, flag = struct.unpack_from("<IH", data, 8)
    desc = data[14:314].split(b"\0")[0]
    name = data[314:614].split(b"\0")[0]
    size, checksum, ctime, atime, mtime, attrs = struct.unpack_from("<QIQQQH", data, 614)
    return dict(magic=data[:8], count=count, flag=flag, description=desc, name=name, size=size,
                checksum=checksum, ctime=ctime, atime=atime, mtime=mtime, attrs=attrs)


def make_header(name, size, count, checksum=0, mtime=0, description=b"", flag=0, attrs=0x20, magic=MAGIC):
    head = magic + struct.pack("<IH", count, flag)
    head += description[:300].ljust(300, b"\0") + name[:300].ljust(300, b"\0")
    head += struct.pack("<QIQQQH", size, checksum, mtime, mtime, mtime, attrs)
    assert len(head) == HEADER_SIZE
    return head


def checksum_of(data):
    padded = data + b"\0" * (-len(data) % 4)
    return sum(struct.unpack("<%dI" % (len(padded) // 4), padded)) & 0xFFFFFFFF


def filetime_of_ns(ns):
    return ns // 100 + 116444736000000000


def pieces_of(folder, stem):
    return sorted(n for n in os.listdir(folder) if n.startswith(stem) and n.endswith(".trn"))


def write_file(path, data):
    with open(path, "wb") as f:
        f.write(data)


def read_file(path):
    with open(path, "rb") as f:
        return f.read()
