#!/usr/bin/env python3
"""Helper of scripts/conformance for packs (Python 3 standard library only).

Subcommands:
  split NAME GAMEDIR BASE WORK   the character NAME taken out of the game data
                                 of GAMEDIR: BASE gets the game data without it
                                 (every archive holding a file of the character
                                 or a shader of its folder rewritten without
                                 them, the others and every other file of
                                 GAMEDIR linked), WORK the character's loose
                                 files as a maker keeps them: its folder, its
                                 sounds, and its shaders in scripts/NAME_work.shader
  compare MANIFEST               compares, character by character, what the
                                 game made of the character from the game data
                                 as installed and from its pack laid over BASE;
                                 prints the table and every mismatch; exit 0
                                 when nothing differs, 1 otherwise
"""

import os
import re
import sys
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from conformance_compare import (EngineLog, game_order_key, md3_shader_names, print_table,  # noqa: E402
                                 shader_key, skin_shader_names, strip_extension)

# --------------------------------------------------------------------------
# Shader scripts: top-level definitions and where they lie in the text


def definitions(text):
    """[(name, start, end)] of every definition of a shader script, from its
    name to its closing brace; None when the braces do not balance."""
    found, i, n = [], 0, len(text)
    depth, name, start = 0, None, 0
    while i < n:
        c = text[i]
        if c.isspace():
            i += 1
            continue
        if text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
            continue
        if text.startswith("/*", i):
            j = text.find("*/", i + 2)
            i = n if j < 0 else j + 2
            continue
        if c == '"':
            j = text.find('"', i + 1)
            j = n if j < 0 else j + 1
            word, begin, i = text[i + 1:j - 1], i, j
        else:
            begin = i
            while i < n and not text[i].isspace():
                i += 1
            word = text[begin:i]
        if word == "{":
            if depth == 0 and name is None:
                return None
            depth += 1
        elif word == "}":
            if depth == 0:
                return None
            depth -= 1
            if depth == 0:
                found.append((name, start, begin + 1))
                name = None
        elif depth == 0:
            if name is not None:
                return None
            name, start = word.lower(), begin
    return None if depth or name is not None else found


def belongs(path, name):
    low = path.lower().replace("\\", "/")
    return low.startswith("models/players/%s/" % name) or low.startswith("sound/player/%s/" % name)


def is_script(path):
    low = path.lower()
    return low.startswith("scripts/") and low.endswith(".shader") and "/" not in low[len("scripts/"):]


def split(name, gamedir, base, work):
    name = name.lower()
    folder = "models/players/%s/" % name
    os.makedirs(base, exist_ok=True)
    archives = sorted((e for e in os.listdir(gamedir) if e.lower().endswith(".pk3")
                       and os.path.isfile(os.path.join(gamedir, e))), key=game_order_key)
    for entry in os.listdir(gamedir):
        if entry not in archives:
            os.symlink(os.path.realpath(os.path.join(gamedir, entry)), os.path.join(base, entry))
    files = {}     # the character's files by lower-cased path: the later archive wins
    scripts = {}   # lower-cased script path -> (its text in the archive that wins, archive index)
    listed = []    # per archive, its scripts in the order of its central directory
    for index, archive in enumerate(archives):
        source = os.path.realpath(os.path.join(gamedir, archive))
        with zipfile.ZipFile(source) as z:
            infos = [i for i in z.infolist() if not i.filename.endswith("/")]
            own_scripts = {}
            names = []
            for i in infos:
                if is_script(i.filename):
                    text = z.read(i).decode("latin-1")
                    scripts[i.filename.lower()] = (text, index)
                    names.append(i.filename.lower())
                    spans = definitions(text)
                    own = [sp for sp in spans or [] if sp[0].startswith(folder)]
                    if own:
                        own_scripts[i.filename] = (text, own)
            listed.append(names)
            mine = [i for i in infos if belongs(i.filename, name)]
            if not mine and not own_scripts:
                os.symlink(source, os.path.join(base, archive))
                continue
            for i in mine:
                files[i.filename.lower()] = (i.filename, z.read(i))
            # The archive again without the character: its files left out,
            # its shaders cut from the scripts; stored, which is quick.
            with zipfile.ZipFile(os.path.join(base, archive), "w", zipfile.ZIP_STORED) as out:
                for i in infos:
                    if belongs(i.filename, name):
                        continue
                    data = z.read(i)
                    if i.filename in own_scripts:
                        text, own = own_scripts[i.filename]
                        kept, at = [], 0
                        for _, start, end in own:
                            kept.append(text[at:start])
                            at = end
                        kept.append(text[at:])
                        data = "".join(kept).encode("latin-1")
                    out.writestr(zipfile.ZipInfo(i.filename, date_time=i.date_time), data)
    # The character's shaders in the order the game meets them: it lists the
    # scripts archive by archive, the last first, each name once where it is
    # met first (the version of the last archive holding it), and joins their
    # texts in the opposite order; the first definition of a name counts.
    seen, order = set(), []
    for names in reversed(listed):
        for n in names:
            if n not in seen:
                seen.add(n)
                order.append(n)
    shaders = []
    for n in reversed(order):
        text, _ = scripts[n]
        shaders += [text[start:end] for own, start, end in definitions(text) or [] if own.startswith(folder)]
    for stored, data in files.values():
        path = os.path.join(work, stored)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as fh:
            fh.write(data)
    if shaders:
        os.makedirs(os.path.join(work, "scripts"), exist_ok=True)
        with open(os.path.join(work, "scripts", name + "_work.shader"), "w", encoding="latin-1") as fh:
            fh.write("\n\n".join(shaders) + "\n")
    print("%d files, %d shaders" % (len(files), len(shaders)))


