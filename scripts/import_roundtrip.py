#!/usr/bin/env python3
"""Each character of a game root exported to glTF by Quillmo and imported back,
and what comes back compared with what went out: every MD3 part record by
record (names as the game reads them; bytes after a name's end and the header's
skin count aside), every surface under every skin as the game makes it
(Quillmo --surfaces), and the
animation file entry by entry and keyword by keyword as the game reads it.

  scripts/import_roundtrip.py QUILLMO GAME_ROOT WORK [NAME ...]

Prints a table and exits 0 when every character comes back equal, 1 when one
does not, 2 when it cannot run."""
import json, os, re, struct, subprocess, sys, zipfile

PARTS = ("lower", "upper", "head")


def game_files(root):
    """Every file of the game root by lower-case path, the last archive winning
    as the game mounts them, loose files over all."""
    files = {}
    for pk3 in sorted(f for f in os.listdir(root) if f.lower().endswith(".pk3")):
        with zipfile.ZipFile(os.path.join(root, pk3)) as z:
            for name in z.namelist():
                files[name.lower()] = (z.filename, name)
    for top, _, names in os.walk(root):
        for n in names:
            path = os.path.relpath(os.path.join(top, n), root).replace(os.sep, "/")
            if not path.lower().endswith(".pk3"):
                files[path.lower()] = (None, os.path.join(top, n))
    return files


def read(files, path):
    where = files.get(path.lower())
    if where is None:
        return None
    archive, name = where
    if archive is None:
        return open(name, "rb").read()
    with zipfile.ZipFile(archive) as z:
        return z.read(name)


def cstr(b):
    return b.split(b"\0", 1)[0].decode("latin-1")


def md3_records(data):
    """The records of an MD3 file as comparable values."""
    h = struct.unpack_from("<4si64siiiiiiiii", data, 0)
    _, version, name, flags, nframes, ntags, nsurf, _, ofs_frames, ofs_tags, ofs_surf, _ = h
    frames = [struct.unpack_from("<10f16s", data, ofs_frames + 56 * f) for f in range(nframes)]
    frames = [(f[:10], cstr(f[10])) for f in frames]
    tags = [struct.unpack_from("<64s12f", data, ofs_tags + 112 * t) for t in range(nframes * ntags)]
    tags = [(cstr(t[0]),) + t[1:] for t in tags]
    surfaces, at = [], ofs_surf
    for _ in range(nsurf):
        s = struct.unpack_from("<4s64siiiiiiiiii", data, at)
        _, sname, sflags, sframes, nshaders, nverts, ntris, o_tri, o_sh, o_st, o_xyz, o_end = s
        shaders = [struct.unpack_from("<64si", data, at + o_sh + 68 * i) for i in range(nshaders)]
        surfaces.append((cstr(sname), sflags, sframes, [(cstr(n), i) for n, i in shaders],
                         data[at + o_tri:at + o_tri + 12 * ntris], data[at + o_st:at + o_st + 8 * nverts],
                         data[at + o_xyz:at + o_xyz + 8 * nverts * sframes]))
        at += o_end
    return (version, cstr(name), flags, frames, tags, surfaces)


def drawn(quillmo, root, name, env):
    """What the game makes of every surface of the character's parts under
    every skin (Quillmo --surfaces): the shader named, lower case, an image's
    extension aside, and what becomes of it."""
    run = subprocess.run([quillmo, "--surfaces", "--game-root", root, name, "--all-skins", "--format", "json"],
                         env=env, capture_output=True, text=True)
    try:
        report = json.loads(run.stdout)
    except ValueError:
        return None
    made = {}
    for s in report["surfaces"]:
        if s["part"] in PARTS:
            shader = re.sub(r"\.(tga|jpg|jpeg|png)$", "", (s["shader"] or "").lower().lstrip("/"))
            made[(s["part"], s["skin"], s["surface"])] = (shader, s["outcome"])
    return made


