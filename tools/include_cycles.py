#!/usr/bin/env python3
"""Reports include circles among the files of src/.

A class's header and source form one unit ("ui/shell/MainWindow"), so a circle through a
source file counts: MainWindow.cpp including Application.h while Application.cpp includes
MainWindow.h is a circle between the two units. Only quoted includes that name a file under
src/ are followed. Prints every circle found (one per strongly connected group) and exits 1
when there is one, else 0.

    tools/include_cycles.py [--root SRC_DIR] [--known UNIT,UNIT ...]

--known names a circle still being taken apart (its units, comma-separated, exactly): it is
reported as known and does not fail the run; any other circle, or a known one that grew,
does.
"""
import argparse
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")


def unit_of(path):
    return os.path.splitext(path)[0]


def read_graph(root):
    files = {}
    for directory, _, names in os.walk(root):
        for name in names:
            if name.endswith(SUFFIXES):
                full = os.path.join(directory, name)
                files[os.path.relpath(full, root).replace(os.sep, "/")] = full
    graph = {unit_of(rel): set() for rel in files}
    for rel, full in files.items():
        with open(full, encoding="utf-8", errors="replace") as handle:
            text = handle.read()
        here = os.path.dirname(rel)
        for target in INCLUDE.findall(text):
            for candidate in (target, os.path.normpath(os.path.join(here, target))):
                candidate = candidate.replace(os.sep, "/")
                if candidate in files:
                    if unit_of(candidate) != unit_of(rel):
                        graph[unit_of(rel)].add(unit_of(candidate))
                    break
    return graph


def strongly_connected(graph):
    """Tarjan's algorithm, iterative; returns the groups of more than one unit."""
    index, low, on_stack, stack, groups = {}, {}, set(), [], []
    counter = [0]
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph[start])))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(graph[child]))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                group = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    group.append(member)
                    if member == node:
                        break
                if len(group) > 1:
                    groups.append(sorted(group))
    return groups


def one_circle(graph, group):
    """A shortest path from the group's first unit back to itself inside the group."""
    members = set(group)
    start = group[0]
    previous = {start: None}
    queue = [start]
    while queue:
        node = queue.pop(0)
        for child in sorted(graph[node]):
            if child == start:
                path = [node]
                while previous[path[-1]] is not None:
                    path.append(previous[path[-1]])
                return list(reversed(path)) + [start]
            if child in members and child not in previous:
                previous[child] = node
                queue.append(child)
    return group


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    default_root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    parser.add_argument("--root", default=default_root, help="the source tree (default: src/)")
    parser.add_argument("--known", action="append", default=[],
                        help="units of a circle still being taken apart, comma-separated")
    args = parser.parse_args()
    known = {tuple(sorted(entry.split(","))) for entry in args.known}
    graph = read_graph(os.path.normpath(args.root))
    failing = 0
    for group in strongly_connected(graph):
        label = "known include circle" if tuple(group) in known else "include circle"
        failing += tuple(group) not in known
        print(label + ": " + " -> ".join(one_circle(graph, group)))
        if len(group) > 2:
            print("  (units in the same circle group: " + ", ".join(group) + ")")
    if not failing:
        print("no new include circle among %d units" % len(graph))
    return 1 if failing else 0


if __name__ == "__main__":
    sys.exit(main())
