#!/usr/bin/env bash
# Reads the #include lines of src/, report/ and tools/ and fails when a file
# includes a file of a higher layer, or when files include each other in a
# circle (a file pair, header and source, counts as one). The tree has none
# inside a layer either, so a new one fails too. Cheap: no compiler, no build
# folder.
#
# Layers, lowest first; a file may include its own layer and those below:
#   settings  headers the build generates from src/*.h.in (constants only)
#   platform  src/platform/
#   report    report/
#   core      src/*.h, src/*.cpp
#   ui        src/ui/
#   Common    src/Common/
#   tools     tools/ (may include anything; nothing may include it)
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 - "$@" <<'PY'
import os
import re
import sys

LAYERS = ["settings", "platform", "report", "core", "ui", "Common", "tools"]
RANK = {name: i for i, name in enumerate(LAYERS)}
SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc")
# Where a quoted include is looked up after the includer's own folder, as the
# build's include directories do (generated headers stand in for their .h.in).
SEARCH = ["src", "report"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def layer_of(path):
    if path.endswith(".h.in"):
        return "settings"
    parts = path.split("/")
    if parts[0] == "report":
        return "report"
    if parts[0] == "tools":
        return "tools"
    if parts[0] == "src":
        if len(parts) == 2:
            return "core"
        if parts[1] in ("platform", "ui", "Common"):
            return parts[1]
    return None


def project_files():
    for top in ("src", "report", "tools"):
        for folder, _, names in os.walk(top):
            for name in sorted(names):
                if name.endswith(SOURCE_EXT) or name.endswith(".h.in"):
                    yield os.path.join(folder, name)


def resolve(includer, name):
    for base in [os.path.dirname(includer)] + SEARCH:
        for candidate in (os.path.join(base, name), os.path.join(base, name + ".in")):
            candidate = os.path.normpath(candidate)
            if os.path.isfile(candidate) and layer_of(candidate):
                return candidate
    return None  # a system header, or one of tests/ (tools may use those)


def module_of(path):
    # A header and its source are one module ("X.h" with "X.cpp"), so a
    # circle through a source file counts, as between two .cpp files that
    # include each other's header.
    return path[:-5] if path.endswith(".h.in") else os.path.splitext(path)[0]


def read_edges(files):
    edges = {}
    for path in files:
        with open(path, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = resolve(path, match.group(1))
                if target and target != path:
                    edges.setdefault(path, []).append((number, target))
    return edges


def circles(edges):
    # Strongly connected components of the module graph (Tarjan), iterative.
    graph = {}
    for path, targets in edges.items():
        for _, target in targets:
            a, b = module_of(path), module_of(target)
            if a != b:
                graph.setdefault(a, set()).add(b)
                graph.setdefault(b, set())
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]
    for root in sorted(graph):
        if root in index:
            continue
        work = [(root, iter(sorted(graph[root])))]
        index[root] = low[root] = counter[0]; counter[0] += 1
        stack.append(root); on_stack.add(root)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is not None:
                if child not in index:
                    index[child] = low[child] = counter[0]; counter[0] += 1
                    stack.append(child); on_stack.add(child)
                    work.append((child, iter(sorted(graph[child]))))
                elif child in on_stack:
                    low[node] = min(low[node], index[child])
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop(); on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    found.append(sorted(component))
    return found


def main():
    files = list(project_files())
    edges = read_edges(files)
    errors = []
    for path, targets in sorted(edges.items()):
        for number, target in targets:
            if RANK[layer_of(target)] > RANK[layer_of(path)]:
                errors.append("%s:%d: %s includes %s (%s above %s)" % (
                    path, number, layer_of(path), target, layer_of(target), layer_of(path)))
    for component in sorted(circles(edges)):
        layers = sorted({layer_of(m + ".h") for m in component}, key=RANK.get)
        text = "include circle (%s): %s" % (", ".join(layers), " -> ".join(component))
        errors.append(text)
    for line in errors:
        print("error: " + line)
    count = sum(len(t) for t in edges.values())
    print("check-layers: %d files, %d project includes, %d errors" % (len(files), count, len(errors)))
    return 1 if errors else 0


sys.exit(main())
PY
