#!/usr/bin/env python3
"""korvella-cli in pipelines, run as a process: what a plain open for writing would respect
(read-only targets, mode bits, owner and group, symbolic links), writes cut short by a file-size
limit or a full device, standard input and output, and the JSON statistics read back against
the panel's lines and against bounds computed here.

Usage: pipelines_test.py KORVELLA_CLI GOLDEN_DIR. Permission cases run as an unprivileged user:
as root through setpriv as nobody, otherwise as the user running the script. Prints each failed
check and a closing count; exits 1 on any failure."""

import json, os, pwd, resource, shutil, signal, stat, struct, subprocess, sys, tempfile

CLI, GOLDEN = sys.argv[1], sys.argv[2]
AS_ROOT = os.geteuid() == 0
NOBODY = pwd.getpwnam("nobody") if AS_ROOT else None
OLD = b"old contents\n"
counts = {True: 0, False: 0}


def check(condition, what):
    counts[bool(condition)] += 1
    if not condition:
        print("FAILED:", what)


def run(arguments, stdin=os.devnull, unprivileged=False, limit=None, ignore_xfsz=False,
        env=None, stdout=subprocess.PIPE):
    """Runs the program with umask 022; returns (exit code, stdout bytes, stderr text)."""
    command = [CLI] + arguments
    if unprivileged and AS_ROOT:
        command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] + command

    def prepare():
        os.umask(0o022)  # no row's mode, so a kept mode is no accident
        if limit is not None:
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        if ignore_xfsz:
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)

    with open(stdin, "rb") as source:
        done = subprocess.run(command, stdin=source, stdout=stdout, stderr=subprocess.PIPE,
                              preexec_fn=prepare, env=env)
    return done.returncode, done.stdout, done.stderr.decode("utf-8", "replace")


def read(path):
    with open(path, "rb") as file:
        return file.read()


def write(path, data, mode=0o644):
    """A file of the unprivileged user, as if that user had made it."""
    with open(path, "wb") as file:
        file.write(data)
    os.chmod(path, mode)
    if AS_ROOT:
        os.chown(path, NOBODY.pw_uid, NOBODY.pw_gid)


def folder(*parts):
    path = os.path.join(*parts)
    os.mkdir(path)
    os.chmod(path, 0o755)
    if AS_ROOT:
        os.chown(path, NOBODY.pw_uid, NOBODY.pw_gid)
    return path


def leftovers(*folders):
    return [name for f in folders for name in os.listdir(f) if name.startswith("~kv")]


def permission_cases(scratch, source, reference):
    """Refused targets stay as they were; written ones keep their mode; links stay links."""
    work = folder(scratch, "perm")
    sub = folder(work, "sub")
    for name, mode, refused in (("read_only.obj", 0o444, True), ("mode_640.obj", 0o640, False),
                                ("mode_751.obj", 0o751, False)):
        target = os.path.join(work, name)
        write(target, OLD, mode)
        code, _, err = run(["-o", target, source], unprivileged=True)
        check((code, err) == ((4, f"korvella-cli: cannot write {target}\n") if refused else
                              (0, "")), f"{name}: exit {code}, {err!r}")
        check(read(target) == (OLD if refused else reference), f"{name}: contents")
        check(stat.S_IMODE(os.stat(target).st_mode) == mode, f"{name}: mode")
    if AS_ROOT:  # another user's file in the user's folder: a rename could replace it
        target = os.path.join(work, "roots.obj")
        write(target, OLD)
        os.chown(target, 0, 0)
        code, _, _ = run(["-o", target, source], unprivileged=True)
        check(code == 4 and read(target) == OLD, "another user's file refused")
    shut = folder(work, "read_only_folder")  # the file may be written, the folder may not
    target = os.path.join(shut, "model.obj")
    write(target, OLD)
    os.chmod(shut, 0o555)
    code, _, _ = run(["-o", target, source], unprivileged=True)
    check(code == 4 and read(target) == OLD and os.listdir(shut) == ["model.obj"],
          f"read-only folder: exit {code}")
    os.chmod(shut, 0o755)
    fresh = os.path.join(work, "fresh.obj")
    run(["-o", fresh, source], unprivileged=True)
    check(stat.S_IMODE(os.stat(fresh).st_mode) == 0o644, "a new file gets the umask's mode")
    # links: relative, a chain, absolute, dangling (makes the file), to a read-only file
    write(os.path.join(sub, "locked.obj"), OLD, 0o444)
    real = os.path.join(sub, "real.obj")
    rows = [("link.obj", "sub/real.obj", 0), ("chain.obj", "link.obj", 0),
            ("absolute.obj", real, 0), ("dangling.obj", "sub/made.obj", 0),
            ("to_locked.obj", "sub/locked.obj", 4)]
    for name, points_to, expected in rows:
        link = os.path.join(work, name)
        os.symlink(points_to, link)
        write(real, OLD, 0o640)
        code, _, err = run(["-o", link, source], unprivileged=True)
        check(code == expected, f"{name}: exit {code}, {err!r}")
        check(os.path.islink(link) and os.readlink(link) == points_to, f"{name}: link kept")
        check(read(link) == (reference if expected == 0 else OLD), f"{name}: file behind it")
        mode = 0o644 if name == "dangling.obj" else 0o444 if expected else 0o640
        check(stat.S_IMODE(os.stat(link).st_mode) == mode, f"{name}: mode behind the link")
    check(leftovers(work, sub) == [], f"temporary files left: {leftovers(work, sub)}")


