#!/usr/bin/env python3
"""The house drawn from its own includes: each folder of the program on a floor.

usage: layers.py [ROOT]

A folder's floor is one above the highest floor it includes; floor 0 includes nothing of
ours. Folders that include each other share a floor, and every include among them runs
sideways into a cycle. An include may run up only with a reason: a comment beginning
"// up:" on its line or the line above; it then does not hold its folder up. Exits 1 when
an include runs up (or sideways into a cycle) without one.

tests/, perf/, fuzz/ and tools/ stand outside: they may include any floor, and nothing
inside may include them.
"""
import os
import re
import sys

OUTSIDE = {"tests", "perf", "fuzz", "tools"}
SOURCES = (".c", ".cpp", ".h")
MARK = "// up:"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def sources(root, folder):
    for top, dirs, files in os.walk(os.path.join(root, folder)):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCES):
                yield os.path.join(top, name)


def read_house(root):
    """Folders with their line counts, and every include that leaves its folder."""
    folders, outside, includes = {}, set(), []
    for name in sorted(os.listdir(root)):
        if name.startswith(".") or name.startswith("build") or not os.path.isdir(
                os.path.join(root, name)):
            continue
        if name in OUTSIDE:
            outside.add(name)
            continue
        files = list(sources(root, name))
        if files:
            folders[name] = [len(files), 0]
    for folder in folders:
        for path in sources(root, folder):
            with open(path, encoding="utf-8", errors="replace") as f:
                lines = f.read().split("\n")
            folders[folder][1] += len(lines) - (lines[-1] == "")
            for i, line in enumerate(lines):
                m = INCLUDE.match(line)
                if not m or "/" not in m.group(1):
                    continue
                to = m.group(1).split("/")[0]
                if to == folder or (to not in folders and to not in outside):
                    continue
                above = lines[i - 1].strip() if i else ""
                reason = line[line.find(MARK):] if MARK in line else (
                    above if above.startswith(MARK) else None)
                rel = os.path.relpath(path, root)
                includes.append((folder, to, rel, i + 1, m.group(1), reason))
    return folders, includes


def cycles_of(folders, edges):
    """Each folder's cycle: the folders it reaches that also reach it, itself included."""
    reach = {f: set(edges.get(f, ())) for f in folders}
    changed = True
    while changed:
        changed = False
        for f in folders:
            more = set().union(*(reach[g] for g in reach[f])) - reach[f]
            if more:
                reach[f] |= more
                changed = True
    return {f: {g for g in reach[f] if f in reach[g]} | {f} for f in folders}


def least_up(nodes, counts):
    """The order of nodes, bottom first, in which the fewest includes run up (exact, by
    subsets: a cycle holds a handful of folders)."""
    nodes = sorted(nodes)
    best = {0: (0, [])}
    for mask in range(1 << len(nodes)):
        if mask not in best:
            continue
        cost, order = best[mask]
        for i, v in enumerate(nodes):
            if mask >> i & 1:
                continue
            up = sum(counts.get((u, v), 0) for u in order)
            new = (cost + up, order + [v])
            if new < best.get(mask | 1 << i, (float("inf"), [])):
                best[mask | 1 << i] = new
    return best[(1 << len(nodes)) - 1][1]


def floors_of(folders, edges, counts):
    """Floor of each folder. A cycle is broken where the fewest includes then run up; what
    stays is a house whose every arrow runs down."""
    edges = {f: set(edges.get(f, ())) for f in folders}
    for c in {tuple(sorted(c)) for c in cycles_of(folders, edges).values() if len(c) > 1}:
        rank = {f: i for i, f in enumerate(least_up(c, counts))}
        for a in c:
            edges[a] -= {b for b in edges[a] if b in rank and rank[b] > rank[a]}
    floor = {}

    def climb(f):
        if f not in floor:
            floor[f] = max((climb(g) for g in edges[f]), default=-1) + 1
        return floor[f]

    for f in sorted(folders):
        climb(f)
    return floor


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    folders, includes = read_house(root)
    edges, counts = {}, {}
    for a, b, _, _, _, reason in includes:
        counts[(a, b)] = counts.get((a, b), 0) + 1
        if reason is None and b in folders:
            edges.setdefault(a, set()).add(b)
    floor = floors_of(folders, edges, counts)

    def runs_up(a, b):
        return b not in folders or floor[b] >= floor[a]

    print("The house from its includes (%s stand outside)" % ", ".join(
        f + "/" for f in sorted(OUTSIDE)))
    print("%5s  %-11s %5s %6s  %s" % ("floor", "folder", "files", "lines", "stands on (includes; ^ runs up)"))
    for f in sorted(folders, key=lambda f: (-floor[f], f)):
        on = sorted((b for (a, b) in counts if a == f), key=lambda b: (-floor.get(b, 99), b))
        print("%5d  %-11s %5d %6d  %s" % (floor[f], f + "/", folders[f][0], folders[f][1],
                                           " ".join("%s(%d)%s" % (b, counts[(f, b)], "^" * runs_up(f, b))
                                                    for b in on)))

    wrong = [i for i in includes if i[5] is None and runs_up(i[0], i[1])]
    excused = [i for i in includes if i[5] is not None and runs_up(i[0], i[1])]
    needless = [i for i in includes if i[5] is not None and not runs_up(i[0], i[1])]
    cycles = sorted({tuple(sorted(c)) for c in cycles_of(folders, edges).values() if len(c) > 1})
    for c in cycles:
        print("cycle: %s" % " ".join(c))
    for title, rows in (("upward, without a reason", wrong),
                        ("upward, with a reason", excused),
                        ("with a reason it no longer needs", needless)):
        if not rows:
            continue
        print("\nincludes %s: %d" % (title, len(rows)))
        for a, b, path, line, name, reason in sorted(rows, key=lambda r: r[2:4]):
            where = "outside" if b not in folders else "floor %d" % floor[b]
            print("  %s:%d  %s (floor %d) -> %s (%s)%s" % (
                path, line, a, floor[a], name, where, "  " + reason if reason else ""))
    print("\n%d folders, %d lines, %d floors, %d includes across folders, %d run up without a "
          "reason, %d with one" % (len(folders), sum(v[1] for v in folders.values()),
                                   max(floor.values(), default=-1) + 1, len(includes),
                                   len(wrong), len(excused)))
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
