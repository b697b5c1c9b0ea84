#!/usr/bin/python3
"""Checks the release archives that ./dev dist writes.

Usage: check_dist.py --epoch SECONDS --objdump OBJDUMP FIRST_DIR [SECOND_DIR]

Unpacks both archives of FIRST_DIR and checks their entries (names, dates, owners, modes),
the texts and samples against the source tree, the Linux program's --version, the manual page,
and the Windows programs: 32-bit, large-address-aware, without a link time stamp, importing
only system DLLs, with a version resource of the archive's version. SECOND_DIR, made by a
second run, must hold the same bytes. Ends with a "N passed, N failed" line.
"""
import argparse
import hashlib
import os
import re
import struct
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
results = {"passed": 0, "failed": 0}


def check(condition, what):
    results["passed" if condition else "failed"] += 1
    if not condition:
        print("FAILED: " + what)
    return condition


def source_file(name):
    with open(os.path.join(SOURCE, name), "rb") as f:
        return f.read()


def samples():
    folder = os.path.join(SOURCE, "samples")
    return sorted(n for n in os.listdir(folder) if os.path.isfile(os.path.join(folder, n)))


def with_crlf(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def find_archives(folder):
    names = sorted(os.listdir(folder))
    check(len(names) == 3, "%s holds the two archives and SHA256SUMS: %s" % (folder, names))
    tars = [n for n in names if re.fullmatch(r"korvella-\d+\.\d+\.\d+-linux-x86_64\.tar\.gz", n)]
    zips = [n for n in names if re.fullmatch(r"korvella-\d+\.\d+\.\d+-windows-x86\.zip", n)]
    if not (check(len(tars) == 1, "one tarball named korvella-X.Y.Z-linux-x86_64.tar.gz") and
            check(len(zips) == 1, "one zip named korvella-X.Y.Z-windows-x86.zip")):
        sys.exit(1)
    version = tars[0].split("-")[1]
    check(zips[0].split("-")[1] == version, "both archives carry version " + version)
    return version, tars[0], zips[0]


def check_sums(folder, names):
    with open(os.path.join(folder, "SHA256SUMS")) as f:
        listed = dict(reversed(line.split()) for line in f if line.strip())
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        check(listed.get(name) == digest, "SHA256SUMS gives the digest of " + name)
    check(sorted(listed) == sorted(names), "SHA256SUMS lists exactly the archives")


def expected_files(top, programs, texts):
    return sorted([top + "/" + p for p in programs] + [top + "/" + t for t in texts] +
                  [top + "/samples/" + s for s in samples()])


def check_tarball(path, top, epoch, version):
    with tarfile.open(path, "r:gz") as tar:
        members = tar.getmembers()
        names = [m.name for m in members]
        check(names == sorted(names), "tarball entries in sorted order")
        for m in members:
            mode = 0o755 if m.isdir() or m.name.endswith("/bin/korvella-cli") else 0o644
            check(m.uid == 0 and m.gid == 0 and m.mtime == epoch and m.mode == mode,
                  "%s: owner 0:0, date %d, mode %o (has %d:%d, %d, %o)" %
                  (m.name, epoch, mode, m.uid, m.gid, m.mtime, m.mode))
        files = sorted(m.name for m in members if m.isfile())
        want = expected_files(top, ["bin/korvella-cli", "share/man/man1/korvella-cli.1"],
                              ["README.md", "LICENSE"])
        check(files == want, "tarball files are %s (has %s)" % (want, files))
        read = lambda name: tar.extractfile(top + "/" + name).read()
        check(read("README.md") == source_file("README.md"), "README.md is the source's")
        check(read("LICENSE") == source_file("LICENSE"), "LICENSE is the source's")
        for s in samples():
            check(read("samples/" + s) == source_file("samples/" + s), "samples/%s is the source's" % s)
        with tempfile.TemporaryDirectory() as scratch:
            tar.extractall(scratch)
            check_linux_program(os.path.join(scratch, top), version)


def check_linux_program(root, version):
    program = os.path.join(root, "bin", "korvella-cli")
    run = subprocess.run([program, "--version"], capture_output=True)
    check(run.returncode == 0 and run.stdout == ("korvella-cli %s\n" % version).encode(),
          "bin/korvella-cli --version prints korvella-cli %s (printed %r, exit %d)" %
          (version, run.stdout, run.returncode))
    stats = subprocess.run([program, "-q", "--stats", os.path.join(root, "samples", "cube.obj")],
                           capture_output=True)
    check(stats.returncode == 0 and stats.stdout.startswith(b"Mesh Name: cube\n"),
          "bin/korvella-cli reads the packed samples/cube.obj (%r)" % stats.stderr)
    page = os.path.join(root, "share", "man", "man1", "korvella-cli.1")
    lint = subprocess.run(["groff", "-t", "-man", "-ww", "-z", page], capture_output=True,
                          env=dict(os.environ, LC_ALL="C"))
    check(lint.returncode == 0 and lint.stderr == b"", "groff reads the man page without a "
          "warning: %s" % lint.stderr.decode(errors="replace"))
    with open(page, encoding="ascii") as f:
        check('"Korvella %s"' % version in f.readline() + f.readline(),
              "the man page's title line names version " + version)


def check_zip(path, top, epoch, version, objdump):
    when = time.gmtime(max(epoch, 315532800))
    stamp = when[:5] + (when.tm_sec // 2 * 2,)  # a zip date counts seconds in twos
    with zipfile.ZipFile(path) as z:
        infos = z.infolist()
        names = [i.filename for i in infos]
        check(names == sorted(names), "zip entries in sorted order")
        want = expected_files(top, ["Korvella.exe", "korvella-cli.exe"],
                              ["README.txt", "LICENSE.txt"])
        check(names == want, "zip files are %s (has %s)" % (want, names))
        for i in infos:
            mode = 0o755 if i.filename.endswith(".exe") else 0o644
            check(i.date_time == stamp and i.external_attr >> 16 == 0o100000 | mode and
                  i.extra == b"", "%s: date %s, mode %o, no extra fields (has %s, %o, %r)" %
                  (i.filename, stamp, mode, i.date_time, i.external_attr >> 16 & 0o777, i.extra))
        read = lambda name: z.read(top + "/" + name)
        readme = read("README.txt")
        check(readme == with_crlf(source_file("README.md")), "README.txt is README.md in CR LF")
        check(readme.count(b"\n") == readme.count(b"\r\n") > 0, "README.txt ends every line CR LF")
        check(read("LICENSE.txt") == with_crlf(source_file("LICENSE")), "LICENSE.txt is LICENSE")
        for s in samples():
            check(read("samples/" + s) == source_file("samples/" + s), "samples/%s is the source's" % s)
        with tempfile.TemporaryDirectory() as scratch:
            for program, subsystem in (("Korvella.exe", 2), ("korvella-cli.exe", 3)):
                exe = os.path.join(scratch, program)
                with open(exe, "wb") as f:
                    f.write(read(program))
                check_windows_program(exe, program, subsystem, version, objdump)


def check_windows_program(exe, name, subsystem, version, objdump):
    with open(exe, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine, _, timestamp = struct.unpack_from("<HHI", data, pe + 4)
    characteristics = struct.unpack_from("<H", data, pe + 22)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    check(data[:2] == b"MZ" and data[pe:pe + 4] == b"PE\0\0", name + " is a PE program")
    check(machine == 0x14C and magic == 0x10B, name + " is a 32-bit x86 program")
    check(characteristics & 0x20, name + " is large-address-aware")
    check(timestamp == 0, "%s carries no link time stamp (has %d)" % (name, timestamp))
    check(struct.unpack_from("<H", data, pe + 24 + 68)[0] == subsystem,
          "%s is a %s program" % (name, "window" if subsystem == 2 else "console"))
    imports = subprocess.run(["cmake", "-DEXE=" + exe, "-DOBJDUMP=" + objdump, "-P",
                              os.path.join(SOURCE, "app", "check_imports.cmake")],
                             capture_output=True, text=True)
    check(imports.returncode == 0, "%s imports only system DLLs: %s" % (name, imports.stderr))
    check_version_resource(data, name, version)


def version_string(data, key):
    """The value of a StringFileInfo entry: its key in UTF-16, padding, then the value."""
    at = data.find((key + "\0").encode("utf-16-le"))
    if at < 0:
        return None
    at += 2 * (len(key) + 1)
    while data[at:at + 2] == b"\0\0":
        at += 2
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le")


def check_version_resource(data, name, version):
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    major, minor, patch = (int(p) for p in version.split("."))
    check(fixed >= 0 and struct.unpack_from("<III", data, fixed + 4) ==
          (0x10000, major << 16 | minor, patch << 16), name + " has a fixed file version " + version)
    for key, value in (("FileVersion", version), ("ProductVersion", version),
                       ("ProductName", "Korvella"), ("OriginalFilename", name)):
        found = version_string(data, key)
        check(found == value, "%s: version resource %s is %r (has %r)" % (name, key, value, found))


def check_same_bytes(first, second):
    for name in sorted(os.listdir(first)):
        with open(os.path.join(first, name), "rb") as a, open(os.path.join(second, name), "rb") as b:
            check(a.read() == b.read(), name + " has the same bytes in a second run")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--epoch", type=int, required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("first")
    parser.add_argument("second", nargs="?")
    args = parser.parse_args()
    version, tarball, zipped = find_archives(args.first)
    check_sums(args.first, [tarball, zipped])
    check_tarball(os.path.join(args.first, tarball), tarball[:-len(".tar.gz")], args.epoch, version)
    check_zip(os.path.join(args.first, zipped), zipped[:-len(".zip")], args.epoch, version,
              args.objdump)
    if args.second:
        check_same_bytes(args.first, args.second)
    print("%d passed, %d failed (release archives)" % (results["passed"], results["failed"]))
    sys.exit(1 if results["failed"] else 0)


if __name__ == "__main__":
    main()
