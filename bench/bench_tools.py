#!/usr/bin/env python3
"""Measurements that are not Google Benchmark programs, and the summary table.

    bench_tools.py startup OUT.json ROUNDS -- FLOOR_CMD... -- VIEWER_CMD...
        process start to exit of both commands, run alternately ROUNDS times
    bench_tools.py idle OUT.json SECONDS RUNS SWAP_COUNTER.so -- VIEWER_CMD...
        frames per second and CPU use of the running viewer's message loop
    bench_tools.py draw OUT.json FRAMES PROGRAM_N PROGRAM_0 REFERENCE_N REFERENCE_0
        instructions per frame from four callgrind profiles
    bench_tools.py stages OUT.json FRAMES ALL_N ALL_0 FIRST_N FIRST_0
        instructions per frame with every shader stage and with the first
        only, and the share of our per-vertex work, from four profiles
    bench_tools.py sheet OUT.json ROUNDS QUILLMO GAME_ROOT NAME...
        one contact sheet of the characters against one screenshot process per
        character, run alternately ROUNDS times
    bench_tools.py jobs OUT.json ROUNDS QUILLMO GAME_ROOT
        --check --jobs 1 against --jobs 2 on a collection, run alternately ROUNDS times
    bench_tools.py peak-memory OUT.json ROUNDS QUILLMO BOMB.pk3 NORMAL.pk3
        peak memory of a thumbnail of each archive, run alternately ROUNDS times
    bench_tools.py record-memory OUT.json ROUNDS QUILLMO GAME_ROOT NAME
        peak memory of a 10 s and a 100 s recording (GIF and WebP) of the
        character, run alternately ROUNDS times
    bench_tools.py export-memory OUT.json QUILLMO
        peak memory of --export for characters whose every file is a
        worst case under 1 MB (most frames, most vertices, most tags)
    bench_tools.py table RESULTS_DIR PLOT.png
        prints the table of ratios and draws load time against file size

Every ratio is taken between measurements made side by side in one run;
times are medians of the repeated runs.
"""
import json
import os
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time

import callgrind_costs

# Targets.
LOAD_FLOOR_RATIO = 1.5      # LoadMD3 / raw read, parts of LOAD_FLOOR_MIN_BYTES and more
LOAD_FLOOR_MIN_BYTES = 500_000
LOAD_PEER_SPEEDUP = 3.0     # peer without post-processing / LoadMD3
DRAW_RATIO = 1.25           # instructions of DrawPlayer / reference
PER_VERTEX_SHARE = 25.0     # % of a shaded frame's instructions spent in our per-vertex work
STARTUP_RATIO = 4.0         # viewer start-up / empty-window floor
STARTUP_LIMIT_S = 0.5
IDLE_FPS_LIMIT = 105.0      # the 10 ms timer floor gives about 100
SHEET_CELL_RATIO = 1.5      # contact sheet per cell / load + draw + read one frame
SHEET_PROCESS_RATIO = 0.6   # one sheet process / one screenshot process per character
COLLECTION_RATIO = 1.2      # large collection / small one: time and heap per archive
JOBS_SPEEDUP = 1.6          # --check --jobs 1 / --jobs 2 on a collection
THUMBNAIL_MEMORY_RATIO = 2.0  # peak memory: thumbnail of the image bomb / of a normal character
RECORD_MEMORY_RATIO = 2.0     # peak memory: a 100 s recording / a 10 s one (it holds no picture)
RECORD_SECONDS = (10, 100)
EXPORT_LOAD_RATIO = 3.0     # .glb export of the largest sample character / its load
EXPORT_BYTES_RATIO = 1.5    # .glb bytes / the character's MD3 bytes
EXPORT_MEMORY_LIMIT_MB = 1024  # peak memory of an export whose every file is under 1 MB
MOST_INPUT_BYTES = 1 << 20


def split_commands(argv):
    commands, current = [], []
    for arg in argv:
        if arg == "--":
            if current:
                commands.append(current)
            current = []
        else:
            current.append(arg)
    if current:
        commands.append(current)
    return commands


def run_timed(command):
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        raise SystemExit(f"{command[0]} exited with {result.returncode}")
    return elapsed


def startup(out, rounds, floor, viewer):
    for command in (floor, viewer):  # warm the page cache and the loader
        run_timed(command)
    floors, viewers = [], []
    for _ in range(rounds):
        floors.append(run_timed(floor))
        viewers.append(run_timed(viewer))
    result = {"floor_s": statistics.median(floors), "viewer_s": statistics.median(viewers),
              "rounds": rounds, "floor": floor, "viewer": viewer}
    save(out, result)


