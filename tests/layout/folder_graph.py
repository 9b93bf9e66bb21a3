#!/usr/bin/env python3
"""Fails when the folders of the source tree include each other in a cycle.

Every `#include "folder/..."` line of a file in one folder is an edge from that folder to the
named one; a folder including itself is fine. Prints the graph and, on failure, one cycle."""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/[^"]+"', re.M)
SOURCES = (".h", ".hpp", ".cpp", ".c", ".rc")


def folder_graph(top):
    graph = {}
    for root, dirs, files in os.walk(top):
        dirs[:] = [d for d in dirs if not d.startswith(".") and d != "build"]
        rel = os.path.relpath(root, top)
        if rel == ".":
            continue
        # A folder's subfolders (build tools, test programs) are part of it.
        folder = rel.split(os.sep)[0]
        for name in files:
            if not name.endswith(SOURCES):
                continue
            with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
                text = f.read()
            for target in INCLUDE.findall(text):
                if os.path.isdir(os.path.join(top, target)) and target != folder:
                    graph.setdefault(folder, set()).add(target)
            graph.setdefault(folder, set())
    return graph


def find_cycle(graph):
    state = {}
    stack = []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                cycle = visit(nxt)
                if cycle:
                    return cycle
        stack.pop()
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            cycle = visit(node)
            if cycle:
                return cycle
    return None


def self_test():
    """The checker itself: a two-folder cycle is found, a chain is not."""
    import tempfile
    with tempfile.TemporaryDirectory() as top:
        for folder, text in [("low", '#include "low/a.h"\n'), ("high", '#include "low/a.h"\n'),
                             ("tests/x", '#include "high/b.h"\n')]:
            os.makedirs(os.path.join(top, folder))
            with open(os.path.join(top, folder, "f.cpp"), "w") as f:
                f.write(text)
        if find_cycle(folder_graph(top)):
            return "a chain was reported as a cycle"
        with open(os.path.join(top, "low", "g.h"), "w") as f:
            f.write('// a comment\n  #  include "high/b.h"\n')
        if find_cycle(folder_graph(top)) != ["high", "low", "high"]:
            return "the cycle high -> low -> high was not found"
    return None


def main():
    failure = self_test()
    if failure:
        print("folder graph checker: " + failure)
        return 2
    top = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    graph = folder_graph(os.path.abspath(top))
    for folder in sorted(graph):
        print("%-14s -> %s" % (folder, ", ".join(sorted(graph[folder])) or "-"))
    cycle = find_cycle(graph)
    if cycle:
        print("folder cycle: " + " -> ".join(cycle))
        return 1
    print("no folder cycle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