def owner_case(scratch, source, reference):
    """The superuser's replacement keeps another user's ownership, any group, set-id bits."""
    target = os.path.join(scratch, "owned.obj")
    write(target, OLD, 0o2640)
    os.chown(target, NOBODY.pw_uid, 4242)
    code, _, _ = run(["-o", target, source])
    info = os.stat(target)
    check(code == 0 and read(target) == reference, "owned file written")
    check((info.st_uid, info.st_gid, stat.S_IMODE(info.st_mode)) == (NOBODY.pw_uid, 4242, 0o2640),
          f"owner, group, mode: {info}")


def cut_short_cases(scratch, source, reference):
    """Past a file-size limit (SIGXFSZ left to the program, or ignored) or on a full device:
    exit 4, the old file, no temporary file. A device is written in place: -o adds ".obj" to a
    bare name, so it is reached through a link."""
    assert len(reference) > 4096
    target = os.path.join(scratch, "limited.obj")
    for ignore in (False, True):
        write(target, OLD)
        code, _, err = run(["-o", target, source], limit=4096, ignore_xfsz=ignore)
        check(code == 4 and read(target) == OLD and leftovers(scratch) == [],
              f"file-size limit, SIGXFSZ ignored {ignore}: exit {code}, {err!r}")
    full, null = os.path.join(scratch, "full.obj"), os.path.join(scratch, "null.obj")
    os.symlink("/dev/full", full)
    os.symlink("/dev/null", null)
    for arguments in (["-o", full, source], ["-o", "-", source]):
        with open("/dev/full", "wb") as device:
            code, _, err = run(arguments, stdout=device)
        check(code == 4 and err.startswith("korvella-cli: cannot write"), f"{arguments}: {err!r}")
    code, _, _ = run(["-o", null, source])
    check(code == 0 and stat.S_ISCHR(os.stat("/dev/null").st_mode), "/dev/null stays a device")
    check(leftovers(scratch, "/dev") == [], "temporary files beside the devices")


def stream_cases(scratch, source, reference):
    """Standard input and output give the bytes of the file forms; the spool is removed."""
    spool = folder(scratch, "spool")
    env = dict(os.environ, TMPDIR=spool)
    target = os.path.join(scratch, "file_form.obj")
    for options in ([], ["--smooth", "--triangulate", "--scale", "2,0.5,1.25", "--reverse"]):
        run(options + ["-o", target, source])
        expected = read(target)
        forms = {"stdin to stdout": run(options + ["-o", "-", "-"], stdin=source, env=env),
                 "file to stdout": run(options + ["-o", "-", source])}
        code = run(options + ["-o", target, "-"], stdin=source, env=env)[0]
        forms["stdin to file"] = (code, read(target), "")
        if not options:
            check(expected == reference, "file form")
        for name, (code, out, err) in forms.items():
            check((code, err, out) == (0, "", expected), f"{options} {name}: {code} {err!r}")
    _, by_name, _ = run(["--stats", source])
    _, by_stdin, _ = run(["--stats", "-"], stdin=source, env=env)
    check(by_stdin.split(b"\n")[0] == b"Mesh Name: stdin", "stdin mesh name")
    check(by_stdin.split(b"\n")[1:] == by_name.split(b"\n")[1:], "stdin statistics")
    run(["--out-dir", scratch, "-"], stdin=source, env=env)
    check(read(os.path.join(scratch, "stdin.obj")) == reference, "--out-dir names it stdin")
    check(os.listdir(spool) == [], f"spool files left: {os.listdir(spool)}")