def sheet(out, rounds, quillmo, game, names):
    with tempfile.TemporaryDirectory() as folder:
        whole = [quillmo, "--contact-sheet", os.path.join(folder, "sheet.png"), "--game-root", game]
        singles = [[quillmo, "--game-root", game, "--character", name, "--frames", "1",
                    "--screenshot", os.path.join(folder, name + ".png")] for name in names]
        for command in [whole] + singles:  # warm the page cache and the loader
            run_timed(command)
        sheets, screenshots = [], []
        for _ in range(rounds):
            sheets.append(run_timed(whole))
            screenshots.append(sum(run_timed(command) for command in singles))
    save(out, {"sheet_s": statistics.median(sheets), "screenshots_s": statistics.median(screenshots),
               "characters": len(names), "rounds": rounds})


def sheet_rows(folder):
    """Table rows of the contact sheet's two measurements."""
    rows = []
    cells = {}
    for entry in json.load(open(os.path.join(folder, "sheet.json")))["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            variant, name = entry["run_name"].split("/", 1)
            cells.setdefault(name, {})[variant] = entry["real_time"]
    print("\nContact sheet per cell (median wall time of interleaved repetitions, ms)")
    for name, times in sorted(cells.items()):
        print(f"  {name:12} cell {times['Cell']:7.2f}  load + draw + read {times['Floor']:7.2f}  "
              f"÷ {times['Cell'] / times['Floor']:.2f}")
    worst = max(cells, key=lambda n: cells[n]["Cell"] / cells[n]["Floor"])
    ratio = cells[worst]["Cell"] / cells[worst]["Floor"]
    rows.append((f"sheet, worst cell ({worst}) ÷ load + draw + read one frame", ratio, f"<= {SHEET_CELL_RATIO}",
                 verdict(ratio <= SHEET_CELL_RATIO)))
    processes = json.load(open(os.path.join(folder, "sheet_processes.json")))
    ratio = processes["sheet_s"] / processes["screenshots_s"]
    print(f"Contact sheet of {processes['characters']} characters, median of {processes['rounds']} alternating "
          f"runs: {processes['sheet_s'] * 1e3:.1f} ms, one screenshot process each "
          f"{processes['screenshots_s'] * 1e3:.1f} ms in all")
    rows.append(("sheet of all sample characters ÷ a screenshot process each", ratio, f"<= {SHEET_PROCESS_RATIO}",
                 verdict(ratio <= SHEET_PROCESS_RATIO)))
    return rows


def run_checked(command, allowed=(0, 1)):
    """Wall seconds and peak resident kilobytes of one run of command."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if code not in allowed:
        raise SystemExit(f"{' '.join(command)} ended with {code}")
    return elapsed, usage.ru_maxrss


def jobs(out, rounds, quillmo, game):
    times = {1: [], 2: []}
    for _ in range(rounds):
        for count in (1, 2):
            times[count].append(run_checked([quillmo, "--check", "--jobs", str(count), "--game-root", game])[0])
    save(out, {"one_s": statistics.median(times[1]), "two_s": statistics.median(times[2]), "rounds": rounds,
               "game": game})


def peak_memory(out, rounds, quillmo, bomb, normal):
    peaks = {"bomb": [], "normal": []}
    with tempfile.TemporaryDirectory() as folder:
        for _ in range(rounds):
            for name, archive in (("bomb", bomb), ("normal", normal)):
                picture = os.path.join(folder, name + ".png")
                peaks[name].append(run_checked([quillmo, "--thumbnail", archive, picture], allowed=(0,))[1])
    save(out, {"bomb_kb": statistics.median(peaks["bomb"]), "normal_kb": statistics.median(peaks["normal"]),
               "rounds": rounds})


def record_memory(out, rounds, quillmo, game, name):
    peaks = {(kind, seconds): [] for kind in ("gif", "webp") for seconds in RECORD_SECONDS}
    with tempfile.TemporaryDirectory() as folder:
        for _ in range(rounds):
            for kind, seconds in peaks:
                picture = os.path.join(folder, f"{seconds}.{kind}")
                peaks[(kind, seconds)].append(run_checked(
                    [quillmo, "--game-root", game, "--character", name, "--record", picture, "--seconds",
                     str(seconds)], allowed=(0, 1))[1])
    save(out, {f"{kind}_{seconds}_kb": statistics.median(values) for (kind, seconds), values in peaks.items()}
         | {"rounds": rounds, "character": name})


def md3_bytes(frames, surfaces, vertices, tags):
    """An MD3 of the given counts, one triangle per three vertices, every
    vertex moving from frame to frame."""
    def name(text, size=64):
        return text.encode().ljust(size, b"\0")
    triangles = vertices // 3
    header_size, frame_size, tag_size, surface_header = 108, 56, 112, 108
    frame_block = b"".join(struct.pack("<3f3f3ff", -1, -1, -1, 1, 1, 1, 0, 0, 0, 2) + name(f"f{f}", 16)
                           for f in range(frames))
    tag_names = (["tag_torso", "tag_head", "tag_weapon"] + [f"tag_x{i}" for i in range(tags)])[:tags]
    tag_block = b"".join(name(tag_names[t]) + struct.pack("<3f9f", 0, 0, f % 7, 1, 0, 0, 0, 1, 0, 0, 0, 1)
                         for f in range(frames) for t in range(tags))
    surface_blocks = []
    for s in range(surfaces):
        shader = name(f"models/players/worst/s{s}") + struct.pack("<i", 0)
        tris = b"".join(struct.pack("<3i", 3 * t, 3 * t + 1, 3 * t + 2) for t in range(triangles))
        st = b"".join(struct.pack("<2f", (v % 3) / 2, (v % 5) / 4) for v in range(vertices))
        xyz = b"".join(struct.pack("<3hBB", v % 200, (v * 7) % 200, f % 300, f % 256, v % 256)
                       for f in range(frames) for v in range(vertices))
        ofs_tris = surface_header
        ofs_shaders = ofs_tris + len(tris)
        ofs_st = ofs_shaders + len(shader)
        ofs_xyz = ofs_st + len(st)
        ofs_end = ofs_xyz + len(xyz)
        surface_blocks.append(b"IDP3" + name(f"s{s}") + struct.pack(
            "<10i", 0, frames, 1, vertices, triangles, ofs_tris, ofs_shaders, ofs_st, ofs_xyz, ofs_end)
            + tris + shader + st + xyz)
    ofs_frames = header_size
    ofs_tags = ofs_frames + len(frame_block)
    ofs_surfaces = ofs_tags + len(tag_block)
    ofs_end = ofs_surfaces + sum(len(b) for b in surface_blocks)
    return (b"IDP3" + struct.pack("<i", 15) + name("worst") + struct.pack(
        "<9i", 0, frames, tags, surfaces, 0, ofs_frames, ofs_tags, ofs_surfaces, ofs_end)
        + frame_block + tag_block + b"".join(surface_blocks))


# Worst cases of one kind each, every file just under MOST_INPUT_BYTES:
# (name, frames, surfaces, vertices per surface, tags).
EXPORT_WORST_CASES = (("most-frames", 1024, 30, 3, 1), ("most-vertices", 2, 32, 999, 3),
                      ("most-tags", 540, 1, 3, 16), ("vertices-past-the-limit", 1, 1, 36000, 1))


def export_memory(out, quillmo):
    result = {"limit_mb": EXPORT_MEMORY_LIMIT_MB}
    with tempfile.TemporaryDirectory() as folder:
        for case, frames, surfaces, vertices, tags in EXPORT_WORST_CASES:
            character = os.path.join(folder, case, "models", "players", "worst")
            os.makedirs(character)
            part = md3_bytes(frames, surfaces, vertices, tags)
            if len(part) >= MOST_INPUT_BYTES:
                raise SystemExit(f"{case}: {len(part)} bytes, not under 1 MB")
            for name in ("lower.md3", "upper.md3", "head.md3"):
                with open(os.path.join(character, name), "wb") as f:
                    f.write(part)
            # Every entry of the table over every frame the parts have, as
            # far as the file may go.
            with open(os.path.join(character, "animation.cfg"), "w") as f:
                f.write("".join(f"0 {frames} 0 25\n" for _ in range(25)))
            with open(os.path.join(character, "icon_default.tga"), "wb") as f:
                f.write(bytes([0, 0, 2] + [0] * 9 + [2, 0, 2, 0, 24, 0] + [128] * 12))
            glb = os.path.join(folder, case + ".glb")
            _, peak_kb = run_checked([quillmo, "--game-root", os.path.join(folder, case), "--character", "worst",
                                      "--weapon", "none", "--export", glb], allowed=(0, 1))
            result[case] = {"input_bytes": len(part), "peak_kb": peak_kb,
                            "glb_bytes": os.path.getsize(glb) if os.path.exists(glb) else 0}
    save(out, result)


def collection_rows(folder):
    rows = []
    path = os.path.join(folder, "collection.json")
    if os.path.exists(path):
        entries = {e["run_name"]: e for e in json.load(open(path))["benchmarks"] if e.get("aggregate_name") == "median"}
        small, large = entries["BM_MountCollection/small"], entries["BM_MountCollection/large"]
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
        per = {}
        for name, entry in (("small", small), ("large", large)):
            seconds = entry["cpu_time"] * scale[entry["time_unit"]]
            per[name] = (seconds / entry["archives"], entry["heapBytes"] / entry["archives"])
            print(f"Mount, collection of {entry['archives']:.0f} archives: {seconds * 1e3:.1f} ms "
                  f"({per[name][0] * 1e6:.0f} µs and {per[name][1] / 1024:.1f} KB an archive)")
        for what, index in (("time", 0), ("heap", 1)):
            ratio = per["large"][index] / per["small"][index]
            rows.append((f"mount, {what} per archive, {large['archives']:.0f} ÷ {small['archives']:.0f} archives",
                         ratio, f"<= {COLLECTION_RATIO}", verdict(ratio <= COLLECTION_RATIO)))
    path = os.path.join(folder, "jobs.json")
    if os.path.exists(path):
        measured = json.load(open(path))
        ratio = measured["one_s"] / measured["two_s"]
        print(f"Check of the collection, median of {measured['rounds']} alternating runs: --jobs 1 "
              f"{measured['one_s']:.2f} s, --jobs 2 {measured['two_s']:.2f} s")
        rows.append(("check of the collection, --jobs 1 ÷ --jobs 2", ratio, f">= {JOBS_SPEEDUP}",
                     verdict(ratio >= JOBS_SPEEDUP)))
    path = os.path.join(folder, "record_memory.json")
    if os.path.exists(path):
        measured = json.load(open(path))
        short, long = RECORD_SECONDS
        for kind in ("gif", "webp"):
            ratio = measured[f"{kind}_{long}_kb"] / measured[f"{kind}_{short}_kb"]
            print(f"Recording peak memory ({kind}, {measured['character']}), median of {measured['rounds']} runs: "
                  f"{short} s {measured[f'{kind}_{short}_kb'] / 1024:.1f} MB, "
                  f"{long} s {measured[f'{kind}_{long}_kb'] / 1024:.1f} MB")
            rows.append((f"recording peak memory ({kind}), {long} s ÷ {short} s", ratio, f"<= {RECORD_MEMORY_RATIO}",
                         verdict(ratio <= RECORD_MEMORY_RATIO)))
    path = os.path.join(folder, "export_memory.json")
    if os.path.exists(path):
        measured = json.load(open(path))
        for case, *_ in EXPORT_WORST_CASES:
            peak_mb = measured[case]["peak_kb"] / 1024
            print(f"Export peak memory, {case} ({measured[case]['input_bytes']} bytes a part): {peak_mb:.0f} MB, "
                  f".glb {measured[case]['glb_bytes'] / 1e6:.1f} MB")
            rows.append((f"export peak memory (MB), {case}, every file under 1 MB", peak_mb,
                         f"<= {EXPORT_MEMORY_LIMIT_MB}", verdict(peak_mb <= EXPORT_MEMORY_LIMIT_MB)))
    path = os.path.join(folder, "peak_memory.json")
    if os.path.exists(path):
        measured = json.load(open(path))
        ratio = measured["bomb_kb"] / measured["normal_kb"]
        print(f"Thumbnail peak memory, median of {measured['rounds']} runs: image bomb "
              f"{measured['bomb_kb'] / 1024:.1f} MB, normal character {measured['normal_kb'] / 1024:.1f} MB")
        rows.append(("thumbnail peak memory, image bomb ÷ normal character", ratio,
                     f"<= {THUMBNAIL_MEMORY_RATIO}", verdict(ratio <= THUMBNAIL_MEMORY_RATIO)))
    return rows


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def idle_once(seconds, counter, viewer):
    with tempfile.TemporaryDirectory() as folder:
        log = os.path.join(folder, "swaps.txt")
        env = dict(os.environ, LD_PRELOAD=counter, QUILLMO_SWAP_LOG=log)
        process = subprocess.Popen(viewer, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(2.0)  # past start-up: the measured window sees only the message loop
        if process.poll() is not None:
            raise SystemExit(f"{viewer[0]} ended early with {process.returncode}")
        cpu0, t0 = cpu_seconds(process.pid), time.monotonic()
        time.sleep(seconds)
        cpu1, t1 = cpu_seconds(process.pid), time.monotonic()
        # The viewer has no option to end by itself: SIGTERM reaches it as a
        # quit event, its loop ends and it shuts down normally (status 0).
        process.send_signal(signal.SIGTERM)
        status = process.wait(timeout=30)
        swaps = [int(line) / 1e9 for line in open(log)]
    frames = sum(1 for t in swaps if t0 <= t <= t1)
    return {"fps": frames / (t1 - t0), "cpu_percent": 100.0 * (cpu1 - cpu0) / (t1 - t0), "exit_status": status}


def idle(out, seconds, runs, counter, viewer):
    samples = [idle_once(seconds, counter, viewer) for _ in range(runs)]
    result = {"fps": statistics.median(s["fps"] for s in samples),
              "cpu_percent": statistics.median(s["cpu_percent"] for s in samples),
              "exit_status": max(s["exit_status"] for s in samples),
              "seconds": seconds, "runs": runs, "viewer": viewer}
    save(out, result)


def draw(out, frames, program_n, program_0, reference_n, reference_0):
    def per_frame(with_frames, without):
        return (callgrind_costs.self_costs(with_frames)[1] - callgrind_costs.self_costs(without)[1]) / frames
    save(out, {"program": per_frame(program_n, program_0), "reference": per_frame(reference_n, reference_0),
               "frames": frames})


# Our per-vertex work in a frame drawn with shader stages (blending the
# frames, deforms, colours, texture coordinates) is inlined into the drawing
# code of the benchmark's own executable in a release build, so the whole of
# that executable's instructions in the frame bound it from above.
STAGES_PROGRAM = "quillmo_bench_stages"


def stages(out, frames, all_n, all_0, first_n, first_0):
    def per_frame(with_frames, without):
        return (callgrind_costs.self_costs(with_frames)[1] - callgrind_costs.self_costs(without)[1]) / frames

    with_n = callgrind_costs.self_costs(all_n)[0]
    with_0 = callgrind_costs.self_costs(all_0)[0]
    ours = sum(cost - with_0.get(key, 0) for key, cost in with_n.items()
               if callgrind_costs.short_object(key[0]) == STAGES_PROGRAM) / frames
    every = per_frame(all_n, all_0)
    first = per_frame(first_n, first_0)
    save(out, {"all": every, "first": first, "per_vertex": ours, "frames": frames})
    print(f"every stage {every:,.0f} instructions a frame, first stages only {first:,.0f} "
          f"({every / first:.2f} x); all of our own code, per-vertex work included, {ours:,.0f} "
          f"({100 * ours / every:.1f} % of the frame)")


def save(path, result):
    with open(path, "w") as f:
        json.dump(result, f, indent=1)


def load_medians(path):
    """{variant: {file: (median cpu seconds, bytes)}} from Google Benchmark's JSON."""
    data = json.load(open(path))
    medians = {}
    for entry in data["benchmarks"]:
        if entry.get("aggregate_name") != "median":
            continue
        variant, part = entry["run_name"].split("/", 1)
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[entry["time_unit"]]
        medians.setdefault(variant, {})[part] = (entry["cpu_time"] * scale, int(entry["fileBytes"]))
    return medians


CHARACTER_LOAD_RATIO = 1.3


def named_medians(path):
    """{benchmark name: median CPU seconds} from Google Benchmark's JSON."""
    data = json.load(open(path))
    medians = {}
    for entry in data["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[entry["time_unit"]]
            medians[entry["run_name"]] = entry["cpu_time"] * scale
    return medians


def export_rows(folder):
    """The export against loading, and the .glb's bytes against the MD3 files' (quillmo_bench_export)."""
    path = os.path.join(folder, "export.json")
    if not os.path.exists(path):
        return []
    rows = []
    timed = named_medians(path)
    ratio = timed["BM_ExportLargest"] / timed["BM_LoadLargest"]
    print(f"Export of bruno as .glb {timed['BM_ExportLargest'] * 1e3:.2f} ms, load {timed['BM_LoadLargest'] * 1e3:.2f} ms")
    rows.append(("export .glb, largest sample character ÷ its load", ratio, f"<= {EXPORT_LOAD_RATIO}",
                 verdict(ratio <= EXPORT_LOAD_RATIO)))
    for entry in json.load(open(path))["benchmarks"]:
        if not entry["run_name"].startswith("BM_Sizes") or entry.get("aggregate_name") not in (None, "median"):
            continue
        for name in ("bruno", "mira", "oskar", "vesta"):
            print(f"Export of {name}: {entry[name + '_glb']:.0f} bytes of .glb, {entry[name + '_md3']:.0f} of MD3")
            rows.append((f".glb bytes ÷ MD3 bytes, {name} (every skin)", entry[name + "_ratio"],
                         f"<= {EXPORT_BYTES_RATIO}", verdict(entry[name + "_ratio"] <= EXPORT_BYTES_RATIO)))
        break
    return rows


def pack_rows(folder):
    """--pack of the sample work folder against reading the files it holds (quillmo_bench_pack)."""
    path = os.path.join(folder, "pack.json")
    if not os.path.exists(path):
        return []
    timed = named_medians(path)
    counters = next(entry for entry in json.load(open(path))["benchmarks"]
                    if entry["run_name"] == "BM_Pack" and entry.get("aggregate_name") == "median")
    print(f"Pack of kestrel, {counters['entries']:.0f} files, {counters['pack_bytes']:.0f} bytes: "
          f"plan + write + proof {timed['BM_Pack'] * 1e3:.2f} ms (plan {timed['BM_PlanPack'] * 1e3:.2f} ms, "
          f"write {timed['BM_WritePack'] * 1e3:.2f} ms), "
          f"reading its {counters['read_bytes']:.0f} bytes {timed['BM_ReadPackFiles'] * 1e3:.2f} ms")
    return [("pack, plan + write + proof ÷ reading its files", timed["BM_Pack"] / timed["BM_ReadPackFiles"],
             "(none)", ""),
            ("pack, plan alone ÷ reading its files", timed["BM_PlanPack"] / timed["BM_ReadPackFiles"],
             "(none)", "")]


def verdict(holds):
    return "holds" if holds else "OVER"


def table(folder, plot):
    rows = []  # (measurement, program, reference, ratio, target, verdict)
    medians = load_medians(os.path.join(folder, "load.json"))
    parts = sorted(medians["LoadMD3"], key=lambda p: medians["LoadMD3"][p][1])
    peer = "Peer" in medians
    print("Load times (median CPU time of interleaved repetitions)")
    header = f"{'part':44} {'bytes':>9} {'read µs':>9} {'LoadMD3 µs':>10} {'÷read':>6}"
    if peer:
        header += f" {'peer µs':>9} {'peer+pp µs':>10} {'peer÷':>6} {'peer+pp÷':>8}"
    print(header)
    plot_rows = []
    for part in parts:
        ours, size = medians["LoadMD3"][part]
        floor = medians["Read"][part][0]
        line = f"{part:44} {size:9d} {floor * 1e6:9.1f} {ours * 1e6:10.1f} {ours / floor:6.2f}"
        plot_row = [size, floor * 1e6, ours * 1e6]
        if peer:
            plain, post = medians["Peer"][part][0], medians["PeerPost"][part][0]
            line += f" {plain * 1e6:9.1f} {post * 1e6:10.1f} {plain / ours:6.2f} {post / ours:8.2f}"
            plot_row += [plain * 1e6, post * 1e6]
        print(line)
        plot_rows.append((part, plot_row))
    large = [p for p in parts if medians["LoadMD3"][p][1] >= LOAD_FLOOR_MIN_BYTES]
    worst = max(large, key=lambda p: medians["LoadMD3"][p][0] / medians["Read"][p][0])
    ratio = medians["LoadMD3"][worst][0] / medians["Read"][worst][0]
    rows.append((f"load, worst part >= 0.5 MB ({worst}), LoadMD3 ÷ raw read", ratio,
                 f"<= {LOAD_FLOOR_RATIO}", verdict(ratio <= LOAD_FLOOR_RATIO)))
    largest = parts[-1]
    ratio = medians["LoadMD3"][largest][0] / medians["Read"][largest][0]
    rows.append((f"load, largest part ({largest}), LoadMD3 ÷ raw read", ratio,
                 f"<= {LOAD_FLOOR_RATIO}", verdict(ratio <= LOAD_FLOOR_RATIO)))
    if peer:
        slowest = min(parts, key=lambda p: medians["Peer"][p][0] / medians["LoadMD3"][p][0])
        ratio = medians["Peer"][slowest][0] / medians["LoadMD3"][slowest][0]
        rows.append((f"load, all parts, least gain ({slowest}), peer ÷ LoadMD3", ratio,
                     f">= {LOAD_PEER_SPEEDUP}", verdict(ratio >= LOAD_PEER_SPEEDUP)))
        samples = [p for p in parts if p.startswith("samples/")]
        slowest = min(samples, key=lambda p: medians["Peer"][p][0] / medians["LoadMD3"][p][0])
        ratio = medians["Peer"][slowest][0] / medians["LoadMD3"][slowest][0]
        rows.append((f"load, sample parts, least gain ({slowest}), peer ÷ LoadMD3", ratio,
                     f">= {LOAD_PEER_SPEEDUP}", verdict(ratio >= LOAD_PEER_SPEEDUP)))
        slowest = min(parts, key=lambda p: medians["PeerPost"][p][0] / medians["LoadMD3"][p][0])
        ratio = medians["PeerPost"][slowest][0] / medians["LoadMD3"][slowest][0]
        rows.append((f"load, all parts, least gain ({slowest}), peer with post-processing ÷ LoadMD3", ratio,
                     "(none)", ""))

    drawn = json.load(open(os.path.join(folder, "draw.json")))
    ratio = drawn["program"] / drawn["reference"]
    print(f"\nDrawing, instructions per frame (callgrind, {drawn['frames']} frames less 0): "
          f"DrawPlayer {drawn['program']:,.0f}, reference {drawn['reference']:,.0f}")
    rows.append(("draw, DrawPlayer ÷ vertex-array reference (instructions/frame)", ratio,
                 f"<= {DRAW_RATIO}", verdict(ratio <= DRAW_RATIO)))

    shaded = json.load(open(os.path.join(folder, "stages.json")))
    share = 100 * shaded["per_vertex"] / shaded["all"]
    print(f"Shader stages, instructions per frame: every stage {shaded['all']:,.0f}, first stages "
          f"{shaded['first']:,.0f}, our per-vertex work {shaded['per_vertex']:,.0f}")
    rows.append(("stages, every stage ÷ first stages only (instructions/frame)", shaded["all"] / shaded["first"],
                 "(none)", ""))
    rows.append(("stages, our per-vertex work, at most all our code (% of the frame)", share,
                 f"<= {PER_VERTEX_SHARE:.0f}",
                 verdict(share <= PER_VERTEX_SHARE)))

    start = json.load(open(os.path.join(folder, "startup.json")))
    ratio = start["viewer_s"] / start["floor_s"]
    print(f"Start-up, median of {start['rounds']} alternating runs: viewer {start['viewer_s'] * 1e3:.1f} ms, "
          f"empty window {start['floor_s'] * 1e3:.1f} ms")
    rows.append(("start-up, first frame ÷ empty window", ratio, f"<= {STARTUP_RATIO}",
                 verdict(ratio <= STARTUP_RATIO)))
    rows.append(("start-up, first frame (s)", start["viewer_s"], f"< {STARTUP_LIMIT_S}",
                 verdict(start["viewer_s"] < STARTUP_LIMIT_S)))

    still = json.load(open(os.path.join(folder, "idle.json")))
    print(f"Idle loop, median of {still['runs']} runs of {still['seconds']:.0f} s: {still['fps']:.1f} frames/s, "
          f"{still['cpu_percent']:.0f}% of one core, exit status {still['exit_status']} after SIGTERM")
    rows.append(("idle, frames per second at the 1 ms interval", still["fps"], f"<= ~100",
                 verdict(still["fps"] <= IDLE_FPS_LIMIT)))
    rows.append(("idle, CPU use (% of one core)", still["cpu_percent"], "not a spinning core",
                 verdict(still["cpu_percent"] < 95.0)))

    mounted = named_medians(os.path.join(folder, "mount.json"))
    seconds = mounted["BM_MountGameFolder"]
    print(f"Mount, game folder of 10 archives: {seconds * 1e3:.1f} ms")
    rows.append(("mount, game folder of 10 archives (ms)", seconds * 1e3, "(none)", ""))
    # Linear indexing: the time per entry of the largest archive within three
    # times that of the smallest (the hash tables outgrow the caches; a
    # quadratic index would take twenty times as long per entry).
    per_entry = {int(name.split("/")[1]): seconds / int(name.split("/")[1])
                 for name, seconds in mounted.items() if name.startswith("BM_MountArchiveOfManyEntries/")}
    for count in sorted(per_entry):
        print(f"Mount, one archive of {count} entries in one folder: {per_entry[count] * 1e6:.2f} us per entry")
        rows.append((f"mount, archive of {count} entries (us per entry)", per_entry[count] * 1e6,
                     f"<= 3 x the {min(per_entry)}-entry figure",
                     verdict(per_entry[count] <= 3 * per_entry[min(per_entry)])))

    loaded = named_medians(os.path.join(folder, "character.json"))
    for label, packed, loose in (("sample game", "BM_LoadCharacterFromArchives", "BM_LoadCharacterLoose"),
                                 ("512 x 512 images", "BM_LoadLargeCharacterFromArchive",
                                  "BM_LoadLargeCharacterLoose")):
        ratio = loaded[packed] / loaded[loose]
        print(f"Character load, {label}: archive {loaded[packed] * 1e3:.2f} ms, loose {loaded[loose] * 1e3:.2f} ms")
        rows.append((f"character load, {label}, .pk3 ÷ loose", ratio, f"<= {CHARACTER_LOAD_RATIO}",
                     verdict(ratio <= CHARACTER_LOAD_RATIO)))

    for entry in json.load(open(os.path.join(folder, "character.json")))["benchmarks"]:
        if entry["run_name"].startswith("BM_TextureSharing") and entry.get("aggregate_name") == "median":
            print(f"Texture sharing, every sample character and skin: {entry['surfaces']:.0f} textured surfaces, "
                  f"{entry['textures']:.0f} GL textures")
            rows.append(("texture sharing, GL textures ÷ textured surfaces", entry["textures"] / entry["surfaces"],
                         "(none)", ""))

    rows += sheet_rows(folder)
    rows += collection_rows(folder)
    rows += export_rows(folder)
    rows += pack_rows(folder)

    print()
    width = max(len(r[0]) for r in rows)
    print(f"| {'measurement':{width}} | {'value':>8} | {'target':>19} | {'':5} |")
    print(f"|{'-' * (width + 2)}|{'-' * 10}|{'-' * 21}|{'-' * 7}|")
    for name, value, target, holds in rows:
        print(f"| {name:{width}} | {value:8.2f} | {target:>19} | {holds:5} |")

    draw_plot(plot_rows, peer, plot)


def draw_plot(rows, peer, plot):
    """Generated parts as lines (one shape, growing frame count), sample parts as points."""
    with tempfile.TemporaryDirectory() as folder:
        data = {}
        for kind in ("generated", "samples"):
            data[kind] = os.path.join(folder, kind + ".dat")
            with open(data[kind], "w") as f:
                for part, row in rows:
                    if part.startswith(kind + "/"):
                        f.write(" ".join(f"{value:g}" for value in row) + "\n")
        series = [(2, "raw read (floor)"), (3, "LoadMD3")]
        if peer:
            series += [(4, "peer, no post-processing"), (5, "peer, triangulate + join vertices")]
        lines = []
        for colour, (column, title) in enumerate(series, start=1):
            lines.append(f"'{data['generated']}' using ($1/1e6):{column} with linespoints lc {colour} pt 7 "
                         f"title '{title}'")
            lines.append(f"'{data['samples']}' using ($1/1e6):{column} with points lc {colour} pt 6 ps 1.5 notitle")
        script = "\n".join([
            "set terminal pngcairo size 820,540 font 'Sans,10'",
            f"set output '{plot}'",
            'set title "MD3 part load time against file size (median CPU time)\\n'
            'lines: generated parts, 1000 vertices, 10 to 400 frames; open circles: sample character parts"',
            "set xlabel 'file size (MB)'", "set ylabel 'time (µs)'",
            "set logscale xy", "set grid", "set key top left",
            "plot " + ", \\\n     ".join(lines),
        ])
        subprocess.run(["gnuplot"], input=script, text=True, check=True)
    print(f"\nPlot: {plot}")


def main(argv):
    if not argv:
        print(__doc__, file=sys.stderr)
        return 2
    command = argv[0]
    if command == "startup":
        floor, viewer = split_commands(argv[3:])
        startup(argv[1], int(argv[2]), floor, viewer)
    elif command == "idle":
        (viewer,) = split_commands(argv[5:])
        idle(argv[1], float(argv[2]), int(argv[3]), argv[4], viewer)
    elif command == "draw":
        draw(argv[1], int(argv[2]), *argv[3:7])
    elif command == "stages":
        stages(argv[1], int(argv[2]), *argv[3:7])
    elif command == "sheet":
        sheet(argv[1], int(argv[2]), argv[3], argv[4], argv[5:])
    elif command == "jobs":
        jobs(argv[1], int(argv[2]), argv[3], argv[4])
    elif command == "peak-memory":
        peak_memory(argv[1], int(argv[2]), argv[3], argv[4], argv[5])
    elif command == "record-memory":
        record_memory(argv[1], int(argv[2]), argv[3], argv[4], argv[5])
    elif command == "export-memory":
        export_memory(argv[1], argv[2])
    elif command == "table":
        table(argv[1], argv[2])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
