#!/usr/bin/env python3
"""Helper of scripts/conformance (Python 3 standard library only).

Subcommands:
  characters ARCHIVE...      one line per character of the archives:
                             NAME SKIN SKIN ... (lower-cased, name order)
  weapons ARCHIVE...         one line per weapon (models/weapons2/W/W.md3)
  flatten GAMEDIR OUT.pk3    one archive holding what GAMEDIR holds as the
                             game reads it: its archives in the game's order,
                             a later one over an earlier one, loose files over
                             every archive (names compared without case)
  last-in-order NAME DIR     exit 0 when NAME sorts after every other *.pk3
                             of DIR in the game's archive order
  tga2png IN.tga OUT.png     an uncompressed true-colour Targa as PNG
  compare MANIFEST           compares the game's logs with Quillmo's reports,
                             prints the table and every mismatch; exit 0 when
                             nothing differs, 1 on a mismatch, 2 when a run
                             is missing
"""

import json
import os
import re
import struct
import sys
import zipfile
import zlib

# --------------------------------------------------------------------------
# Game data


def game_order_key(name):
    """The order the game mounts archives in (later ones win): letters
    compared as capitals, bytes from 0x80 up before every other byte."""
    key = []
    for b in name.encode("utf-8", "surrogateescape"):
        if 0x61 <= b <= 0x7A:
            b -= 0x20
        key.append(b - 256 if b >= 0x80 else b)
    return key


def archive_names(path):
    with zipfile.ZipFile(path) as z:
        return [n for n in z.namelist() if not n.endswith("/")]


CHARACTER_PART = re.compile(r"^models/players/([^/]+)/(lower|upper|head)\.md3$")
LOWER_SKIN = re.compile(r"^models/players/([^/]+)/lower_(.+)\.skin$")


def list_characters(archives):
    parts, skins = set(), {}
    for a in archives:
        for n in archive_names(a):
            low = n.lower().replace("\\", "/")
            m = CHARACTER_PART.match(low)
            if m:
                parts.add(m.group(1))
            m = LOWER_SKIN.match(low)
            if m:
                skins.setdefault(m.group(1), set()).add(m.group(2))
    return [(c, sorted(skins.get(c, ()))) for c in sorted(parts)]


def list_weapons(archives):
    found = set()
    for a in archives:
        for n in archive_names(a):
            m = re.match(r"^models/weapons2/([^/]+)/([^/]+)\.md3$", n.lower())
            if m and m.group(1) == m.group(2):
                found.add(m.group(1))
    return sorted(found)


def flatten(gamedir, out):
    """Writes one archive with the files gamedir's game data shows."""
    entries = {}  # lower-cased name -> (name as stored, bytes)
    sources = []
    for n in os.listdir(gamedir):
        p = os.path.join(gamedir, n)
        if n.lower().endswith(".pk3") and os.path.isfile(p):
            sources.append(n)
        elif n.lower().endswith(".pk3dir") and os.path.isdir(p):
            sources.append(n)
    for n in sorted(sources, key=game_order_key):
        p = os.path.join(gamedir, n)
        if os.path.isdir(p):
            for name, data in loose_files(p, skip_archives=False):
                entries[name.lower()] = (name, data)
        else:
            with zipfile.ZipFile(p) as z:
                for info in z.infolist():
                    if not info.filename.endswith("/"):
                        entries[info.filename.lower()] = (info.filename, z.read(info))
    for name, data in loose_files(gamedir, skip_archives=True):
        entries[name.lower()] = (name, data)
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for key in sorted(entries):
            name, data = entries[key]
            info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            z.writestr(info, data)
    return len(entries)


def loose_files(root, skip_archives):
    for d, dirs, files in os.walk(root):
        rel = os.path.relpath(d, root)
        if skip_archives:
            dirs[:] = [x for x in dirs if not (rel == "." and x.lower().endswith(".pk3dir"))]
        dirs.sort()
        for f in sorted(files):
            if skip_archives and rel == "." and f.lower().endswith(".pk3"):
                continue
            name = f if rel == "." else rel.replace(os.sep, "/") + "/" + f
            with open(os.path.join(d, f), "rb") as fh:
                yield name, fh.read()