def animation_entries(text):
    """Keywords and the entries as the game holds them (legs moved into the
    legs file's numbering, rates as whole milliseconds)."""
    text = re.sub(r"//[^\n]*", "", text.decode("latin-1"))
    tokens = text.split()
    keywords, i = [], 0
    while i < len(tokens) and not tokens[i][0].isdigit():
        k = tokens[i].lower()
        n = {"footsteps": 1, "sex": 1, "headoffset": 3, "fixedlegs": 0, "fixedtorso": 0}.get(k)
        if n is None:
            i += 1
            continue
        keywords.append((k, tuple(tokens[i + 1:i + 1 + n])))
        i += 1 + n
    numbers = tokens[i:]
    entries = []
    for e in range(min(31, len(numbers) // 4)):
        first, count, loop = (int(re.match(r"-?\d*", x).group() or 0) for x in numbers[e * 4:e * 4 + 3])
        fps = float(re.match(r"-?[\d.]*", numbers[e * 4 + 3]).group() or 0) or 1.0
        entries.append([first, count, loop, int(1000 / fps)])
    if len(entries) > 13:
        shift = entries[13][0] - entries[6][0]
        for e in range(13, min(25, len(entries))):
            entries[e][0] -= shift
    # Entries the file leaves out after the first 25 play the gesture.
    while 25 <= len(entries) < 31:
        entries.append(list(entries[6]))
    return sorted(keywords), entries


def compare(quillmo, root, env, files, out_root, name, folder):
    problems = []
    out = lambda p: os.path.join(out_root, "models", "players", name, p)
    for part in PARTS:
        a, b = read(files, f"{folder}/{part}.md3"), open(out(part + ".md3"), "rb").read()
        if a == b:
            continue
        ra, rb = md3_records(a), md3_records(b)
        if ra != rb:
            which = [k for k, x, y in zip(("version", "name", "flags", "frames", "tags", "surfaces"), ra, rb) if x != y]
            problems.append(f"{part}.md3 differs in {', '.join(which)}")
    a, b = drawn(quillmo, root, name, env), drawn(quillmo, out_root, name, env)
    if a != b:
        problems.append("surfaces drawn otherwise" if a and b else "no report of its surfaces")
    original = read(files, f"{folder}/animation.cfg")
    if original is not None and animation_entries(original) != animation_entries(open(out("animation.cfg"), "rb").read()):
        problems.append("animation.cfg differs")
    return problems


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    quillmo, root, work = sys.argv[1:4]
    files = game_files(root)
    names = sys.argv[4:] or sorted({m.group(1) for p in files if (m := re.fullmatch(r"models/players/([^/]+)/lower\.md3", p))})
    os.makedirs(work, exist_ok=True)
    equal, rows = 0, []
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")
    for name in names:
        glb, out_root = os.path.join(work, name + ".glb"), os.path.join(work, "imported")
        folder = f"models/players/{name}"
        e = subprocess.run([quillmo, "--game-root", root, "--character", name, "--all-skins", "--export", glb],
                           env=env, capture_output=True, text=True)
        i = subprocess.run([quillmo, "--import", glb, "--to", out_root, "--name", name, "--force"],
                           env=env, capture_output=True, text=True) if os.path.exists(glb) else None
        if i is None or i.returncode == 2:
            problems = ["not imported: " + ((i.stderr if i else e.stderr).strip().splitlines() or ["?"])[-1]]
        else:
            problems = compare(quillmo, root, env, files, out_root, name, folder)
        equal += not problems
        rows.append((name, "equal" if not problems else "; ".join(problems)))
    width = max(len(n) for n, _ in rows)
    for name, result in rows:
        print(f"  {name:<{width}}  {result}")
    print(f"  {equal} of {len(rows)} characters come back equal")
    return 0 if equal == len(rows) else 1


if __name__ == "__main__":
    sys.exit(main())
