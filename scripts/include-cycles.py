#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails when the include graph of the window library has a cycle.

A component is a header with its source file (gui/CMatrix0001View.h and
gui/CMatrix0001View.cpp are one). A component depends on another when either
of its files includes the other's header with #include "...". The graph of
the folders named (by default every folder the windows and the program are
built from) must have no cycle: each file can then be read, and tested, with
only what lies beneath it.

    scripts/include-cycles.py                 the window folders and app/
    scripts/include-cycles.py xandrel/gui     the folders named

On a cycle it lists, for each group of components that reach one another,
the includes that close the loop, and exits 1.
"""
import os
import re
import sys

DEFAULT_FOLDERS = ["xandrel/gui", "xandrel/connect", "xandrel/edid", "xandrel/custom", "xandrel/res", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def component(path):
    return os.path.splitext(path)[0]


def source_files(folders):
    for folder in folders:
        for directory, _, names in os.walk(folder):
            for name in sorted(names):
                if name.endswith((".h", ".cpp")):
                    yield os.path.join(directory, name)


def include_graph(folders):
    """Component -> {component it includes: the file whose include says so}."""
    files = list(source_files(folders))
    components = {component(f) for f in files}
    graph = {c: {} for c in components}
    for path in files:
        with open(path, encoding="utf-8") as text:
            for line in text:
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = component(match.group(1))
                if target in components and target != component(path):
                    graph[component(path)].setdefault(target, path)
    return graph


def strongly_connected(graph):
    """The groups of two or more components that reach one another (Tarjan)."""
    index, low, stack, on_stack, groups = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for target in sorted(graph[node]):
            if target not in index:
                visit(target)
                low[node] = min(low[node], low[target])
            elif target in on_stack:
                low[node] = min(low[node], index[target])
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

    sys.setrecursionlimit(10000)
    for node in sorted(graph):
        if node not in index:
            visit(node)
    return groups


def shortest_cycle(graph, members, start):
    """The shortest loop from `start` back to it inside `members` (breadth first)."""
    came_from = {start: None}
    queue = [start]
    while queue:
        node = queue.pop(0)
        for target in sorted(graph[node]):
            if target == start:
                path = [node]
                while came_from[path[-1]] is not None:
                    path.append(came_from[path[-1]])
                return list(reversed(path)) + [start]
            if target in members and target not in came_from:
                came_from[target] = node
                queue.append(target)
    return [start]


def main(arguments):
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    folders = arguments or DEFAULT_FOLDERS
    graph = include_graph(folders)
    groups = strongly_connected(graph)
    if not groups:
        print(f"include-cycles: {len(graph)} components in {', '.join(folders)}, no cycle")
        return 0
    for group in groups:
        print(f"include-cycles: these {len(group)} components include one another:", file=sys.stderr)
        members = set(group)
        print("  one loop: " + " -> ".join(shortest_cycle(graph, members, group[0])), file=sys.stderr)
        for node in group:
            for target, path in sorted(graph[node].items()):
                if target in members:
                    print(f"  {path} includes {target}.h", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