def reference_bounds(path, scale):
    """Scaled bounds from the file's "v" lines, computed here: floats, each axis from 3000 and
    -3000, times the float factor in double."""
    f32 = lambda text: struct.unpack("f", struct.pack("f", float(text)))[0]
    low, high = [3000.0] * 3, [-3000.0] * 3
    for words in (line.split() for line in read(path).decode("latin-1").splitlines()):
        if words[:1] == ["v"]:
            low = [min(a, f32(b)) for a, b in zip(low, words[1:4])]
            high = [max(a, f32(b)) for a, b in zip(high, words[1:4])]
    factors = [f32(f) for f in scale]
    return {"min": [v * f for v, f in zip(low, factors)],
            "max": [v * f for v, f in zip(high, factors)]}


def json_cases(scratch, source):
    """--stats=json parsed back: equal to the panel's lines and to reference_bounds; names with
    quotes, backslashes, control characters, UTF-8 and a Latin-1 byte survive."""
    names = ["no_library.obj", 'quote"back\\slash.obj', "tab\tbell\x07.obj", "caf\u00e9.obj",
             os.fsdecode(b"caf\xe9.obj")]
    paths = [os.path.join(scratch, name) for name in names] + [source]
    for path in paths[:-1]:
        library_lines = 1 if "no_library" in path else 0  # how many to take out
        write(path, read(source).replace(b"mtllib torus.mtl\n", b"", library_lines))
    missing = os.path.join(scratch, "missing.obj")
    scale = ["1.5", "2", "0.25"]
    arguments = ["--smooth", "--scale", ",".join(scale)] + paths + [missing]
    code, out, err = run(["--stats=json"] + arguments)
    text = run(["--stats"] + arguments)[1]
    check((code, err) == (3, f"korvella-cli: cannot read {missing}\n"), f"json: {code} {err!r}")
    as_latin = lambda text: text.replace("\udce9", "\u00e9")
    objects = json.loads(out.decode("utf-8"))
    check([o["path"] for o in objects] == [as_latin(p) for p in paths + [missing]], "paths")
    check(objects[-1] == {"path": missing, "name": "missing", "ok": False,
                          "error": f"cannot read {missing}"}, f"failed input: {objects[-1]}")
    # each block: ": NAME" (its label taken by the split), then "Label: value" lines
    panels = [dict(line.split(": ", 1) for line in block.split("\n") if line) for block in
              as_latin(text.decode("utf-8", "surrogateescape")).split("Mesh Name")[1:]]
    check(len(panels) == len(paths), "one panel per read input")
    labels = {"Material lib": "material_library", "Materials": "materials", "Groups": "groups",
              "Facets": "facets", "Vertices": "vertices", "Normals": "normals",
              "UV Coords": "uv_coords", "": "name"}
    for item, panel, path in zip(objects, panels, paths):
        bounds = reference_bounds(path, scale)
        check(item["ok"] is True and item["bounds"] == bounds, f"{path}: {item}")
        shown = {label: "N/A" if item[key] is None else str(item[key])
                 for label, key in labels.items()}
        for axis, corner in ((a, c) for c in ("min", "max") for a in range(3)):
            shown[corner.title() + "XYZ"[axis]] = f"{item['bounds'][corner][axis]:.5f}"
        check(shown == panel, f"{path}: {shown} against the panel's {panel}")


def main():
    scratch = tempfile.mkdtemp(prefix="korvella-pipelines-")
    try:
        os.chmod(scratch, 0o755)
        globals()["CLI"] = shutil.copy(CLI, scratch)  # reachable by nobody wherever the build is
        source = os.path.join(scratch, "torus.obj")
        write(source, read(os.path.join(GOLDEN, "torus.obj")))
        reference = read(os.path.join(GOLDEN, "torus_default.expected.obj"))
        permission_cases(scratch, source, reference)
        if AS_ROOT:
            owner_case(scratch, source, reference)
        else:
            print("note: keeping another user's ownership needs root; not run")
        cut_short_cases(scratch, source, reference)
        stream_cases(scratch, source, reference)
        json_cases(scratch, source)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"pipelines: {counts[True]} checks passed, {counts[False]} failed")
    return 1 if counts[False] or not counts[True] else 0


if __name__ == "__main__":
    sys.exit(main())