def tga_to_png(src, dst):
    with open(src, "rb") as fh:
        data = fh.read()
    idlen, cmaptype, kind = data[0], data[1], data[2]
    width, height, bpp, desc = struct.unpack_from("<HHBB", data, 12)
    if kind != 2 or cmaptype != 0 or bpp not in (24, 32):
        raise SystemExit("tga2png: %s is not an uncompressed true-colour Targa" % src)
    step = bpp // 8
    offset = 18 + idlen
    rows = []
    for y in range(height):
        row = data[offset + y * width * step: offset + (y + 1) * width * step]
        rgb = bytearray(width * 3)
        rgb[0::3] = row[2::step]
        rgb[1::3] = row[1::step]
        rgb[2::3] = row[0::step]
        rows.append(bytes(rgb))
    if not desc & 0x20:  # bottom-left origin: the first row stored is the lowest
        rows.reverse()
    raw = b"".join(b"\0" + r for r in rows)

    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b"")
    with open(dst, "wb") as fh:
        fh.write(png)


# --------------------------------------------------------------------------
# The game's console log

SHADER_LINE = re.compile(
    r"^(\d+) (L | {2})(MT\(.\) | {6})(E | {2})(.{4}): (.*?)( \(DEFAULTED\))?$")
IMAGE_LINE = re.compile(r"^\s*\d+:\s*\d+x\s*\d+\s+\S+\s+\d+\s?[kMG]?b\s+(.+?)\s*$")
OPENED_LINE = re.compile(r"^FS_FOpenFileRead: (.*) \(found in '(.*)'\)$")


def shader_key(name):
    return name.lower().replace("\\", "/")


def strip_extension(name):
    """The name without its extension, as the game names shaders."""
    dot, slash = name.rfind("."), max(name.rfind("/"), name.rfind("\\"))
    return name[:dot] if dot > slash else name


def image_key(name):
    key = name.lower().replace("\\", "/")
    return key[1:] if key.startswith("/") else key


class EngineLog:
    """What one run of the game registered and opened."""

    def __init__(self, path):
        with open(path, encoding="latin-1") as fh:
            lines = [l.rstrip("\r\n") for l in fh]
        self.shaders = {}  # key -> [dict(passes, explicit, defaulted, lightmap, name)]
        self.images = set()
        self.opened = []  # (key of the path, where)
        self.complete = False
        self.error = None  # the first error that ended the level, with the file opened last
        self.error_file = None
        shader_block, image_block = self._last_blocks(lines)
        for line in shader_block:
            m = SHADER_LINE.match(line)
            if m:
                self.shaders.setdefault(shader_key(m.group(6)), []).append({
                    "name": m.group(6), "passes": int(m.group(1)),
                    "lightmap": m.group(2) == "L ", "explicit": m.group(4) == "E ",
                    "defaulted": m.group(7) is not None})
        for line in image_block:
            m = IMAGE_LINE.match(line)
            if m:
                self.images.add(image_key(m.group(1)))
        last_opened = None
        for line in lines:
            m = OPENED_LINE.match(line)
            if m:
                self.opened.append((image_key(m.group(1)), m.group(2)))
                last_opened = m.group(1)
            elif line.startswith("ERROR: ") and self.error is None:
                self.error = "%s (the file opened last: %s)" % (line[7:], last_opened)
                self.error_file = last_opened
        self.complete = bool(shader_block) and bool(image_block)

    @staticmethod
    def _last_blocks(lines):
        shaders, images = [], []
        for i, line in enumerate(lines):
            if re.match(r"^\d+ total shaders$", line):
                j = i - 1
                while j >= 0 and lines[j] != "-----------------------":
                    j -= 1
                shaders = lines[j + 1:i]
            elif re.match(r"^\s*-w-- -h-- type", line):
                j = i + 1
                while j < len(lines) and not re.match(r"^\s*-+\s*$", lines[j]):
                    j += 1
                images = lines[i + 1:j]
        return shaders, images

    def where_opened(self, path):
        key = image_key(path)
        return [w for k, w in self.opened if k == key]

    def read_opened(self, path):
        """The bytes of a file as the game found it, or None."""
        for where in self.where_opened(path):
            try:
                if where.lower().endswith(".pk3"):
                    with zipfile.ZipFile(where) as z:
                        for n in z.namelist():
                            if image_key(n) == image_key(path):
                                return z.read(n)
                else:
                    with open(os.path.join(where, path), "rb") as fh:
                        return fh.read()
            except (OSError, zipfile.BadZipFile, KeyError):
                pass
        return None


