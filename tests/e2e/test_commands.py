"""End-to-end runs of tarn's Unix commands: split, join, info and verify, their options and exit codes."""
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time
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


class SplitAndJoin(CommandCase):
    def test_defaults_roundtrip_with_name_times_and_checksum(self):
        path, data = self.source("report.doc", 2500000)
        old = 1500000000 * 10**9
        os.utime(path, ns=(old, old))
        code, _, err = self.tarn("split", "report.doc")
        self.assertEqual(code, 0, err)
        # The e-mail preset evened out: 3 pieces of 814 KiB in ./report.
        self.assertEqual(self.listing("report"), ["repo0001.trn", "repo0002.trn", "repo0003.trn"])
        head = tarnlib.read_header(self.at("report", "repo0001.trn"))
        self.assertEqual((head["name"], head["size"], head["count"]), (b"report.doc", 2500000, 3))
        self.assertEqual(head["checksum"], checksum_of(data))
        self.assertEqual(os.path.getsize(self.at("report", "repo0002.trn")), 8 + 814 * 1024)
        os.makedirs(self.at("j"))
        code, _, err = self.tarn("join", self.at("report", "repo0002.trn"), cwd=self.at("j"))
        self.assertEqual(code, 0, err)
        self.assertIn("report.doc: rebuilt from 3 piece(s) in .", err)  # the name came from the set: it is told
        rebuilt = self.at("j", "report.doc")
        self.assertEqual(tarnlib.read_file(rebuilt), data)
        self.assertEqual(os.stat(rebuilt).st_mtime_ns, old)

    def test_a_private_file_gives_private_pieces_and_is_rebuilt_private(self):
        # As gzip keeps a file's mode: pieces of a file only its owner may read are readable by nobody else, and
        # so is the file they rebuild (whether it is new or replaces one).
        path, _ = self.source("id.key", 30000)
        # Neither an execute bit nor read-only is passed on to pieces, nor from pieces read-only as on a CD. A
        # read-only file is rebuilt read-only all the same: the set records it.
        for given, pieces, rebuilt in ((0o700, 0o600, 0o600), (0o640, 0o640, 0o640), (0o444, 0o644, 0o444),
                                       (0o400, 0o600, 0o400)):
            os.chmod(path, given)
            code, _, err = self.tarn("split", "id.key", "-s", "10K", "--force", "-q")
            self.assertEqual(code, 0, err)
            for name in self.listing("id"):
                self.assertEqual(os.stat(self.at("id", name)).st_mode & 0o777, pieces & ~current_umask(), name)
                os.chmod(self.at("id", name), given & 0o555)
            code, _, err = self.tarn("join", self.at("id", "id.k0001.trn"), "-o", "j", "--force", "-q")
            self.assertEqual(code, 0, err)
            self.assertEqual(os.stat(self.at("j", "id.key")).st_mode & 0o777, rebuilt & ~current_umask(), oct(given))

    def test_sizes_counts_and_presets(self):
        self.source("big.bin", 3 * 1048576 + 5)
        cases = [(["-s", "1M"], 4), (["-s", "1024"], 4), (["--size=2M"], 2), (["-s1536K"], 3), (["-n", "7"], 7),
                 (["-s", "email"], 4), (["-s", "电邮"], 4), (["-s", "Zip 100"], 1), (["-s", "dvd"], 1),
                 (["-s", "1G"], 1), (["-s", "2"], 2254)]  # 2 KiB files: 1,396 bytes of data beside the header
        for options, count in cases:
            shutil.rmtree(self.at("big"), ignore_errors=True)
            code, _, err = self.tarn("split", "big.bin", "-q", *options)
            self.assertEqual(code, 0, (options, err))
            self.assertEqual(len(self.listing("big")), count, options)
            self.assertEqual(tarnlib.read_header(self.at("big", "big.0001.trn"))["count"], count)
        code, _, err = self.tarn("join", self.at("big", "big.0001.trn"), "-o", "j", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "big.bin")), tarnlib.read_file(self.at("big.bin")))
        self.source("small.bin", 10000)
        for count, made in (("7", 7), ("4", 4), ("100", 100), ("9999", 5000)):
            shutil.rmtree(self.at("small"), ignore_errors=True)
            code, _, err = self.tarn("split", "small.bin", "-n", count)
            self.assertEqual((code, len(self.listing("small"))), (0, made), err)
            self.assertEqual("pieces, not the" in err, made != int(count), err)

    def test_a_file_without_extension_goes_to_name_pieces(self):
        # ./NAME would be the file itself, or another file: the pieces go to ./NAME.pieces instead.
        _, data = self.source("backup", 300000)
        code, _, err = self.tarn("split", "backup", "-s", "100K")
        self.assertEqual(code, 0, err)
        self.assertIn("./backup.pieces", err)
        self.assertEqual(self.listing("backup.pieces"), ["back0001.trn", "back0002.trn", "back0003.trn"])
        self.assertEqual(self.tarn("join", self.at("backup.pieces", "back0002.trn"), "-o", "j", "-q")[0], 0)
        self.assertEqual(tarnlib.read_file(self.at("j", "backup")), data)
        self.source("notes.txt", 1000)
        tarnlib.write_file(self.at("notes"), b"another file")
        self.assertEqual(self.tarn("split", "notes.txt", "-q")[0], 0)
        self.assertEqual(self.listing("notes.pieces"), ["note0001.trn"])
        # Less its extension "...x" would be the parent folder and "..x" this one: they go by the whole name.
        os.makedirs(self.at("in"))
        for name in ("...x", "..x"):
            self.source(os.path.join("in", name), 1000)
            self.assertEqual(self.tarn("split", name, "-q", cwd=self.at("in"))[0], 0)
        self.assertEqual(self.listing("in"), ["...x", "...x.pieces", "..x", "..x.pieces"])
        self.assertEqual(self.listing("in/...x.pieces"), ["...x0001.trn"])
        os.makedirs(self.at("list"))
        self.source("list.txt", 1000)
        self.assertEqual(self.tarn("split", "list.txt", "-q")[0], 0)
        self.assertEqual(self.listing("list"), ["list0001.trn"], "an existing folder is used as before")

    def test_a_windows_name_too_long_for_linux_is_cut_to_fit(self):
        # 140 Chinese characters are a legal name on Windows and 424 bytes of UTF-8 here, over the 255 Linux takes.
        data = b"long name" * 1000
        name = "中" * 140 + ".txt"
        tarnlib.write_file(self.at("long0001.trn"),
                           tarnlib.make_header(name.encode("gbk"), len(data), 1, checksum_of(data)) + data)
        code, _, err = self.tarn("join", "long0001.trn", "-o", "j")
        self.assertEqual(code, 0, err)
        fitted = "中" * 83 + ".txt"
        self.assertEqual(self.listing("j"), [fitted])
        self.assertEqual(tarnlib.read_file(self.at("j", fitted)), data)
        self.assertIn("too long for this system (424 bytes)", err)
        code, out, err = self.tarn("join", "long0001.trn", "-o", "-")
        self.assertEqual((code, out, err), (0, data, ""), "standard output needs no name")

    def test_usage_errors_write_nothing(self):
        self.source("u.bin", 20000)
        for args in (["split", "u.bin", "-s", "0"], ["split", "u.bin", "-s", "lots"], ["split", "u.bin", "-s", "5T"],
                     ["split", "u.bin", "-n", "0"], ["split", "u.bin", "-n", "10000"],
                     ["split", "u.bin", "-s", "1", "-n", "2"], ["split"], ["split", "u.bin", "v.bin"],
                     ["split", "u.bin", "--json"], ["split", "u.bin", "--bogus"], ["join", "u.bin", "-s", "5"],
                     ["split", "u.bin", "-o"], ["split", "-", "-s", "5"], ["split", "-", "--name", "x", "-n", "2"],
                     ["info"], ["verify", "--script", "x0001.trn"], ["split", "u.bin", "-o", "-"],
                     ["-q", "split", "u.bin"], ["-s", "5K", "split", "u.bin"]):
            code, out, err = self.tarn(*args)
            self.assertEqual(code, USAGE, (args, err))
            self.assertIn("tarn: ", err)
            self.assertEqual(out, b"")
        # A size that would need more than 9999 pieces names the least size that works.
        self.source("many.bin", 10000 * 1024 + 1)
        code, _, err = self.tarn("split", "many.bin", "-s", "1")
        self.assertEqual(code, USAGE)
        self.assertIn("-s 2K", err)
        self.assertEqual(sorted(os.listdir(self.work)), ["many.bin", "u.bin"])

    def test_existing_output_needs_force_and_the_source_is_never_replaced(self):
        _, data = self.source("keep.bin", 5000)
        self.assertEqual(self.tarn("split", "keep.bin", "-q")[0], 0)
        before = tarnlib.read_file(self.at("keep", "keep0001.trn"))
        code, _, err = self.tarn("split", "keep.bin", "-s", "2")
        self.assertEqual(code, UNWRITABLE, err)
        self.assertIn("--force", err)
        self.assertEqual(self.listing("keep"), ["keep0001.trn"])
        self.assertEqual(tarnlib.read_file(self.at("keep", "keep0001.trn")), before)
        code, _, err = self.tarn("split", "keep.bin", "-s", "2", "--force", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(len(self.listing("keep")), 4)  # 2 KiB files: 1,396 bytes of data beside the header
        # The join's file exists: refused, then replaced with --force; a symlink there is replaced, not followed.
        os.makedirs(self.at("j"))
        tarnlib.write_file(self.at("victim"), b"victim")
        os.symlink(self.at("victim"), self.at("j", "keep.bin"))
        code, _, err = self.tarn("join", self.at("keep", "keep0001.trn"), "-o", "j")
        self.assertEqual(code, UNWRITABLE, err)
        code, _, err = self.tarn("join", self.at("keep", "keep0001.trn"), "-o", "j", "--force", "-q")
        self.assertEqual(code, 0, err)
        self.assertFalse(os.path.islink(self.at("j", "keep.bin")))
        self.assertEqual(tarnlib.read_file(self.at("j", "keep.bin")), data)
        self.assertEqual(tarnlib.read_file(self.at("victim")), b"victim")
        # A set whose stored name is one of its own pieces is never joined over it.
        folder = self.at("self")
        os.makedirs(folder)
        piece = tarnlib.make_header(b"selo0001.trn", 3, 1) + b"abc"
        tarnlib.write_file(os.path.join(folder, "selo0001.trn"), piece)
        code, _, err = self.tarn("join", os.path.join(folder, "selo0001.trn"), "-o", folder, "--force")
        self.assertEqual(code, UNWRITABLE, err)
        self.assertEqual(tarnlib.read_file(os.path.join(folder, "selo0001.trn")), piece)

    def test_script_set_and_joins_of_sets_without_header(self):
        _, data = self.source("movie.avi", 10000)
        code, _, err = self.tarn("split", "movie.avi", "-s", "4K", "--script", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.listing("movie"), ["UnTarn.bat", "movi0001.trn", "movi0002.trn", "movi0003.trn"])
        self.assertEqual(tarnlib.read_file(self.at("movie", "UnTarn.bat")),
                         b'Copy /b movi0001.trn+movi0002.trn+movi0003.trn "movie.avi"')
        self.assertEqual(b"".join(tarnlib.read_file(self.at("movie", "movi%04d.trn" % i)) for i in (1, 2, 3)), data)
        code, _, err = self.tarn("join", self.at("movie", "movi0001.trn"), "-o", "j")
        self.assertEqual(code, DAMAGED, err)
        self.assertIn("-y", err)
        self.assertFalse(os.path.exists(self.at("j")))
        code, _, err = self.tarn("join", self.at("movie", "movi0003.trn"), "-o", "j", "-y")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "movie.avi")), data)  # the script names the file
        # The script counts the pieces too: without the last one the join is refused, not cut short.
        os.rename(self.at("movie", "movi0003.trn"), self.at("kept"))
        code, _, err = self.tarn("join", self.at("movie", "movi0001.trn"), "-o", "j2", "-y")
        self.assertEqual(code, MISSING, err)
        self.assertFalse(os.path.exists(self.at("j2")))
        os.rename(self.at("kept"), self.at("movie", "movi0003.trn"))
        # And all but the last are as long as the first: a short one is found by verify.
        second = tarnlib.read_file(self.at("movie", "movi0002.trn"))
        tarnlib.write_file(self.at("movie", "movi0002.trn"), second[:100])
        code, out, _ = self.tarn("verify", self.at("movie", "movi0001.trn"))
        self.assertEqual(code, DAMAGED, out)
        self.assertIn(b"piece 2 has 100 bytes, the set needs 4096", out)
        tarnlib.write_file(self.at("movie", "movi0002.trn"), second)
        # Without it, the pieces up to the highest number there are the set, named by their stem.
        os.remove(self.at("movie", "UnTarn.bat"))
        code, _, err = self.tarn("join", self.at("movie", "movi0003.trn"), "-o", "j3", "-y")
        self.assertEqual(code, 0, err)  # ended at its last piece: a success
        self.assertEqual(tarnlib.read_file(self.at("j3", "movi")), data)
        # One missing before another is missing, not the end of the set (piece 1 alone was joined as a success).
        os.rename(self.at("movie", "movi0002.trn"), self.at("kept"))
        code, _, err = self.tarn("join", self.at("movie", "movi0001.trn"), "-o", "j6", "-y")
        self.assertEqual(code, MISSING, err)
        self.assertIn("piece 2 is missing", err)
        self.assertFalse(os.path.exists(self.at("j6")))
        os.rename(self.at("kept"), self.at("movie", "movi0002.trn"))
        # From Chinese Windows: the script in code page 936, the pieces' names come here in UTF-8.
        os.makedirs(self.at("win"))
        for number in (1, 2):
            tarnlib.write_file(self.at("win", "报告%04d.trn" % number), data[(number - 1) * 5000:number * 5000])
        names = b"+".join(("报告%04d.trn" % number).encode("gbk") for number in (1, 2))
        tarnlib.write_file(self.at("win", "UnTarn.bat"), b"Copy /b " + names + b' "' + "报告书.avi".encode("gbk") + b'"')
        code, out, _ = self.tarn("info", self.at("win", "报告0002.trn"), "--json")
        self.assertEqual((code, json.loads(out)["script"], json.loads(out)["name"]), (0, True, "报告书.avi"))
        code, _, err = self.tarn("join", self.at("win", "报告0001.trn"), "-o", "j4", "-y")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j4", "报告书.avi")), data)
        # Cut here, the script is in code page 936 throughout, as cmd on Chinese Windows reads it.
        _, report = self.source("报告.doc", 10000)
        self.assertEqual(self.tarn("split", "报告.doc", "-s", "4K", "--script", "-q")[0], 0)
        names = b"+".join(("报告%04d.trn" % number).encode("gbk") for number in (1, 2, 3))
        self.assertEqual(tarnlib.read_file(self.at("报告", "UnTarn.bat")),
                         b"Copy /b " + names + b' "' + "报告.doc".encode("gbk") + b'"')
        code, _, err = self.tarn("join", self.at("报告", "报告0002.trn"), "-o", "j5", "-y")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j5", "报告.doc")), report)
        # Another version's set joins with -y and is refused without it.
        _, other = self.source("o.bin", 3000)
        os.makedirs(self.at("old"))
        tarnlib.write_file(self.at("old", "oXXX0001.trn"),
                           tarnlib.make_header(b"o.bin", 3000, 1, magic=b"TARN1400") + other)
        self.assertEqual(self.tarn("join", self.at("old", "oXXX0001.trn"), "-o", "j")[0], DAMAGED)
        code, _, err = self.tarn("join", self.at("old", "oXXX0001.trn"), "-o", "j", "-y", "--no-checksum")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "o.bin")), other)

    def test_key_description_and_no_checksum(self):
        for size in (4100, 4500, 250000):  # one piece under a KiB boundary, one over, several
            _, data = self.source("sec.bin", size, seed=size)
            shutil.rmtree(self.at("sec"), ignore_errors=True)
            shutil.rmtree(self.at("j"), ignore_errors=True)
            code, _, err = self.tarn("split", "sec.bin", "-s", "100K", "--key", "s3cret", "-d", "for Wang", "-q")
            self.assertEqual(code, 0, err)
            first = self.at("sec", "sec.0001.trn")
            self.assertNotEqual(tarnlib.read_file(first)[652:652 + 4], data[:4])
            self.assertEqual(self.tarn("verify", first, "-q")[0], CHECKSUM)
            code, out, _ = self.tarn("verify", first)
            self.assertIn(b"--key", out)
            self.assertEqual(self.tarn("verify", first, "--key", "s3cret")[0], 0)
            code, _, err = self.tarn("join", first, "-o", "j", "--key", "s3cret")
            self.assertEqual(code, 0, err)
            self.assertIn("for Wang", err)
            self.assertEqual(tarnlib.read_file(self.at("j", "sec.bin")), data, size)
            code, _, err = self.tarn("join", first, "-o", "j", "--key", "wrong", "--force", "-q")
            self.assertEqual(code, CHECKSUM, err)
            self.assertTrue(os.path.exists(self.at("j", "sec.bin")))  # kept, as Tarn.exe keeps it
            self.assertNotIn("--key", err)
            code, _, err = self.tarn("join", first, "-o", "j", "--force")
            self.assertEqual(code, CHECKSUM, err)
            self.assertIn("needs --key", err)
        # A Chinese key is the code page 936 bytes Tarn.exe takes when it is typed there: the same set.
        self.assertEqual(self.tarn("split", "sec.bin", "-s", "100K", "-o", "k936", "-q", "--key", "密钥")[0], 0)
        done = subprocess.run(["bash", "-c", 'exec "$0" split sec.bin -s 100K -o kraw -q --key "$(printf "$KEY")"',
                               PROGRAM], cwd=self.work, env=dict(os.environ, KEY="\\xc3\\xdc\\xd4\\xbf"))
        self.assertEqual(done.returncode, 0)
        for name in self.listing("k936")[1:]:
            self.assertEqual(tarnlib.read_file(self.at("k936", name)), tarnlib.read_file(self.at("kraw", name)), name)
        self.assertEqual(self.tarn("verify", self.at("k936", "sec.0001.trn"), "--key", "密钥", "-q")[0], 0)
        _, data = self.source("plain.bin", 70000)
        code, _, err = self.tarn("split", "plain.bin", "-s", "20K", "--no-checksum", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_header(self.at("plain", "plai0001.trn"))["checksum"], 0)
        code, out, _ = self.tarn("verify", self.at("plain", "plai0002.trn"))
        self.assertEqual(code, 0)
        self.assertIn(b"no checksum recorded", out)
        code, _, err = self.tarn("join", self.at("plain", "plai0001.trn"), "-o", "k")
        self.assertEqual(code, 0, err)
        self.assertIn("no checksum", err)
        self.assertEqual(tarnlib.read_file(self.at("k", "plain.bin")), data)

    def test_standard_input_and_standard_output(self):
        data = random.Random(5).randbytes(300000)
        for size, key in (("64K", None), ("1M", None), ("1M", "k"), ("64K", "k")):
            shutil.rmtree(self.at("dump"), ignore_errors=True)
            args = ["split", "-", "--name", "dump.sql", "-s", size, "-q"] + (["--key", key] if key else [])
            code, _, err = self.tarn(*args, stdin=data)
            self.assertEqual(code, 0, err)
            head = tarnlib.read_header(self.at("dump", "dump0001.trn"))
            self.assertEqual((head["name"], head["size"], head["checksum"]), (b"dump.sql", 300000, checksum_of(data)))
            self.assertEqual(head["count"], len(self.listing("dump")))
            self.assertEqual(head["count"], 5 if size == "64K" else 1)
            keyed = ["--key", key] if key else []
            self.assertEqual(self.tarn("verify", self.at("dump", "dump0001.trn"), "-q", *keyed)[0], 0)
            code, out, err = self.tarn("join", self.at("dump", "dump0003.trn" if size == "64K" else "dump0001.trn"),
                                       "-o", "-", *keyed)
            self.assertEqual(code, 0, err)
            self.assertEqual(out, data)
        # Input that ends on a piece boundary makes no empty last piece: 1 KiB files hold 372 bytes beside the header.
        shutil.rmtree(self.at("dump"))
        self.assertEqual(self.tarn("split", "-", "--name", "dump", "-s", "1K", "-q", stdin=bytes(4 * 372))[0], 0)
        self.assertEqual(len(self.listing("dump")), 4)
        # Piped through a real pipe of unknown length.
        pipe = subprocess.run("head -c 200000 /dev/zero | %s split - --name z.bin -s 50K -q" % PROGRAM, shell=True,
                              cwd=self.work)
        self.assertEqual(pipe.returncode, 0)
        self.assertEqual(self.listing("z"), ["z.bi0001.trn", "z.bi0002.trn", "z.bi0003.trn", "z.bi0004.trn"])

    def test_sparse_source_gives_sparse_pieces_and_joins_to_a_sparse_file_with_the_same_bytes(self):
        path = self.at("disk.img")
        with open(path, "wb") as f:
            f.truncate(64 << 20)
            f.seek(20 << 20)
            f.write(b"data in the middle" * 1000)
            f.seek((40 << 20) + 5)
            f.write(b"more")
        data = tarnlib.read_file(path)
        for extra in ([], ["--no-checksum"], ["--key", "pw"]):
            shutil.rmtree(self.at("disk"), ignore_errors=True)
            shutil.rmtree(self.at("j"), ignore_errors=True)
            code, _, err = self.tarn("split", "disk.img", "-s", "10M", "-q", *extra)
            self.assertEqual(code, 0, err)
            names = self.listing("disk")
            self.assertEqual(len(names), 7)
            stored = sum(os.stat(self.at("disk", n)).st_blocks * 512 for n in names)
            self.assertLess(stored, 4 << 20, extra)  # the holes were not written out
            self.assertEqual(tarnlib.read_header(self.at("disk", names[0]))["checksum"],
                             0 if extra == ["--no-checksum"] else checksum_of(data))
            key = extra if extra[:1] == ["--key"] else []
            # Without a checksum to check, one processor is left the kernel's copy, which would fill the holes.
            one = ["taskset", "-c", "0"] if extra == ["--no-checksum"] else []
            code, _, err = self.tarn("join", self.at("disk", names[-1]), "-o", "j", "-q", *key, prefix=one)
            self.assertEqual(code, 0, err)
            self.assertEqual(tarnlib.read_file(self.at("j", "disk.img")), data, extra)
            self.assertLess(os.stat(self.at("j", "disk.img")).st_blocks * 512, 12 << 20, extra)
            # Verify skips the holes too; the key's span at each piece's start is still read and deciphered.
            self.assertEqual(self.tarn("verify", self.at("disk", names[0]), "-q", *key)[0], 0, extra)

    def test_chinese_names_are_stored_as_windows_stores_them(self):
        # A set from Chinese Windows stores its name in code page 936: joined here it gets its UTF-8 name back.
        data = b"wang" * 1000
        os.makedirs(self.at("win"))
        tarnlib.write_file(self.at("win", "abcd0001.trn"),
                           tarnlib.make_header("报告.doc".encode("gbk"), len(data), 1, description="给王".encode("gbk"), flag=1)
                           + data)
        code, out, _ = self.tarn("info", self.at("win", "abcd0001.trn"), "--json")
        self.assertEqual((code, json.loads(out)["name"], json.loads(out)["description"]), (0, "报告.doc", "给王"))
        code, _, err = self.tarn("join", self.at("win", "abcd0001.trn"), "-o", "j")
        self.assertEqual(code, 0, err)
        self.assertIn("给王", err)
        self.assertEqual(tarnlib.read_file(self.at("j", "报告.doc")), data)
        # Cut here, the name is stored as Tarn.exe would store it, and the piece names stay whole characters.
        _, data = self.source("报告书.txt", 5000)
        code, _, err = self.tarn("split", "报告书.txt", "-q", "-d", "描述")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.listing("报告书"), ["报告0001.trn"])  # the stem's four bytes in code page 936
        head = tarnlib.read_header(self.at("报告书", "报告0001.trn"))
        self.assertEqual((head["name"], head["description"]), ("报告书.txt".encode("gbk"), "描述".encode("gbk")))
        code, _, err = self.tarn("join", self.at("报告书", "报告0001.trn"), "-o", "k")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("k", "报告书.txt")), data)
        # Earlier builds stored a name code page 936 cannot hold in UTF-8, with nothing after it: read as UTF-8.
        tarnlib.write_file(self.at("win", "XXX.0001.trn"),
                           tarnlib.make_header("한국.doc".encode(), len(data), 1) + data)
        code, out, _ = self.tarn("info", self.at("win", "XXX.0001.trn"), "--json")
        self.assertEqual((code, json.loads(out)["name"]), (0, "한국.doc"))

    def test_names_code_page_936_lacks_come_back_whole(self):
        # The field holds what Tarn.exe and earlier builds read, code page 936 with '_' for what it lacks; after its
        # terminator a marked UTF-8 copy, which tarn reads first. A name that code page holds is stored as always.
        names = {"한국어 보고서.doc": b"___ ___.doc", "naïve.txt": b"na_ve.txt",
                 "ü€😀.bin": "ü".encode("gbk") + b"\x80_.bin",  # € is 0x80 in code page 936
                 "한" * 80 + ".txt": b"_" * 41 + b".txt",  # 244 bytes of copy: the field gives way
                 "报告书.doc": "报告书.doc".encode("gbk")}
        for number, (name, field) in enumerate(names.items()):
            with self.subTest(name=name):
                _, data = self.source(name, 25000)
                description = "설명 %d" % number
                code, _, err = self.tarn("split", name, "-s", "10K", "-o", "s%d" % number, "-d", description, "-q")
                self.assertEqual(code, 0, err)
                first = self.at("s%d" % number, next(n for n in self.listing("s%d" % number) if "0001" in n))
                head = tarnlib.read_header(first)
                self.assertEqual((head["name"], head["description"]), (field, b"__ %d" % number))
                code, out, err = self.tarn("info", first, "--json")
                self.assertEqual((code, json.loads(out)["name"], json.loads(out)["description"]),
                                 (0, name, description), err)
                code, _, err = self.tarn("join", first, "-o", "j%d" % number)
                self.assertEqual(code, 0, err)
                self.assertEqual(tarnlib.read_file(self.at("j%d" % number, name)), data)
        # A copy of more than 288 bytes leaves the field no room: refused, as a name of 300 bytes is.
        code, _, err = self.tarn("split", "-", "--name", "한" * 97 + ".txt", "-o", "long", stdin=b"data")
        self.assertEqual((code, self.listing("long")), (USAGE, []), err)

    def test_two_splits_side_by_side(self):
        self.source("a.bin", 3000000)
        self.source("b.bin", 3000000)
        runs = [subprocess.Popen([PROGRAM, "split", name, "-s", "100K", "-q"], cwd=self.work,
                                 stderr=subprocess.PIPE) for name in ("a.bin", "b.bin")]
        for run in runs:
            _, err = run.communicate(timeout=120)
            self.assertEqual(run.returncode, 0, err)
        for stem in ("a", "b"):
            self.assertEqual(len(self.listing(stem)), 30)
            self.assertEqual(self.tarn("verify", self.at(stem, stem + ".bi0001.trn"), "-q")[0], 0)

    def test_one_processor_and_two_make_the_same_set_and_file(self):
        # With two processors runs of pieces are cut and joined at once; held to one (taskset), the pieces go in
        # order and the kernel copies where no byte changes. Either way the same bytes.
        _, data = self.source("two.bin", 3000001)
        one = ["taskset", "-c", "0"]
        for extra in ([], ["--no-checksum"], ["--key", "pw"]):
            for label, prefix in (("one", one), ("all", [])):
                shutil.rmtree(self.at("set-" + label), ignore_errors=True)
                code, _, err = self.tarn("split", "two.bin", "-s", "64K", "-o", "set-" + label, "-q", *extra,
                                         prefix=prefix)
                self.assertEqual(code, 0, err)
            names = self.listing("set-one")
            self.assertEqual(len(names), 47)  # 64 KiB files, the first with its header: 64,884 bytes of data
            self.assertEqual(names, self.listing("set-all"))
            for name in names:
                a, b = tarnlib.read_file(self.at("set-one", name)), tarnlib.read_file(self.at("set-all", name))
                if name == names[0]:  # the header's times are those of the source when each split began
                    a, b = a[652:], b[652:]
                self.assertEqual(a, b, (extra, name))
            heads = [tarnlib.read_header(self.at(folder, names[0])) for folder in ("set-one", "set-all")]
            for field in ("name", "size", "count", "checksum"):
                self.assertEqual(heads[0][field], heads[1][field], field)
            key = extra if extra[:1] == ["--key"] else []
            for label, prefix in (("one", one), ("all", [])):
                shutil.rmtree(self.at("j"), ignore_errors=True)
                code, _, err = self.tarn("join", self.at("set-" + label, names[0]), "-o", "j", "-q", *key,
                                         prefix=one if prefix == [] else [])
                self.assertEqual(code, 0, err)
                self.assertEqual(tarnlib.read_file(self.at("j", "two.bin")), data, (extra, label))
                self.assertEqual(self.tarn("verify", self.at("set-" + label, names[5]), "-q", *key, prefix=prefix)[0], 0)
            # A wrong key is found on either side.
            if key:
                for prefix in (one, []):
                    self.assertEqual(self.tarn("verify", self.at("set-all", names[0]), "-q", prefix=prefix)[0], CHECKSUM)

    def test_pieces_named_in_another_case_are_found(self):
        # Sets copied from Windows may come as SOUR0002.TRN, or with the case of a few names changed.
        _, data = self.source("case.bin", 300000)
        self.assertEqual(self.tarn("split", "case.bin", "-s", "64K", "-q")[0], 0)
        for name in self.listing("case"):
            os.rename(self.at("case", name), self.at("case", name.upper()))
        os.rename(self.at("case", "CASE0003.TRN"), self.at("case", "CASE0003.Trn"))
        self.assertEqual(self.tarn("verify", self.at("case", "CASE0002.TRN"), "-q")[0], 0)
        code, _, err = self.tarn("join", self.at("case", "CASE0001.TRN"), "-o", "j", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "case.bin")), data)
        os.remove(self.at("case", "CASE0004.TRN"))
        code, out, _ = self.tarn("verify", self.at("case", "CASE0001.TRN"))
        self.assertEqual(code, MISSING)
        self.assertIn(b"piece 4 is missing", out)

    def test_force_never_replaces_a_folder_and_keeps_the_old_set(self):
        self.source("f.bin", 500000)
        self.assertEqual(self.tarn("split", "f.bin", "-s", "100K", "-q")[0], 0)
        os.remove(self.at("f", "f.bi0004.trn"))
        os.mkdir(self.at("f", "f.bi0004.trn"))
        old = {n: tarnlib.read_file(self.at("f", n)) for n in self.listing("f") if n != "f.bi0004.trn"}
        self.source("f.bin", 500000, seed="another")
        code, _, err = self.tarn("split", "f.bin", "-s", "100K", "--force")
        self.assertEqual(code, UNWRITABLE, err)
        self.assertIn("f.bi0004.trn' is a folder", err)
        self.assertTrue(os.path.isdir(self.at("f", "f.bi0004.trn")))
        self.assertEqual({n: tarnlib.read_file(self.at("f", n)) for n in self.listing("f") if n != "f.bi0004.trn"}, old)
        # A folder where the join's file goes is named as one, with or without --force.
        self.source("g.bin", 1000)
        self.assertEqual(self.tarn("split", "g.bin", "-q")[0], 0)
        os.makedirs(self.at("j", "g.bin"))
        for extra in ([], ["--force"]):
            code, _, err = self.tarn("join", self.at("g", "g.bi0001.trn"), "-o", "j", *extra)
            self.assertEqual(code, UNWRITABLE, err)
            self.assertIn("'j/g.bin' is a folder", err)

    def interrupt_once(self, args, ready):
        """Runs tarn in short steps until ready() holds, then interrupts it there; returns its exit code."""
        def stopped(pid):
            with open("/proc/%d/stat" % pid) as f:
                return f.read().rsplit(")", 1)[1].split()[0] in "tTZ"
        run = subprocess.Popen([PROGRAM, *args], cwd=self.work)
        while run.poll() is None:
            os.kill(run.pid, signal.SIGSTOP)
            while not stopped(run.pid):
                time.sleep(0.0001)
            if ready():
                os.kill(run.pid, signal.SIGINT)
                os.kill(run.pid, signal.SIGCONT)
                break
            os.kill(run.pid, signal.SIGCONT)
            time.sleep(0.0005)
        return run.wait(timeout=60)

    def test_an_interrupted_join_leaves_no_file(self):
        # The rebuilt file has its full length from the start: one left behind would look whole.
        _, data = self.source("big.bin", 48 << 20)
        self.assertEqual(self.tarn("split", "big.bin", "-s", "1M", "-q", "--no-checksum")[0], 0)
        target = self.at("j", "k", "big.bin")
        join = ["join", self.at("big", "big.0001.trn"), "-o", "j/k", "-q"]
        removed = False
        for _ in range(5):
            shutil.rmtree(self.at("j"), ignore_errors=True)
            writing = lambda: os.path.isdir(self.at("j", "k")) and len(self.listing("j/k")) > 0
            if self.interrupt_once(join, writing) != -signal.SIGINT:
                continue  # it finished first
            if os.path.exists(target):  # stopped while it was finishing: it must be whole then
                self.assertEqual(tarnlib.read_file(target), data)
                continue
            removed = True
            break
        self.assertTrue(removed)
        self.assertFalse(os.path.exists(self.at("j")), "the folders made for the file go with it")
        os.makedirs(self.at("j", "k"))
        # Replacing a file: interrupted while the new one is being written, the old one is still there, alone.
        interrupted = False
        for _ in range(5):
            tarnlib.write_file(target, b"old")
            code = self.interrupt_once(join + ["--force"], lambda: len(self.listing("j/k")) > 1)
            if code == 0:
                self.assertEqual(self.listing("j/k"), ["big.bin"])
                continue
            self.assertEqual(code, -signal.SIGINT)
            if tarnlib.read_file(target) == data:  # stopped after the rename
                continue
            self.assertEqual(self.listing("j/k"), ["big.bin"])
            self.assertEqual(tarnlib.read_file(target), b"old")
            interrupted = True
            break
        self.assertTrue(interrupted)

    def test_an_interrupted_split_undoes_itself(self):
        self.source("big.bin", 48 << 20, seed=1)
        self.assertEqual(self.tarn("split", "big.bin", "-s", "1M", "-q")[0], 0)
        old = {name: tarnlib.read_file(self.at("big", name)) for name in self.listing("big")}
        self.source("big.bin", 48 << 20, seed=2)
        # With --force, stopped once the old pieces are set aside: they are all back, and nothing else is there.
        interrupted = False
        for _ in range(5):
            code = self.interrupt_once(["split", "big.bin", "-s", "1M", "-q", "--force"],
                                       lambda: any(n.startswith(".tarn-") for n in self.listing("big")))
            if code == 0:  # it finished first: start again from the old set
                for name, data in old.items():
                    tarnlib.write_file(self.at("big", name), data)
                continue
            self.assertEqual(code, -signal.SIGINT)
            self.assertEqual(self.listing("big"), sorted(old))
            for name, data in old.items():
                self.assertEqual(tarnlib.read_file(self.at("big", name)), data, name)
            interrupted = True
            break
        self.assertTrue(interrupted)
        # A new set stopped half way is removed with its folder.
        code = self.interrupt_once(["split", "big.bin", "-s", "1M", "-q", "-o", "fresh"],
                                   lambda: len(self.listing("fresh")) >= 2)
        self.assertIn(code, (0, -signal.SIGINT))
        if code != 0:
            self.assertFalse(os.path.exists(self.at("fresh")))
        # Standard input that has stopped coming: the stop does not wait for more.
        run = subprocess.Popen([PROGRAM, "split", "-", "--name", "s.bin", "-s", "1M", "-q", "-o", "stream"],
                               cwd=self.work, stdin=subprocess.PIPE)
        run.stdin.write(bytes(3 << 20))
        run.stdin.flush()
        deadline = time.time() + 30
        while len(self.listing("stream")) < 3 and time.time() < deadline:
            time.sleep(0.01)
        run.send_signal(signal.SIGINT)
        self.assertEqual(run.wait(timeout=10), -signal.SIGINT)
        run.stdin.close()
        self.assertFalse(os.path.exists(self.at("stream")))

    def test_force_replaces_only_once_the_new_files_are_whole(self):
        # A split or join that fails with --force leaves what it would have replaced as it was.
        self.source("w.bin", 800000)
        self.assertEqual(self.tarn("split", "w.bin", "-s", "100K", "-q", "--script")[0], 0)
        contents = lambda folder: {n: tarnlib.read_file(self.at(folder, n)) for n in self.listing(folder)}
        old = contents("w")
        _, data = self.source("w.bin", 800000, seed="another")
        code, _, err = self.tarn("split", "w.bin", "-s", "300K", "--force", "--script", limit_kib=250)
        self.assertEqual(code, DISK_FULL, err)
        self.assertEqual(contents("w"), old)  # nothing else left there either
        code, _, err = self.tarn("split", "-", "--name", "w.bin", "-s", "300K", "--force", stdin=data, limit_kib=250)
        self.assertEqual(code, DISK_FULL, err)
        self.assertEqual(contents("w"), old)
        os.makedirs(self.at("j"))
        tarnlib.write_file(self.at("j", "w.bin"), b"kept")
        code, _, err = self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", "j", "--force", "-y", limit_kib=250)
        self.assertEqual(code, DISK_FULL, err)
        self.assertEqual(contents("j"), {"w.bin": b"kept"})
        # Done, the old files are gone and the new ones are in their place.
        code, _, err = self.tarn("split", "-", "--name", "w.bin", "-s", "300K", "--force", "-q", stdin=data)
        self.assertEqual(code, 0, err)
        # The old set's later pieces went with it, and so did its script, which would copy the new pieces
        # (headers and all) into a damaged file.
        self.assertEqual(self.listing("w"), ["w.bi%04d.trn" % i for i in range(1, 4)])
        # The new set's: as much data as the first piece of 300 KiB holds beside the header, and the mark.
        self.assertEqual(len(tarnlib.read_file(self.at("w", "w.bi0002.trn"))), 300 * 1024 - 652 + 8)
        code, _, err = self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", "j", "--force", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(contents("j"), {"w.bin": data})

    def test_force_removes_only_the_later_pieces_the_replaced_set_counts(self):
        self.source("r.bin", 100000)
        self.assertEqual(self.tarn("split", "r.bin", "-s", "10K", "-q")[0], 0)  # 11 pieces: 9,588 bytes of data each
        code, _, err = self.tarn("split", "r.bin", "-s", "30K", "--force")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.listing("r"), ["r.bi%04d.trn" % i for i in range(1, 5)])
        self.assertIn("removed 7 later piece(s) of the set it replaced", err)
        self.assertEqual(self.tarn("verify", self.at("r", "r.bi0001.trn"), "-q")[0], 0)
        # Pieces no first piece there counts (the second disk of someone's set) are not the split's to remove.
        for index in (7, 8):
            tarnlib.write_file(self.at("r", "r.bi%04d.trn" % index), b"kept %d" % index)
        os.remove(self.at("r", "r.bi0001.trn"))
        self.assertEqual(self.tarn("split", "r.bin", "-s", "50K", "--force", "-q")[0], 0)
        self.assertEqual(self.listing("r"), ["r.bi%04d.trn" % i for i in (1, 2, 3, 4, 7, 8)])
        # Nor the file being split, though the old set counts it.
        self.assertEqual(self.tarn("split", "r.bin", "-s", "10K", "--force", "-q")[0], 0)
        source = tarnlib.read_file(self.at("r", "r.bi0009.trn"))
        code, _, err = self.tarn("split", self.at("r", "r.bi0009.trn"), "-o", "r", "-s", "5K", "--force", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.listing("r"), ["r.bi%04d.trn" % i for i in (1, 2, 3, 9)])
        self.assertEqual(tarnlib.read_file(self.at("r", "r.bi0009.trn")), source)
        # Pieces without header are counted as a join reads them: up to the first one missing.
        for index in range(1, 6):
            tarnlib.write_file(self.at("r", "r.bi%04d.trn" % index), b"raw %d" % index)
        self.assertEqual(self.tarn("split", "r.bin", "-s", "50K", "--force", "-q")[0], 0)
        self.assertEqual(self.listing("r"), ["r.bi%04d.trn" % i for i in (1, 2, 9)])
        # A script set's UnTarn.bat counts its pieces, past a gap, and goes with them.
        for index in (1, 2, 3, 5, 6):
            tarnlib.write_file(self.at("r", "r.bi%04d.trn" % index), b"raw %d" % index)
        names = "+".join("r.bi%04d.trn" % i for i in range(1, 7))
        tarnlib.write_file(self.at("r", "UnTarn.bat"), b'Copy /b %s "r.bin"' % names.encode())
        code, _, err = self.tarn("split", "r.bin", "-s", "50K", "--force")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.listing("r"), ["r.bi%04d.trn" % i for i in (1, 2, 9)])
        self.assertIn("removed the UnTarn.bat of the set it replaced", err)

    def test_write_failures_have_their_own_codes(self):
        self.source("w.bin", 400000)
        code, _, err = self.tarn("split", "w.bin", "-s", "100K", "-o", "made/w", limit_kib=50)
        self.assertEqual(code, DISK_FULL, err)
        self.assertFalse(os.path.exists(self.at("made")))  # no half-made set, nor the folders made for it
        tarnlib.write_file(self.at("afile"), b"x")
        code, _, err = self.tarn("split", "w.bin", "-o", self.at("afile", "sub"))
        self.assertEqual(code, UNWRITABLE, err)
        self.assertEqual(self.tarn("split", "w.bin", "-s", "100K", "-q")[0], 0)
        code, _, err = self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", "j/k", limit_kib=150)
        self.assertEqual(code, DISK_FULL, err)
        self.assertFalse(os.path.exists(self.at("j")), "neither the file nor the folders made for it are left")
        os.makedirs(self.at("had"))
        code, _, err = self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", "had/new/er", limit_kib=150)
        self.assertEqual(code, DISK_FULL, err)
        self.assertEqual(self.listing("had"), [], "a folder that was there stays")
        self.assertEqual(self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", "had/new/er", "-q")[0], 0)
        self.assertEqual(self.listing("had/new/er"), ["w.bin"])
        code, _, err = self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", self.at("afile", "x"))
        self.assertEqual(code, UNWRITABLE, err)
        for command in (["split", "w.bin"], ["join", self.at("w", "w.bi0001.trn")]):
            code, _, err = self.tarn(*command, "-o", "afile")
            self.assertEqual(code, UNWRITABLE, err)
            self.assertIn("'afile': Not a directory", err, "a file in the way is no folder that 'exists'")
        code, _, err = self.tarn("split", "nosuch.bin")
        self.assertEqual(code, MISSING, err)
        # A file written to while it is cut: the set holds what it was, and the split says so and fails.
        _, data = self.source("grows.bin", 64 << 20)
        appending = subprocess.Popen(["bash", "-c", "while :; do printf x >> grows.bin; sleep 0.001; done"],
                                     cwd=self.work)
        try:
            code, _, err = self.tarn("split", "grows.bin", "-s", "1M", "-q", prefix=("taskset", "-c", "0"))
        finally:
            appending.kill()
            appending.wait()
        self.assertEqual(code, 8, err)
        self.assertIn("'grows.bin' grew while it was cut", err)
        code, _, err = self.tarn("join", self.at("grows", "grow0001.trn"), "-o", "g")
        self.assertEqual(code, 0, err)
        joined = tarnlib.read_file(self.at("g", "grows.bin"))
        self.assertEqual(joined[:len(data)], data[:len(joined)])
        # Reports to a full disk fail out loud too.
        with open("/dev/full", "wb") as full:
            for command in (["info", "w/w.bi0001.trn", "--json"], ["verify", "w/w.bi0001.trn"], ["--help"]):
                done = subprocess.run([PROGRAM, *command], stdout=full, stderr=subprocess.PIPE, cwd=self.work,
                                      env=self.environment())
                self.assertEqual(done.returncode, DISK_FULL, command)
                self.assertIn(b"cannot write standard output: No space left on device", done.stderr)


class InfoAndVerify(CommandCase):
    def make_set(self, size=250000, piece="100K", extra=()):
        _, data = self.source("set.bin", size)
        code, _, err = self.tarn("split", "set.bin", "-s", piece, "-q", "-d", "描述 text", *extra)
        self.assertEqual(code, 0, err)
        return data

    def piece(self, n):
        return self.at("set", "set.%04d.trn" % n)

    def info(self, n=1):
        code, out, err = self.tarn("info", self.piece(n), "--json")
        self.assertEqual(code, 0, err)
        return json.loads(out)

    def verify(self, *extra):
        code, out, err = self.tarn("verify", self.piece(1), "--json", *extra)
        return code, json.loads(out)

    def test_complete_set(self):
        self.make_set()
        report = self.info(3)
        self.assertEqual((report["name"], report["size"], report["pieces"], report["kind"]), ("set.bin", 250000, 3, "header"))
        self.assertEqual(report["piece_size"], 82 * 1024)  # 244 KiB evened out over 3 pieces
        self.assertEqual(report["description"], "描述 text")
        self.assertEqual((report["present"], report["missing"], report["wrong"]), ([1, 2, 3], [], []))
        self.assertIsInstance(report["checksum"], int)
        self.assertTrue(report["modified"].endswith("UTC"))
        code, out, err = self.tarn("info", self.piece(2))
        self.assertEqual(code, 0, err)
        for label in (b"name:", b"set.bin", b"250,000 bytes", b"pieces:", b"checksum:", b"modified:", b"missing:"):
            self.assertIn(label, out)
        code, out, _ = self.tarn("info", self.piece(2), env_lang="zh_CN.UTF-8")
        self.assertIn("名称:".encode(), out)
        code, result = self.verify()
        self.assertEqual(code, 0)
        self.assertTrue(result["ok"])
        self.assertTrue(result["checksum"]["match"])
        code, out, _ = self.tarn("verify", self.piece(2))
        self.assertEqual((code, out.splitlines()[-1]), (0, b"OK: 3 pieces, 250,000 bytes"))
        self.source("one.bin", 10)
        self.assertEqual(self.tarn("split", "one.bin", "-q")[0], 0)
        code, out, _ = self.tarn("verify", self.at("one", "one.0001.trn"))
        self.assertEqual((code, out.splitlines()[-1]), (0, b"OK: 1 piece, 10 bytes"))

    def test_short_missing_and_corrupted_pieces(self):
        data = self.make_set()
        second = tarnlib.read_file(self.piece(2))
        tarnlib.write_file(self.piece(2), second[:-10])
        report = self.info()
        self.assertEqual(report["wrong"][0]["piece"], 2)
        self.assertEqual(report["wrong"][0]["expected"], len(second))
        code, result = self.verify()
        self.assertEqual(code, DAMAGED)
        self.assertEqual(result["problems"][0]["problem"], "length")
        code, _, err = self.tarn("join", self.piece(1), "-o", "j")
        self.assertEqual(code, DAMAGED, err)
        self.assertIn("piece 2", err)
        self.assertFalse(os.path.exists(self.at("j")))  # nothing written

        os.remove(self.piece(2))
        self.assertEqual(self.info()["missing"], [2])
        code, result = self.verify()
        self.assertEqual(code, MISSING)
        self.assertEqual(result["problems"], [{"piece": 2, "problem": "missing", "path": self.piece(2)}])
        code, out, _ = self.tarn("verify", self.piece(3))
        self.assertIn(b"piece 2 is missing", out)
        self.assertIn(b"FAILED", out)
        code, _, err = self.tarn("join", self.piece(3), "-o", "j")
        self.assertEqual(code, MISSING, err)
        self.assertFalse(os.path.exists(self.at("j")))

        # Same length, one byte changed: only the checksum can tell.
        flipped = bytearray(second)
        flipped[5000] ^= 0x40
        tarnlib.write_file(self.piece(2), bytes(flipped))
        code, result = self.verify()
        self.assertEqual(code, CHECKSUM)
        self.assertFalse(result["checksum"]["match"])
        code, _, err = self.tarn("join", self.piece(1), "-o", "j", "-q")
        self.assertEqual(code, CHECKSUM, err)
        # Kept for a look, under a name that never passes for the file, and named in the message.
        self.assertEqual(self.listing("j"), ["set (CRC失败).bin"])
        self.assertNotEqual(tarnlib.read_file(self.at("j", "set (CRC失败).bin")), data)
        self.assertIn("set (CRC失败).bin", err)

        # A later piece without the piece mark, and a header that contradicts its piece.
        tarnlib.write_file(self.piece(2), b"XXXXXXXX" + second[8:])
        self.assertEqual(self.verify()[1]["problems"][0]["problem"], "mark")
        first = tarnlib.read_file(self.piece(1))
        tarnlib.write_file(self.piece(1), first[:8] + (0).to_bytes(4, "little") + first[12:])
        code, out, err = self.tarn("verify", self.piece(1))
        self.assertEqual(code, DAMAGED, err)

    def test_enciphered_and_headerless_sets(self):
        self.make_set(extra=("--key", "pw"))
        self.assertEqual(self.verify()[0], CHECKSUM)
        code, result = self.verify("--key", "pw")
        self.assertEqual(code, 0)
        self.assertTrue(result["checksum"]["match"])
        shutil.rmtree(self.at("set"))
        self.make_set(extra=("--script",))
        report = self.info()
        self.assertEqual((report["kind"], report["pieces"], report["size"], report["checksum"]), ("raw", 3, 250000, None))
        code, out, _ = self.tarn("verify", self.piece(1))
        self.assertEqual(code, 0)
        self.assertIn(b"no header", out)

    def test_first_piece_missing_and_not_a_piece(self):
        code, _, err = self.tarn("info", self.at("nope0001.trn"))
        self.assertEqual(code, MISSING, err)
        code, _, err = self.tarn("verify", self.at("nope0001.trn"), env_lang="zh_CN.UTF-8")
        self.assertEqual(code, MISSING)
        self.assertIn("找不到", err)
        code, out, _ = self.tarn("verify", self.at("nope0001.trn"), "--json")  # a line all the same
        self.assertEqual((code, json.loads(out)["ok"], json.loads(out)["exit"]), (MISSING, False, MISSING))
        self.source("plain.txt", 10)
        self.assertEqual(self.tarn("info", "plain.txt")[0], USAGE)

    def test_the_folder_of_one_set_stands_for_it(self):
        data = self.make_set()
        self.assertEqual(self.tarn("info", "set", "--json")[1], self.tarn("info", "set/set.0001.trn", "--json")[1])
        self.assertEqual(self.tarn("verify", "set", "-q")[0], 0)
        code, _, err = self.tarn("join", "set/", "-o", "j")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "set.bin")), data)
        os.makedirs(self.at("empty"))
        tarnlib.write_file(self.at("empty", "set.0002.trn"), b"x")
        code, _, err = self.tarn("join", "empty", "-o", "j2")
        self.assertEqual(code, USAGE, err)
        self.assertIn("without the first piece", err)
        self.source("other.bin", 10)
        self.assertEqual(self.tarn("split", "other.bin", "-o", "set", "-q")[0], 0)
        code, _, err = self.tarn("verify", "set")
        self.assertEqual(code, USAGE, err)
        self.assertIn("holds 2 sets: name the first piece of one (othe0001.trn, set.0001.trn)", err)
        self.assertFalse(os.path.exists(self.at("j2")))

    def test_several_sets_are_reported_one_after_another(self):
        self.make_set()
        self.source("other.bin", 5000)
        self.assertEqual(self.tarn("split", "other.bin", "-s", "2K", "-q")[0], 0)
        piece = self.at("other", "othe0002.trn")
        flipped = bytearray(tarnlib.read_file(piece))
        flipped[100] ^= 1
        tarnlib.write_file(piece, bytes(flipped))
        # Every set is looked at, in the order given; the exit code is the first failure's.
        code, out, err = self.tarn("verify", "set", "other", "nothing", "set", "--json")
        self.assertEqual(code, CHECKSUM, err)
        reports = [json.loads(line) for line in out.splitlines()]
        self.assertEqual([(r["set"], r["ok"], r["exit"]) for r in reports],
                         [("set/set.0001.trn", True, 0), ("other/othe0001.trn", False, CHECKSUM),
                          ("nothing", False, USAGE), ("set/set.0001.trn", True, 0)])
        self.assertIn("'nothing'", err)
        code, out, _ = self.tarn("verify", "other", "set")
        self.assertEqual(code, CHECKSUM)
        self.assertEqual([line for line in out.splitlines() if line.endswith(b":") or line.startswith(b"OK")],
                         [b"other:", b"set:", b"OK: 3 pieces, 250,000 bytes"])
        self.assertEqual(self.tarn("verify", "-q", "set", "other"), (CHECKSUM, b"", ""))
        code, out, _ = self.tarn("info", "set", "other")
        self.assertEqual(code, 0)
        self.assertEqual(out.count(b"name:"), 2)
        self.assertTrue(out.startswith(b"set:\n") and b"\n\nother:\n" in out, out)
        self.assertEqual(self.tarn("join", "set", "other", "-o", "j")[0], USAGE)  # join rebuilds one file
        self.assertFalse(os.path.exists(self.at("j")))

    def test_a_fifo_or_a_piece_that_cannot_be_opened_is_reported_never_waited_on(self):
        self.make_set()
        # Nobody writes to the FIFO: opening it for reading would wait for good.
        os.rename(self.piece(2), self.at("kept2"))
        os.mkfifo(self.piece(2))
        os.rename(self.piece(3), self.at("kept3"))
        os.symlink(self.piece(3), self.piece(3))  # a loop: it cannot be opened, but something is there
        report = self.info()
        self.assertEqual(report["missing"], [2, 3])
        self.assertEqual([(w["piece"], w["problem"], w["reason"]) for w in report["wrong"]],
                         [(2, "unreadable", "not a regular file"),
                          (3, "unreadable", "Too many levels of symbolic links")])
        code, out, _ = self.tarn("verify", self.piece(1))
        self.assertEqual(code, MISSING)
        self.assertIn(b"piece 2 is not a regular file", out)
        self.assertIn(b"piece 3 cannot be read (Too many levels of symbolic links)", out)
        code, _, err = self.tarn("join", self.piece(1), "-o", "j")
        self.assertEqual(code, MISSING, err)
        self.assertFalse(os.path.exists(self.at("j")))
        os.rename(self.piece(1), self.at("kept1"))
        os.mkfifo(self.piece(1))
        code, _, err = self.tarn("info", self.piece(2))
        self.assertEqual(code, MISSING)
        self.assertIn("the first piece of '%s' is not a regular file" % self.piece(2), err)
        before = self.listing(".")
        code, _, err = self.tarn("split", self.piece(1))
        self.assertEqual(code, MISSING)
        self.assertIn("'tarn split - --name NAME' cuts a stream", err)
        self.assertEqual(self.listing("."), before, "nothing written")
        code, _, err = self.tarn("split", "set")
        self.assertEqual(code, MISSING)
        self.assertIn("'set' is a folder: tarn cuts one file ('tar c FOLDER | tarn split - --name FOLDER.tar'", err)
        self.assertEqual(self.listing("."), before, "nothing written")

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


