#!/usr/bin/env python3
"""Self instruction counts of a callgrind profile, by object file and by
function, and the per-frame difference of two profiles (N frames less 0).

    callgrind_costs.py total FILE                  instructions collected
    callgrind_costs.py diff FILE_N FILE_0 N [TOP]  per-frame self costs by object
                                                   and the TOP functions
"""
import collections
import re
import sys

_NAMED = re.compile(r"^\((\d+)\)(?: (.*))?$")


def _name(table, text):
    match = _NAMED.match(text)
    if not match:
        return text
    key, name = match.groups()
    if name is not None:
        table[key] = name
    return table.get(key, "?")


def self_costs(path):
    """{(object, function): Ir} of self cost, and the collected total."""
    objects, functions = {}, {}
    costs = collections.Counter()
    obj = fn = "?"
    skip_next = False
    total = None
    with open(path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            line = line.rstrip("\n")
            if skip_next:
                # The line after calls= is the callee's inclusive cost.
                skip_next = False
                continue
            if line.startswith("ob="):
                obj = _name(objects, line[3:])
            elif line.startswith("fn="):
                fn = _name(functions, line[3:])
            elif line.startswith(("cob=", "cfn=", "cfi=", "cfl=")):
                table = objects if line.startswith("cob=") else functions
                if line.startswith(("cob=", "cfn=")):
                    _name(table, line[4:])
            elif line.startswith("calls="):
                skip_next = True
            elif line.startswith(("totals:", "summary:")):
                total = int(line.split()[1])
            elif line and (line[0].isdigit() or line[0] in "+-*"):
                parts = line.split()
                if len(parts) >= 2:
                    costs[(obj, fn)] += int(parts[1])
    return costs, total


def short_object(path):
    return path.rsplit("/", 1)[-1] if path else "?"


def main(argv):
    if len(argv) >= 2 and argv[0] == "total":
        print(self_costs(argv[1])[1])
        return 0
    if len(argv) >= 4 and argv[0] == "diff":
        with_frames, _ = self_costs(argv[1])
        without, _ = self_costs(argv[2])
        frames = int(argv[3])
        top = int(argv[4]) if len(argv) > 4 else 15
        difference = collections.Counter(with_frames)
        difference.subtract(without)
        by_object = collections.Counter()
        for (obj, _), cost in difference.items():
            by_object[short_object(obj)] += cost
        total = sum(difference.values())
        print(f"{'instructions/frame':>18}  share  object")
        for obj, cost in by_object.most_common():
            if cost / frames >= 1000:
                print(f"{cost / frames:18,.0f}  {100 * cost / total:4.1f}%  {obj}")
        print(f"{total / frames:18,.0f}  100.0%  total")
        print(f"\n{'instructions/frame':>18}  function [object]")
        for (obj, fn), cost in difference.most_common(top):
            print(f"{cost / frames:18,.0f}  {fn[:90]} [{short_object(obj)}]")
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