def md3_shader_names(data):
    """Every shader name of every surface of an MD3 file ([] when unreadable)."""
    names = []
    try:
        if data[:4] != b"IDP3":
            return names
        num_surfaces = struct.unpack_from("<i", data, 84)[0]
        ofs_surfaces = struct.unpack_from("<i", data, 100)[0]
        pos = ofs_surfaces
        for _ in range(max(0, min(num_surfaces, 256))):
            num_shaders = struct.unpack_from("<i", data, pos + 76)[0]
            ofs_shaders = struct.unpack_from("<i", data, pos + 92)[0]
            ofs_end = struct.unpack_from("<i", data, pos + 104)[0]
            for s in range(max(0, min(num_shaders, 256))):
                raw = data[pos + ofs_shaders + s * 68: pos + ofs_shaders + s * 68 + 64]
                names.append(raw.split(b"\0", 1)[0].decode("latin-1"))
            if ofs_end <= 0:
                break
            pos += ofs_end
    except struct.error:
        pass
    return names


def skin_shader_names(data):
    names = []
    for line in data.decode("latin-1").splitlines():
        surface, _, shader = line.partition(",")
        if shader.strip() and not surface.strip().lower().startswith("tag_"):
            names.append(shader.strip())
    return names


# --------------------------------------------------------------------------
# The comparison


def describe(claim):
    if claim is None:
        return "not listed"
    return "passes %s%s%s" % (claim["passes"], ", E" if claim["explicit"] else "",
                              ", DEFAULTED" if claim["defaulted"] else "")


def where_used(surface):
    use = surface.get("use")
    how = ("skin " + str(surface.get("skin"))) if use == "skin" else "its MD3"
    return "%s %s (%s)" % (surface.get("part"), surface.get("surface"), how)