class Terminal(CommandCase):
    def run_with_terminal_stderr(self, *args, columns=80):
        import fcntl
        import pty
        import struct
        import termios
        master, slave = pty.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
        done = subprocess.run([PROGRAM, *args], cwd=self.work, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=slave, timeout=120, env=self.environment())
        os.close(slave)
        return done.returncode, drain(master).decode("utf-8", "replace")

    def test_progress_bar_at_a_terminal_and_never_with_quiet_or_a_pipe(self):
        self.source("p.bin", 5 * 1048576)
        code, seen = self.run_with_terminal_stderr("split", "p.bin", "-s", "1M")
        self.assertEqual(code, 0, seen)
        self.assertRegex(seen, r"\r +\d+%  [\d.]+ (B|KiB|MiB) / 5\.0 MiB  [\d.]+ (B|KiB|MiB|GiB)/s")
        self.assertIn("6 piece(s)", seen)  # the count rule adds one for an exact multiple, then evens out
        code, seen = self.run_with_terminal_stderr("join", self.at("p", "p.bi0001.trn"), "-o", "j", "-q")
        self.assertEqual((code, seen), (0, ""))
        # A bar wider than the terminal wraps, and a carriage return cannot take back a wrapped line.
        code, seen = self.run_with_terminal_stderr("join", self.at("p", "p.bi0001.trn"), "-o", "j2", columns=30)
        self.assertEqual(code, 0, seen)
        bars = [part for part in seen.split("\r") if part.strip() and "tarn:" not in part]
        self.assertTrue(bars, seen)
        self.assertRegex(bars[0], r"^ +\d+%")
        for bar in bars:
            self.assertLessEqual(len(bar), 29, seen)
        code, _, err = self.tarn("verify", self.at("p", "p.bi0001.trn"))
        self.assertEqual(code, 0)
        self.assertNotIn("%", err)

    def test_the_rebuilt_bytes_go_to_a_terminal_only_with_force(self):
        import pty
        self.source("t.bin", 3000)
        self.assertEqual(self.tarn("split", "t.bin", "-q")[0], 0)
        for extra, expected_code in (((), USAGE), (("--force",), 0)):
            master, slave = pty.openpty()
            done = subprocess.run([PROGRAM, "join", self.at("t", "t.bi0001.trn"), "-o", "-", *extra], cwd=self.work,
                                  stdin=subprocess.DEVNULL, stdout=slave, stderr=subprocess.PIPE, timeout=60,
                                  env=self.environment())
            os.close(slave)
            shown = drain(master)
            self.assertEqual(done.returncode, expected_code, done.stderr)
            if expected_code == USAGE:
                self.assertEqual(shown, b"")
                self.assertIn(b"standard output is a terminal", done.stderr)
            else:
                self.assertGreater(len(shown), 1000)

    def test_a_file_that_says_it_is_empty_but_holds_data_is_cut_whole(self):
        with open("/proc/version", "rb") as f:
            data = f.read()
        self.assertGreater(len(data), 0)
        code, _, err = self.tarn("split", "/proc/version", "-n", "2")
        self.assertEqual(code, USAGE, err)
        self.assertFalse(os.path.exists(self.at("version")))
        code, _, err = self.tarn("split", "/proc/version", "-s", "1K", "-q")
        self.assertEqual(code, 0, err)
        code, _, err = self.tarn("join", self.at("version", "vers0001.trn"), "-o", "j", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "version")), data)

    def test_a_stream_split_reads_a_terminal_only_with_force(self):
        import pty
        master, slave = pty.openpty()
        # Without --force it must refuse at once: waiting for typed bytes would hang here until the timeout.
        done = subprocess.run([PROGRAM, "split", "-", "--name", "typed.txt", "-s", "1K"], cwd=self.work, stdin=slave,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60, env=self.environment())
        self.assertEqual(done.returncode, USAGE, done.stderr)
        self.assertIn(b"standard input is a terminal", done.stderr)
        self.assertEqual(os.listdir(self.work), [])
        # With it, a line typed and then Ctrl+D is the stream.
        os.write(master, b"typed by hand\n\x04")
        done = subprocess.run([PROGRAM, "split", "-", "--name", "typed.txt", "-s", "1K", "--force", "-q"],
                              cwd=self.work, stdin=slave, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        os.close(slave)
        os.close(master)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(self.tarn("join", self.at("typed", "type0001.trn"), "-o", "-")[1], b"typed by hand\n")


class HelpAndVersion(CommandCase):
    def test_help_version_and_language(self):
        code, out, _ = self.tarn("--help")
        self.assertEqual(code, 0)
        for text in (b"tarn split", b"tarn join", b"tarn info", b"tarn verify", b"/i=", b"6 disk full"):
            self.assertIn(text, out)
        self.assertEqual(self.tarn(), (0, b"", out.decode()))  # run bare, the same help, not the switches' usage
        code, out, _ = self.tarn("split", "--help")
        self.assertEqual(code, 0)
        self.assertIn(b"--script", out)
        # The GNU layout: name and version, copyright, licence, no warranty.
        code, out, _ = self.tarn("--version")
        lines = out.decode().splitlines()
        self.assertEqual((code, lines[0], len(lines)), (0, "tarn 1.51", 5))
        self.assertTrue(lines[1].startswith("Copyright (C) 2026") and "License MIT" in lines[2], lines)
        code, _, err = self.tarn("split", "x", "--frobnicate", env_lang="zh_CN.UTF-8")
        self.assertEqual(code, USAGE)
        self.assertIn("未知选项", err)
        code, _, err = self.tarn("split", "x", "--frobnicate", env_lang="de_DE.UTF-8")
        self.assertIn("unknown option", err)
        # The system's reason in the same language as the message around it (the test command makes the locale).
        code, _, err = self.tarn("split", "nonexist.bin", env_lang="zh_CN.UTF-8")
        self.assertEqual(code, MISSING)
        self.assertIn("无法打开 'nonexist.bin': 没有那个文件或目录", err)
        self.assertIn("No such file or directory", self.tarn("split", "nonexist.bin")[2])
        # LANGUAGE ranks first, as for programs translated with gettext, except under the C locale.
        for lang, languages, chinese in (("en_US.UTF-8", "zh_CN:en", True), ("zh_CN.UTF-8", "en_US:zh", False),
                                         ("C.UTF-8", "zh_CN", False)):
            err = self.tarn("split", "x", "--frobnicate", env_lang=lang, languages=languages)[2]
            self.assertEqual("未知选项" in err, chinese, (lang, languages))
        # A mistyped command is told so (a word naming a file keeps the switches: the safety suite runs that).
        code, _, err = self.tarn("splt", "x.bin")
        self.assertEqual(code, USAGE)
        self.assertIn("unknown command 'splt'", err)


@unittest.skipUnless(WINDOWS and WINE, "needs Tarn.exe under Wine")
class WithTarnExe(CommandCase):
    """Sets cut by the commands are joined by Tarn.exe, and the other way round. Tarn.exe runs without a display:
    a message it would show (a missing piece is reported even with /q) cannot wait for a user there."""

    def setUp(self):
        super().setUp()
        self.windows = tarnlib.Runner(WINDOWS, WINE, LAUNCHER)

    def tearDown(self):
        self.windows.close()
        super().tearDown()

    def test_both_ways(self):
        _, data = self.source("cross.bin", 90000)
        old = 1300000000 * 10**9
        os.utime(self.at("cross.bin"), ns=(old, old))
        code, _, err = self.tarn("split", "cross.bin", "-s", "20K", "-d", "hello", "-q")
        self.assertEqual(code, 0, err)
        code, err = self.windows.run("/i=" + self.windows.path(self.at("cross", "cros0002.trn")),
                                     "/o=" + self.windows.path(self.at("w")), "/q", headless=True)
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("w", "cross.bin")), data)
        self.assertEqual(os.stat(self.at("w", "cross.bin")).st_mtime_ns, old)

        code, err = self.windows.run("/i=" + self.windows.path(self.at("cross.bin")),
                                     "/o=" + self.windows.path(self.at("wp")), "/s=30", "/q", headless=True)
        self.assertEqual(code, 0, err)
        # A Chinese name, cut here and joined by Tarn.exe in code page 936, and the other way round.
        _, chinese = self.source("报告.doc", 30000)
        code, _, err = self.tarn("split", "报告.doc", "-s", "10K", "-q")
        self.assertEqual(code, 0, err)
        code, err = self.windows.run("/i=" + self.windows.path(self.at("报告", "报告0001.trn")),
                                     "/o=" + self.windows.path(self.at("wc")), "/q", headless=True)
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("wc", "报告.doc")), chinese)
        code, err = self.windows.run("/i=" + self.windows.path(self.at("报告.doc")),
                                     "/o=" + self.windows.path(self.at("wcp")), "/s=10", "/q", headless=True)
        self.assertEqual(code, 0, err)
        code, _, err = self.tarn("join", self.at("wcp", "报告0002.trn"), "-o", "nc")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("nc", "报告.doc")), chinese)

        code, out, err = self.tarn("verify", self.at("wp", "cros0001.trn"))
        self.assertEqual(code, 0, (out, err))
        code, _, err = self.tarn("join", self.at("wp", "cros0003.trn"), "-o", "n")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("n", "cross.bin")), data)
        self.assertEqual(os.stat(self.at("n", "cross.bin")).st_mtime_ns, old)

    def test_names_code_page_936_lacks(self):
        # Tarn.exe takes every name whole: it reads the UTF-8 copy a set of such a name carries, and cuts such a
        # name into the same bytes as tarn split, names included, whichever program joins it. Every other name
        # goes through a Western Windows (code page 1252, English) and back through a Chinese one.
        names = ["한국어 보고서.doc", "café.txt", "naïve.txt", "ü€😀.bin", "普通中文.doc"]
        for number, name in enumerate(names):
            joining, cutting = ("en_US.UTF-8", None) if number % 2 else (None, "en_US.UTF-8")
            with self.subTest(name=name):
                _, data = self.source(name, 25000)
                os.utime(self.at(name), ns=(OLD_TIME, OLD_TIME))
                code, _, err = self.tarn("split", name, "-s", "10K", "-o", "s%d" % number, "-q")
                self.assertEqual(code, 0, err)
                first = next(n for n in self.listing("s%d" % number) if "0001" in n)
                code, err = self.windows.run("/i=" + self.windows.path(self.at("s%d" % number, first)),
                                             "/o=" + self.windows.path(self.at("w%d" % number)), "/q", headless=True,
                                             locale=joining)
                self.assertEqual(code, 0, err)
                self.assertEqual(self.listing("w%d" % number), [name])
                self.assertEqual(tarnlib.read_file(self.at("w%d" % number, name)), data)
                os.utime(self.at(name), ns=(OLD_TIME, OLD_TIME))  # the split read it: the same times again
                code, err = self.windows.run("/i=" + self.windows.path(self.at(name)),
                                             "/o=" + self.windows.path(self.at("c%d" % number)), "/s=10", "/q",
                                             headless=True, locale=cutting)
                self.assertEqual(code, 0, err)
                self.assertEqual(self.listing("c%d" % number), self.listing("s%d" % number))
                for piece in self.listing("s%d" % number):
                    mine, theirs = (bytearray(tarnlib.read_file(self.at(f, piece))) for f in ("s%d" % number,
                                                                                              "c%d" % number))
                    mine[626:634] = theirs[626:634] = bytes(8)  # the creation time, which Linux does not report
                    self.assertEqual(mine, theirs, piece)
                code, _, err = self.tarn("join", self.at("c%d" % number, first), "-o", "n%d" % number)
                self.assertEqual(code, 0, err)
                self.assertEqual(self.listing("n%d" % number), [name])

    def test_script_sets_both_ways(self):
        # cmd reads UnTarn.bat in code page 936: the pieces' names too must be written in it.
        _, chinese = self.source("报告.doc", 30000)
        code, _, err = self.tarn("split", "报告.doc", "-s", "10K", "--script", "-q")
        self.assertEqual(code, 0, err)
        code, out, _ = tarnlib.captured([WINE, "cmd", "/c", "UnTarn.bat"], cwd=self.at("报告"),
                                        stdin=subprocess.DEVNULL, timeout=120,
                                        env={k: v for k, v in os.environ.items() if k != "DISPLAY"})
        self.assertEqual(code, 0, out)
        self.assertEqual(tarnlib.read_file(self.at("报告", "报告.doc")), chinese)
        # Cut by Tarn.exe as a script set, its script names the file and counts the pieces for a join here.
        self.windows.write_settings(method=1)
        code, err = self.windows.run("/i=" + self.windows.path(self.at("报告.doc")),
                                     "/o=" + self.windows.path(self.at("ws")), "/s=10", "/q", headless=True)
        self.assertEqual(code, 0, err)
        os.remove(self.at("ws", "报告0003.trn"))
        code, _, err = self.tarn("join", self.at("ws", "报告0001.trn"), "-o", "j", "-y")
        self.assertEqual(code, MISSING, err)
        code, out, _ = self.tarn("info", self.at("ws", "报告0001.trn"), "--json")
        self.assertEqual((json.loads(out)["name"], json.loads(out)["missing"]), ("报告.doc", [3]))

    def test_scripts_rebuild_any_name_and_run_nothing_else(self):
        # cmd splits a bare word at & and +, expands %, and would run what a quote in a name lets out.
        names = {"R&D plan.doc": "R&D plan.doc", "a+b c.txt": "a+b c.txt", "100% (final).doc": "100% (final).doc",
                 'x" & echo PWNED & rem ".txt': "x_ & echo PWNED & rem _.txt"}
        for number, (name, rebuilt) in enumerate(names.items()):
            with self.subTest(name=name):
                _, data = self.source(name, 25000)
                folder = "s%d" % number
                code, _, err = self.tarn("split", name, "-s", "10K", "--script", "-o", folder, "-q")
                self.assertEqual(code, 0, err)
                if number == 0:  # the same set from Tarn.exe
                    self.windows.write_settings(method=1)
                    code, err = self.windows.run("/i=" + self.windows.path(self.at(name)),
                                                 "/o=" + self.windows.path(self.at("w0")), "/s=10", "/q",
                                                 headless=True)
                    self.assertEqual(code, 0, err)
                    self.assertEqual(sorted(os.listdir(self.at("w0"))), sorted(os.listdir(self.at(folder))))
                _, out, err = tarnlib.captured([WINE, "cmd", "/c", "UnTarn.bat"], cwd=self.at(folder),
                                               stdin=subprocess.DEVNULL, timeout=120,
                                               env={k: v for k, v in os.environ.items() if k != "DISPLAY"})
                # cmd echoes the command it runs; a command let out of the quotes would print its word alone.
                said = [line.strip() for line in (out + err).splitlines()]
                self.assertNotIn(b"PWNED", said)
                self.assertEqual(tarnlib.read_file(self.at(folder, rebuilt)), data, out)
                self.assertEqual(len(os.listdir(self.at(folder))), 5, "three pieces, the script, the file")


if __name__ == "__main__":
    unittest.main(verbosity=2)