# --------------------------------------------------------------------------
# The comparison


def named_shaders(log, folder):
    """The shaders the character's MD3 and skin files name, as the game read them."""
    names = set()
    for path in sorted({p for p, _ in log.opened if p.startswith(folder)}):
        data = log.read_opened(path) or b""
        if path.endswith(".md3"):
            names.update(shader_key(strip_extension(n)) for n in md3_shader_names(data))
        elif path.endswith(".skin"):
            names.update(shader_key(strip_extension(n)) for n in skin_shader_names(data))
    return names


def figures(entries):
    return sorted((e["passes"], e["explicit"], e["defaulted"]) for e in entries if not e["lightmap"])


def compare_pack(label, name, original_log, pack_log, pack_status):
    folder = "models/players/%s/" % name
    bad = []
    if pack_status != "written":
        return [label, 0, 0, 1, pack_status], ["%s: the pack was not written: %s" % (label, pack_status)]
    game, packed = EngineLog(original_log), EngineLog(pack_log)
    if not game.complete or not packed.complete:
        return [label, 0, 0, 1, "-"], ["%s: a run of the game left no shader or image list" % label]
    if game.error or packed.error:
        same = (game.error or "").split(" (the file opened last")[0] == (packed.error or "").split(" (the file")[0]
        row = [label, 0, 0, 0 if same else 1, "stopped"]
        return row, [] if same else ["%s: the game stopped differently: %s / %s" % (label, game.error, packed.error)]
    named = named_shaders(game, folder)
    keys = {k for k in game.shaders if k.startswith(folder) or k in named}
    keys |= {k for k in packed.shaders if k.startswith(folder)}
    for key in sorted(keys):
        a, b = figures(game.shaders.get(key, [])), figures(packed.shaders.get(key, []))
        if a != b:
            bad.append("%s: shader %s: from the game data %s, from the pack %s" % (label, key, a or "not listed",
                                                                                 b or "not listed"))
    images = {k for k in game.images | packed.images if k.startswith(folder)}
    for key in sorted(images):
        if (key in game.images) != (key in packed.images):
            bad.append("%s: image %s: made %s" % (label, key, "from the game data only" if key in game.images
                                                  else "from the pack only"))
    return [label, len(keys), len(images), len(bad), "written"], bad


def compare(manifest):
    rows, lines = [], []
    with open(manifest, encoding="utf-8") as fh:
        for line in fh:
            label, name, original, pack, status = line.rstrip("\n").split("\t")
            row, bad = compare_pack(label, name, original, pack, status)
            rows.append(row)
            lines += bad
    head = ["character", "shaders compared", "images compared", "mismatches", "pack"]
    table = [[str(c) for c in r] for r in rows]
    total = ["total", str(sum(r[1] for r in rows)), str(sum(r[2] for r in rows)), str(sum(r[3] for r in rows)), ""]
    print_table(head, table, total, lines, left=(0, 4))
    return 1 if lines else 0


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    cmd, args = argv[1], argv[2:]
    if cmd == "split" and len(args) == 4:
        split(*args)
    elif cmd == "compare" and len(args) == 1:
        return compare(args[0])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
