#!/usr/bin/env python3
"""korvella-cli in pipelines, run as a process: what a plain open for writing would respect
(read-only targets, mode bits, owner and group, symbolic links), writes cut short by a file-size
limit, standard input and output, and the JSON statistics read back against the panel's lines.

Usage: pipelines_test.py KORVELLA_CLI GOLDEN_DIR. Permission cases run as an unprivileged user:
as root through setpriv as nobody, otherwise as the user running the script. Prints one line
per failed check and a closing count; exits 1 on any failure."""

import json
import os
import pwd
import resource
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile

CLI, GOLDEN = sys.argv[1], sys.argv[2]
AS_ROOT = os.geteuid() == 0
NOBODY = pwd.getpwnam("nobody") if AS_ROOT else None
passed, failed = 0, 0


def check(condition, what):
    global passed, failed
    if condition:
        passed += 1
    else:
        failed += 1
        print("FAILED:", what)


def run(arguments, stdin=None, unprivileged=False, limit=None, ignore_xfsz=False, env=None,
        stdout=subprocess.PIPE):
    """Runs the program; returns (exit code, stdout bytes, stderr text)."""
    command = [CLI] + arguments
    if unprivileged and AS_ROOT:
        command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] + command

    def prepare():
        os.umask(0o022)  # no row's mode, so a kept mode is no accident
        if limit is not None:
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        if ignore_xfsz:
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)

    with open(stdin or os.devnull, "rb") as source:
        result = subprocess.run(command, stdin=source, stdout=stdout, stderr=subprocess.PIPE,
                                preexec_fn=prepare, env=env)
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


def read(path):
    with open(path, "rb") as file:
        return file.read()


def write(path, data, mode=0o644):
    with open(path, "wb") as file:
        file.write(data)
    os.chmod(path, mode)
    give_away(path)


def give_away(path):
    """Makes path the unprivileged user's, as if that user had made it."""
    if AS_ROOT:
        os.lchown(path, NOBODY.pw_uid, NOBODY.pw_gid)


def folder(parent, name):
    path = os.path.join(parent, name)
    os.mkdir(path)
    os.chmod(path, 0o755)
    give_away(path)
    return path


def temporary_files(*folders):
    return [name for f in folders for name in os.listdir(f) if name.startswith("~kv")]


BOX = (b"mtllib box.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 -0.5 2\n"
       b"vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 1 0\n"
       b"g front\nusemtl red\nf 1/1/1 2/2/1 3/3/2 4/4/2\n"
       b"g side\nusemtl blue\nf 1/1/3 5/2/3 6/3/3\nusemtl red\nf 2/1/3 6/2/3 3/3/3\n")
OLD = b"old contents\n"


def permission_cases(scratch, source, reference):
    """Refusals, kept modes and links, each as an unprivileged user."""
    work = folder(scratch, "perm")
    other = folder(work, "sub")
    rows = [  # name, mode, refused
        ("read_only.obj", 0o444, True), ("no_write_bit.obj", 0o400, True),
        ("mode_640.obj", 0o640, False), ("mode_600.obj", 0o600, False),
        ("mode_664.obj", 0o664, False), ("mode_751.obj", 0o751, False)]
    for name, mode, refused in rows:
        target = os.path.join(work, name)
        write(target, OLD, mode)
        code, out, err = run(["-o", target, source], unprivileged=True)
        info = os.stat(target)
        check(code == (4 if refused else 0), f"{name}: exit {code}, {err!r}")
        check(read(target) == (OLD if refused else reference), f"{name}: contents")
        check(stat.S_IMODE(info.st_mode) == mode, f"{name}: mode {oct(info.st_mode)}")
        check(err == (f"korvella-cli: cannot write {target}\n" if refused else ""),
              f"{name}: stderr {err!r}")
    if AS_ROOT:
        # a file of another user in the user's own folder: renaming over it is possible, a
        # plain open for writing is not
        target = os.path.join(work, "roots.obj")
        write(target, OLD, 0o644)
        os.chown(target, 0, 0)
        code, _, err = run(["-o", target, source], unprivileged=True)
        check(code == 4 and read(target) == OLD and os.stat(target).st_uid == 0,
              f"another user's file: exit {code}, {err!r}")
    else:
        print("note: another user's file needs root to set up; not run")
    # a new file gets the umask's mode
    fresh = os.path.join(work, "fresh.obj")
    code, _, _ = run(["-o", fresh, source], unprivileged=True)
    check(code == 0 and stat.S_IMODE(os.stat(fresh).st_mode) == 0o644, "new file mode")
    link_cases(work, other, source, reference)
    check(temporary_files(work, other) == [], f"temporary files left: {os.listdir(work)}")