def compare_character(entry, log_path, reports):
    """Returns (row, mismatch lines, note lines) of one character."""
    label, name, skins = entry["label"], entry["name"], entry["skins"]
    bad, notes = [], []
    game = EngineLog(log_path) if os.path.exists(log_path) else None
    if game is None or not game.complete:
        return None, ["%s: the game's log has no shader or image list (%s)" % (label, log_path)], notes
    if game.error:
        # The game left the level and started its renderer again: its lists
        # are the menu's, not the character's, so nothing else is compared.
        # Quillmo agrees when its report says the game refuses the very file
        # the game opened last.
        refused = set()
        for _weapon, path, _status in reports:
            try:
                with open(path, encoding="utf-8") as fh:
                    report = json.load(fh)
            except (OSError, ValueError):
                continue
            for image in report.get("images") or []:
                if image.get("gameRefuses"):
                    refused.add(image_key(image.get("path") or ""))
        row = {"label": label, "shaders": 0, "images": 0, "mismatches": 1, "icons": 0, "lods": 0}
        if game.error_file and image_key(game.error_file) in refused:
            row["mismatches"] = 0
            return (row, [], ["%s: the game stops the level, as Quillmo says it does: %s" % (label, game.error)])
        return (row, ["%s: the game stopped the level: %s" % (label, game.error)], notes)

    claims, images, quillmo_skins = {}, {}, set()
    for weapon, path, status in reports:
        try:
            with open(path, encoding="utf-8") as fh:
                report = json.load(fh)
        except (OSError, ValueError) as e:
            bad.append("%s: Quillmo wrote no report with weapon %s (exit %s, %s)" % (label, weapon, status, e))
            continue
        quillmo_skins.update(s.lower() for s in report.get("skins") or [])
        for s in report.get("surfaces") or []:
            if not s.get("shader"):
                continue
            key = shader_key(s["shader"])
            claims.setdefault(key, []).append((s.get("shaderlist"), s))
        for im in report.get("images") or []:
            images.setdefault(image_key(im.get("name") or ""), im)
    if quillmo_skins and quillmo_skins != set(skins):
        bad.append("%s: skins: the archives hold %s, Quillmo reports %s" % (
            label, " ".join(skins) or "none", " ".join(sorted(quillmo_skins)) or "none"))

    # Every shader Quillmo names, against the game's list. The game lists a
    # name once per light map; a model's shaders are those without one.
    for key in sorted(claims):
        values = {json.dumps(c, sort_keys=True) for c, _ in claims[key]}
        if len(values) > 1:
            bad.append("%s: shader %s: Quillmo reports it in %d different ways: %s" % (
                label, key, len(values), "; ".join(sorted(values))))
        claim, surface = claims[key][0]
        listed = [e for e in game.shaders.get(key, []) if not e["lightmap"]]
        if claim is None:
            if listed:
                bad.append("%s: shader %s (%s): Quillmo: not registered, game: %s" % (
                    label, key, where_used(surface), describe(listed[0])))
            continue
        want = {"passes": claim.get("passes"), "explicit": bool(claim.get("explicit")),
                "defaulted": bool(claim.get("defaulted"))}
        if not listed:
            bad.append("%s: shader %s (%s): Quillmo: %s, game: not in its list" % (
                label, key, where_used(surface), describe(want)))
        elif not any(all(e[k] == want[k] for k in want) for e in listed):
            bad.append("%s: shader %s (%s): Quillmo: %s, game: %s" % (
                label, key, where_used(surface), describe(want), describe(listed[0])))

    # Every image Quillmo reads, against the game's list and the files it opened.
    for key in sorted(images):
        im = images[key]
        if not im.get("path"):
            if key in game.images:
                bad.append("%s: image %s: Quillmo finds no file, the game made it" % (label, key))
            continue
        if key not in game.images:
            bad.append("%s: image %s: Quillmo reads %s, the game did not make it" % (label, key, im["path"]))
            continue
        places = game.where_opened(im["path"])
        archive = im.get("archive") or ""
        ok = any(same_place(archive, w) for w in places)
        if not ok:
            bad.append("%s: image %s: Quillmo reads %s from %s, the game %s" % (
                label, key, im["path"], os.path.basename(archive) or "?",
                ("read it from " + ", ".join(sorted({os.path.basename(w) for w in places})))
                if places else "never opened that file"))

    # Shaders the game registers for the character and Quillmo never names:
    # those of the character's folder, and those named by the character's
    # skin files and MD3 files wherever they are. The renderer registers the
    # shader names of every MD3 it loads, also of the levels of detail
    # (lower_1.md3, ...) that Quillmo does not draw; those are told apart by
    # reading the MD3 and skin files the game opened, and counted, not
    # compared. The icons are the game's own.
    folder = "models/players/%s/" % name
    main, lods, skinned = set(), set(), set()
    for path in sorted({p for p, _ in game.opened if p.startswith(folder)}):
        data = None
        if path.endswith(".md3"):
            data = game.read_opened(path)
            names = {shader_key(strip_extension(n)) for n in md3_shader_names(data or b"")}
            (lods if re.search(r"_\d\.md3$", path) else main).update(names)
        elif path.endswith(".skin"):
            data = game.read_opened(path)
            skinned.update(shader_key(strip_extension(n)) for n in skin_shader_names(data or b""))
    not_compared = {"icon": 0, "lod": 0}
    for key in sorted(game.shaders):
        if key in claims or not (key.startswith(folder) or key in main or key in skinned):
            continue
        if os.path.basename(key).startswith("icon_"):
            not_compared["icon"] += 1
        elif key in lods and key not in main and key not in skinned:
            not_compared["lod"] += 1
        else:
            origin = ("a skin line" if key in skinned else
                      "a surface of a part's MD3" if key in main else "unknown")
            bad.append("%s: shader %s: the game registers it (%s: %s), Quillmo does not report it" % (
                label, key, origin, describe(game.shaders[key][0])))

    # What the game did instead of what it was asked: a skin it refused (it
    # then shows its default character, whose animation.cfg it reads again),
    # a skin or weapon it never loaded.
    opened = {p for p, _ in game.opened}
    skin, refused = None, {}
    for path, _ in game.opened:
        m = re.match(re.escape(folder) + r"lower_(.+)\.skin$", path)
        if m:
            skin = m.group(1)
        elif skin and path.endswith("/animation.cfg") and not path.startswith(folder):
            refused.setdefault(skin, path.split("/")[2])
    for skin in skins:
        if folder + "lower_%s.skin" % skin not in opened:
            notes.append("%s: the game did not load skin %s" % (label, skin))
        elif skin in refused:
            icon = folder + "icon_%s.tga" % skin
            notes.append("%s: the game refused skin %s and shows %s instead%s" % (
                label, skin, refused[skin], "" if icon in opened else " (it opened no icon_%s.tga)" % skin))
    for weapon in entry.get("weapons", []):
        if "models/weapons2/%s/%s.md3" % (weapon, weapon) not in opened:
            notes.append("%s: the game did not load weapon %s" % (label, weapon))

    row = {"label": label, "shaders": len(claims), "images": len(images), "mismatches": len(bad),
           "icons": not_compared["icon"], "lods": not_compared["lod"]}
    return row, bad, notes


