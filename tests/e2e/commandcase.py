"""What the end-to-end runs of tarn's Unix commands share: the case that runs tarn in a folder of its own,
the exit codes and a few helpers."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tarnlib  # noqa: E402

PROGRAM = os.path.abspath(os.environ["TARN_PROGRAM"])
WINDOWS = os.environ.get("TARN_WINDOWS_PROGRAM") or ""
WINE = os.environ.get("TARN_WINE") or None
LAUNCHER = os.environ.get("TARN_LAUNCHER") or None

CHECKSUM, USAGE, MISSING, DAMAGED, UNWRITABLE, DISK_FULL = 1, 2, 3, 4, 5, 6
OLD_TIME = 1400000000 * 10**9  # a time both systems keep to the second


def checksum_of(data):
    padded = data + bytes(-len(data) % 4)
    return sum(int.from_bytes(padded[i:i + 4], "little") for i in range(0, len(padded), 4)) & 0xFFFFFFFF


class CommandCase(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tarn-cmd-")
        self.rng = random.Random(self.id())

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    @staticmethod
    def environment(env_lang="C.UTF-8", languages=None):
        """The machine's environment with the locale given: LANG, and LANGUAGE only when languages is given."""
        env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANGUAGE"}
        env["LANG"] = env_lang
        if languages:
            env["LANGUAGE"] = languages
        return env

    def tarn(self, *args, stdin=None, env_lang="C.UTF-8", languages=None, limit_kib=None, cwd=None, prefix=()):
        """Runs tarn in the work folder (after prefix, a command such as taskset); returns (code, stdout bytes,
        stderr text)."""
        env = self.environment(env_lang, languages)
        command = [*prefix, PROGRAM, *args]
        if limit_kib is not None:
            command = ["bash", "-c", 'trap "" XFSZ; ulimit -f %d; exec "$@"' % limit_kib, "x", *command]
        done = subprocess.run(command, input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              cwd=cwd or self.work, env=env, timeout=120,
                              stdin=None if stdin is not None else subprocess.DEVNULL)
        return done.returncode, done.stdout, done.stderr.decode("utf-8", "replace")

    def source(self, name, size, seed=None):
        data = random.Random(seed if seed is not None else name).randbytes(size)
        path = os.path.join(self.work, name)
        tarnlib.write_file(path, data)
        return path, data

    def at(self, *parts):
        return os.path.join(self.work, *parts)

    def listing(self, folder):
        return sorted(os.listdir(self.at(folder))) if os.path.isdir(self.at(folder)) else []


def current_umask():
    mask = os.umask(0o22)
    os.umask(mask)
    return mask


def drain(master):
    """Everything a pseudo-terminal showed, once its program has ended; closes it."""
    seen = b""
    try:
        while True:
            chunk = os.read(master, 65536)
            if not chunk:
                break
            seen += chunk
    except OSError:  # Linux reports the closed far side as EIO
        pass
    os.close(master)
    return seen