def link_cases(work, other, source, reference):
    """A link stays a link and the file it ends at is replaced, wherever that lies."""
    real = os.path.join(other, "real.obj")
    write(real, OLD, 0o640)
    chain = [("link.obj", "sub/real.obj"), ("link2.obj", "link.obj"),
             ("absolute.obj", real), ("dangling.obj", "sub/made.obj")]
    for name, points_to in chain:
        link = os.path.join(work, name)
        os.symlink(points_to, link)
        give_away(link)
    for name, points_to in chain:
        link = os.path.join(work, name)
        write(real, OLD, 0o640)
        code, _, err = run(["-o", link, source], unprivileged=True)
        check(code == 0, f"{name}: exit {code}, {err!r}")
        check(os.path.islink(link) and os.readlink(link) == points_to, f"{name}: link kept")
        check(read(link) == reference, f"{name}: file behind the link written")
        # the existing file keeps its mode, the one made through the dangling link gets the umask's
        mode = 0o644 if name == "dangling.obj" else 0o640
        check(stat.S_IMODE(os.stat(link).st_mode) == mode, f"{name}: mode behind the link")
    locked = os.path.join(other, "locked.obj")
    write(locked, OLD, 0o444)
    link = os.path.join(work, "to_locked.obj")
    os.symlink("sub/locked.obj", link)
    code, _, _ = run(["-o", link, source], unprivileged=True)
    check(code == 4 and read(locked) == OLD and os.path.islink(link), "link to a read-only file")


def owner_cases(scratch, source, reference):
    """As the superuser the replacement keeps another user's ownership and any group."""
    if not AS_ROOT:
        print("note: keeping another owner and group needs root; not run")
        return
    target = os.path.join(scratch, "owned.obj")
    write(target, OLD, 0o2640)
    os.chown(target, NOBODY.pw_uid, 4242)
    code, _, _ = run(["-o", target, source])
    info = os.stat(target)
    check(code == 0 and read(target) == reference, "owned file written")
    check((info.st_uid, info.st_gid, stat.S_IMODE(info.st_mode)) ==
          (NOBODY.pw_uid, 4242, 0o2640), f"owner, group, mode: {info}")


def cut_short_cases(scratch, source, reference):
    """Past a file-size limit: exit 4, the old file, no temporary file; the signal ignored by
    the caller or left to the program."""
    assert len(reference) > 4096
    for ignore in (False, True):
        target = os.path.join(scratch, "limited.obj")
        write(target, OLD)
        code, _, err = run(["-o", target, source], limit=4096, ignore_xfsz=ignore)
        what = f"file-size limit (SIGXFSZ {'ignored' if ignore else 'default'})"
        check(code == 4, f"{what}: exit {code}, {err!r}")
        check(read(target) == OLD, f"{what}: old file kept")
        check(temporary_files(scratch) == [], f"{what}: temporary file left")
    # a device is written in place (-o adds ".obj" to a bare name, so it is reached by a link)
    full, null = os.path.join(scratch, "full.obj"), os.path.join(scratch, "null.obj")
    os.symlink("/dev/full", full)
    os.symlink("/dev/null", null)
    for arguments, what in ((["-o", full, source], "link to /dev/full"),
                            (["-o", "-", source], "stdout /dev/full")):
        with open("/dev/full", "wb") as device:
            code, _, err = run(arguments, stdout=device)
        check(code == 4 and err.startswith("korvella-cli: cannot write"), f"{what}: {code} {err!r}")
    code, _, _ = run(["-o", null, source])
    check(code == 0 and stat.S_ISCHR(os.stat("/dev/null").st_mode) and os.path.islink(null),
          "/dev/null stays a device")
    check(temporary_files(scratch, "/dev") == [], "temporary files beside the devices")


def stream_cases(scratch, source, reference):
    """Standard input and output give the bytes of the file forms."""
    spool = folder(scratch, "spool")
    env = dict(os.environ, TMPDIR=spool)
    for options in ([], ["--smooth", "--triangulate", "--scale", "2,0.5,1.25", "--reverse"]):
        target = os.path.join(scratch, "file_form.obj")
        code, _, _ = run(options + ["-o", target, source])
        expected = read(target)
        forms = {"stdin to stdout": run(options + ["-o", "-", "-"], stdin=source, env=env),
                 "file to stdout": run(options + ["-o", "-", source])}
        code_in, _, _ = run(options + ["-o", target, "-"], stdin=source, env=env)
        forms["stdin to file"] = (code_in, read(target), "")
        check(code == 0 and expected.startswith(b"#  ="), f"{options}: file form")
        for name, (code, out, err) in forms.items():
            check(code == 0 and err == "" and out == expected, f"{options} {name}: {code} {err!r}")
    check(os.listdir(spool) == [], f"spool files left: {os.listdir(spool)}")
    _, by_name, _ = run(["--stats", source])
    _, by_stdin, _ = run(["--stats", "-"], stdin=source, env=env)
    check(by_stdin.split(b"\n")[0] == b"Mesh Name: stdin", "stdin mesh name")
    check(by_stdin.split(b"\n")[1:] == by_name.split(b"\n")[1:], "stdin statistics")
    out_dir = folder(scratch, "out")
    run(["--out-dir", out_dir, "-"], stdin=source, env=env)
    check(read(os.path.join(out_dir, "stdin.obj")) == reference, "--out-dir names it stdin")