def same_place(quillmo, game):
    """Same archive (by file name) or both loose files."""
    q_arch, g_arch = quillmo.lower().endswith(".pk3"), game.lower().endswith(".pk3")
    if q_arch and g_arch:
        return os.path.basename(quillmo).lower() == os.path.basename(game).lower()
    return not q_arch and not g_arch


def read_manifest(path):
    """One character a line, fields separated by TABs: label, name, skins,
    weapons (both separated by spaces), the game's log, the folder holding
    Quillmo's reports (WEAPON.json and WEAPON.status)."""
    entries = []
    with open(path, encoding="utf-8") as fh:
        for line in fh:
            label, name, skins, weapons, log, reports = line.rstrip("\n").split("\t")
            entry = {"label": label, "name": name, "skins": skins.split(), "weapons": weapons.split(),
                     "log": log, "reports": []}
            for w in entry["weapons"]:
                try:
                    with open(os.path.join(reports, w + ".status")) as fh2:
                        status = int(fh2.read().strip() or "2")
                except (OSError, ValueError):
                    status = "none"
                entry["reports"].append({"weapon": w, "json": os.path.join(reports, w + ".json"),
                                         "status": status})
            entries.append(entry)
    return entries


def print_table(head, table, total, mismatches, left=(0,)):
    """The table, columns left in left and right-aligned elsewhere, then
    the mismatches."""
    widths = [max(len(x[i]) for x in [head] + table + [total]) for i in range(len(head))]

    def fmt(cells):
        return " | ".join(c.ljust(w) if i in left else c.rjust(w) for i, (c, w) in enumerate(zip(cells, widths)))
    print(fmt(head))
    print("-+-".join("-" * w for w in widths))
    for cells in table:
        print(fmt(cells))
    print("-+-".join("-" * w for w in widths))
    print(fmt(total))
    if mismatches:
        print("\nMismatches:")
        for line in mismatches:
            print("  " + line)


def compare(manifest_path):
    manifest = {"characters": read_manifest(manifest_path)}
    rows, lines, notes, failed = [], [], [], False
    for entry in manifest["characters"]:
        reports = [(w["weapon"], w["json"], w["status"]) for w in entry["reports"]
                   if w["status"] in (0, 1)]
        for w in entry["reports"]:
            if w["status"] not in (0, 1):
                failed = True
                lines.append("%s: Quillmo could not run with weapon %s (exit %s)" % (
                    entry["label"], w["weapon"], w["status"]))
        row, bad, note = compare_character(entry, entry["log"], reports)
        if row is None:
            failed = True
            row = {"label": entry["label"], "shaders": 0, "images": 0, "mismatches": len(bad),
                   "icons": 0, "lods": 0}
        rows.append(row)
        lines += bad
        notes += note

    head = ["character", "shaders compared", "images compared", "mismatches", "not compared (icons, levels of detail)"]
    table = [[r["label"], str(r["shaders"]), str(r["images"]), str(r["mismatches"]),
              "%d, %d" % (r["icons"], r["lods"])] for r in rows]
    total = ["total"] + [str(sum(r[k] for r in rows)) for k in ("shaders", "images", "mismatches")]
    total.append("%d, %d" % (sum(r["icons"] for r in rows), sum(r["lods"] for r in rows)))
    print_table(head, table, total, lines)
    if notes:
        print("\nNotes:")
        for l in notes:
            print("  " + l)
    if failed:
        return 2
    return 1 if any(r["mismatches"] for r in rows) or lines else 0


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    cmd, args = argv[1], argv[2:]
    if cmd == "characters":
        for name, skins in list_characters(args):
            print(" ".join([name] + skins))
    elif cmd == "weapons":
        for w in list_weapons(args):
            print(w)
    elif cmd == "flatten" and len(args) == 2:
        print(flatten(args[0], args[1]))
    elif cmd == "last-in-order" and len(args) == 2:
        others = [n for n in os.listdir(args[1]) if n.lower().endswith(".pk3") and n != args[0]]
        return 0 if all(game_order_key(n) < game_order_key(args[0]) for n in others) else 1
    elif cmd == "tga2png" and len(args) == 2:
        tga_to_png(args[0], args[1])
    elif cmd == "compare" and len(args) == 1:
        return compare(args[0])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
