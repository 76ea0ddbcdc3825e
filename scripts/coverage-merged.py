#!/usr/bin/env python3
"""Coverage of the library's sources with template instantiations merged.

gcovr counts every instantiation of a function template as a function of its own
and adds up the branches of all instantiations on a line, so a kernel written once
for fourteen element types counts fourteen times and an element type that a test
never uses reads as uncovered code. This reads gcov's JSON for every .gcda file of
a build and counts each source function, line and branch outcome once: covered when
any instantiation, in any translation unit, reached it. Branches that only exist
for exception unwinding, and branches on lines without code, are left out as gcovr
is asked to do.

Usage: coverage-merged.py SOURCE_ROOT BUILD_DIR [PREFIX...]   (default prefixes: src/ include/)
"""
import collections
import json
import os
import re
import subprocess
import sys

NO_CODE = re.compile(r"^\s*[{}]?\s*(else)?\s*[{}]?\s*;?\s*$")


def gcov_reports(build_dir):
    for folder, _, names in os.walk(build_dir):
        for name in names:
            if name.endswith(".gcda"):
                out = subprocess.run(
                    ["gcov", "--json-format", "--stdout", "--branch-probabilities",
                     os.path.abspath(os.path.join(folder, name))],
                    cwd=folder, check=True, capture_output=True, text=True).stdout
                for line in out.splitlines():
                    if line.strip():
                        yield json.loads(line)


def main():
    root = os.path.realpath(sys.argv[1])
    build = sys.argv[2]
    prefixes = sys.argv[3:] or ["src/", "include/"]
    functions = {}                      # (file, start line) -> reached
    lines = {}                          # (file, line) -> reached
    branches = collections.defaultdict(dict)  # (file, line) -> {outcome count: [taken]}
    sources = {}

    for report in gcov_reports(build):
        for entry in report["files"]:
            path = os.path.realpath(os.path.join(report.get("current_working_directory", ""),
                                                 entry["file"]))
            rel = os.path.relpath(path, root)
            if not any(rel.startswith(p) for p in prefixes):
                continue
            if rel not in sources:
                with open(path, encoding="utf-8") as f:
                    sources[rel] = f.read().splitlines()
            for fn in entry["functions"]:
                key = (rel, fn["start_line"])
                functions[key] = functions.get(key, False) or fn["execution_count"] > 0
            for ln in entry["lines"]:
                key = (rel, ln["line_number"])
                lines[key] = lines.get(key, False) or ln["count"] > 0
                outcomes = [b for b in ln["branches"] if not b["throw"]]
                text = sources[rel][ln["line_number"] - 1]
                if not outcomes or NO_CODE.match(text):
                    continue
                # Instantiations of the same line with the same number of outcomes are
                # the same code; a shape that differs (an `if constexpr`) counts apart.
                taken = branches[key].setdefault(len(outcomes), [False] * len(outcomes))
                for i, b in enumerate(outcomes):
                    taken[i] = taken[i] or b["count"] > 0

    def ratio(covered, total):
        return f"{100.0 * covered / total:.1f}% ({covered} out of {total})" if total else "n/a"

    branch_total = sum(len(t) for shapes in branches.values() for t in shapes.values())
    branch_hit = sum(sum(t) for shapes in branches.values() for t in shapes.values())
    print("merged over template instantiations:")
    print("lines:", ratio(sum(lines.values()), len(lines)))
    print("functions:", ratio(sum(functions.values()), len(functions)))
    print("branches:", ratio(branch_hit, branch_total))
    print("functions never called:")
    for (rel, line), reached in sorted(functions.items()):
        if not reached:
            print(f"  {rel}:{line}: {sources[rel][line - 1].strip()}")
    print("lines with branch outcomes never taken:")
    for (rel, line), shapes in sorted(branches.items()):
        missed = sum(t.count(False) for t in shapes.values())
        if missed:
            print(f"  {rel}:{line}: {missed} of {sum(len(t) for t in shapes.values())}")


if __name__ == "__main__":
    main()