def panel_blocks(text):
    """The --stats output as a list of {label: value} per mesh."""
    blocks = []
    for line in text.splitlines():
        label, _, value = line.partition(": ")
        if label == "Mesh Name":
            blocks.append({})
        blocks[-1][label] = value
    return blocks


def float32(text):
    return struct.unpack("f", struct.pack("f", float(text)))[0]


def reference_bounds(path, scale):
    """The scaled bounds computed here from the file's "v" lines, independently of the
    program: floats, each axis from 3000 and -3000, times the float factor in double."""
    low, high = [3000.0] * 3, [-3000.0] * 3
    for line in read(path).decode("latin-1").splitlines():
        words = line.split()
        if words[:1] == ["v"]:
            for axis in range(3):
                value = float32(words[1 + axis])
                low[axis], high[axis] = min(low[axis], value), max(high[axis], value)
    factors = [float32(f) for f in scale]
    return ([v * f for v, f in zip(low, factors)], [v * f for v, f in zip(high, factors)])


def json_cases(scratch):
    """--stats=json read back: equal to the panel's lines and to bounds computed here."""
    names = ["plain.obj", 'quote"back\\slash.obj', "tab\tbell\x07.obj", "caf\u00e9.obj"]
    paths = [os.path.join(scratch, name) for name in names]
    for path in paths:
        write(path, BOX.replace(b"mtllib box.mtl\n", b"") if path.endswith("plain.obj") else BOX)
    latin = os.path.join(scratch, os.fsdecode(b"caf\xe9.obj"))  # not UTF-8: read as Latin-1
    write(latin, BOX)
    paths += [latin, os.path.join(GOLDEN, "torus.obj")]
    missing = os.path.join(scratch, "missing.obj")
    scale = ["1.5", "2", "0.25"]
    arguments = ["--smooth", "--scale", ",".join(scale)] + paths + [missing]
    code, out, err = run(["--stats=json"] + arguments)
    _, text, _ = run(["--stats"] + arguments)
    check(code == 3 and err == f"korvella-cli: cannot read {missing}\n", f"json run: {code} {err!r}")
    objects = json.loads(out.decode("utf-8"))
    latin_read = lambda text: text.replace("\udce9", "\u00e9")
    check([o["path"] for o in objects] == [latin_read(p) for p in paths + [missing]], "paths")
    check(objects[-1] == {"path": missing, "name": "missing", "ok": False,
                          "error": f"cannot read {missing}"}, f"failed input: {objects[-1]}")
    panels = panel_blocks(latin_read(text.decode("utf-8", "surrogateescape")))
    check(len(panels) == len(paths) == len(objects) - 1, "one panel per read input")
    for item, panel, path in zip(objects, panels, paths):
        compare_with_panel(item, panel, path, scale)


def compare_with_panel(item, panel, path, scale):
    name = item["path"]
    counts = {"Materials": "materials", "Groups": "groups", "Facets": "facets",
              "Vertices": "vertices", "Normals": "normals", "UV Coords": "uv_coords"}
    check(item["ok"] is True and "error" not in item, f"{name}: ok")
    check(item["name"] == panel["Mesh Name"], f"{name}: name {item['name']!r}")
    check(str(item["material_library"] or "N/A") == panel["Material lib"], f"{name}: library")
    for label, key in counts.items():
        check(str(item[key]) == panel[label], f"{name}: {key} {item[key]} vs {panel[label]}")
    low, high = reference_bounds(path, scale)
    for corner, values in (("min", low), ("max", high)):
        check(item["bounds"][corner] == values, f"{name}: {corner} {item['bounds'][corner]}")
        for axis, value in zip("XYZ", item["bounds"][corner]):
            label = ("Min" if corner == "min" else "Max") + axis
            check(f"{value:.5f}" == panel[label], f"{name}: {label} {value} vs {panel[label]}")


def main():
    scratch = tempfile.mkdtemp(prefix="korvella-pipelines-")
    try:
        os.chmod(scratch, 0o755)
        program = os.path.join(scratch, "korvella-cli")
        shutil.copy(CLI, program)  # reachable by the unprivileged user wherever the build is
        os.chmod(program, 0o755)
        globals()["CLI"] = program
        source = os.path.join(scratch, "torus.obj")
        write(source, read(os.path.join(GOLDEN, "torus.obj")))
        reference = read(os.path.join(GOLDEN, "torus_default.expected.obj"))
        permission_cases(scratch, source, reference)
        owner_cases(scratch, source, reference)
        cut_short_cases(scratch, source, reference)
        stream_cases(scratch, source, reference)
        json_cases(scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"pipelines: {passed} checks passed, {failed} failed")
    return 1 if failed or passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
