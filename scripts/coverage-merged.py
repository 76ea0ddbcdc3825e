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

GCC 12 records a lambda's last line as its first, so gcov cannot tell the
instantiations of a lambda (or of a generic lambda) apart: it lists their branch
outcomes one after another on each line of the body, and a lambda inside a kernel
for fourteen element types would count fourteen times. Each report is therefore
made from a copy of the .gcno whose functions end at the last line their own blocks
cover; gcov then lists a lambda's lines per instantiation, as it does for function
templates. The build's own files are left as they are.

Code marked as gcovr marks it (GCOVR_EXCL_LINE, or GCOVR_EXCL_START to
GCOVR_EXCL_STOP) is left out of every count, and the number left out is printed:
the marks are for code that no input can reach, each with a comment saying why.

Usage: coverage-merged.py SOURCE_ROOT BUILD_DIR [PREFIX...]   (default prefixes: src/ include/)
"""
import collections
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

EXCLUDED_LINE, EXCLUDED_START, EXCLUDED_STOP = "GCOVR_EXCL_LINE", "GCOVR_EXCL_START", "GCOVR_EXCL_STOP"
NO_CODE = re.compile(r"^\s*[{}]?\s*(else)?\s*[{}]?\s*;?\s*$")


GCNO_FUNCTION, GCNO_LINES = 0x01000000, 0x01450000


def extend_function_ends(gcno):
    """Sets each function's end line in the .gcno bytes to the last line of its blocks
    in its own source file, where that lies past the recorded end. The layout is GCC
    12's (unpadded strings, lengths in bytes); a file that does not parse so is kept."""
    if gcno[:4] != b"oncg":
        return gcno
    try:
        return extend_parsed_ends(bytearray(gcno))
    except (struct.error, IndexError):
        return gcno


def extend_parsed_ends(data):

    def u32(at):
        return struct.unpack_from("<I", data, at)[0]

    def string(at):  # length in bytes (with the NUL), then the bytes, unpadded
        n = u32(at)
        return data[at + 4:at + 4 + n].rstrip(b"\0"), at + 4 + n

    _, pos = string(16)  # magic, version, stamp and checksum, then the working directory
    pos += 4             # the unexecuted-blocks flag
    functions = []
    while pos + 8 <= len(data):
        tag, length = u32(pos), u32(pos + 4)
        body = pos + 8
        if tag == GCNO_FUNCTION:
            _, at = string(body + 12)          # ident and two checksums, then the name
            source, at = string(at + 4)        # the artificial flag, then the source
            functions.append({"source": source, "end_at": at + 8, "last": 0})
        elif tag == GCNO_LINES and functions:
            fn = functions[-1]
            at, current = body + 4, fn["source"]  # the block number, then its lines
            while at < body + length:
                value = u32(at)
                at += 4
                if value:
                    if current == fn["source"]:
                        fn["last"] = max(fn["last"], value)
                else:
                    current, at = string(at)
                    if not current:
                        break
        pos = body + length
    for fn in functions:
        if fn["last"] > u32(fn["end_at"]):
            struct.pack_into("<I", data, fn["end_at"], fn["last"])
    return bytes(data)


def excluded_lines(text):
    """Line numbers (from 1) that the exclusion marks leave out."""
    left_out, inside = set(), False
    for number, line in enumerate(text, start=1):
        if EXCLUDED_START in line:
            inside = True
        if inside or EXCLUDED_LINE in line:
            left_out.add(number)
        if EXCLUDED_STOP in line:
            inside = False
    return left_out


def gcov_reports(build_dir):
    with tempfile.TemporaryDirectory() as scratch:
        for folder, _, names in os.walk(build_dir):
            for name in names:
                if not name.endswith(".gcda"):
                    continue
                stem = os.path.join(folder, name[:-len(".gcda")])
                shutil.copyfile(stem + ".gcda", os.path.join(scratch, "unit.gcda"))
                with open(stem + ".gcno", "rb") as f:
                    gcno = extend_function_ends(f.read())
                with open(os.path.join(scratch, "unit.gcno"), "wb") as f:
                    f.write(gcno)
                out = subprocess.run(
                    ["gcov", "--json-format", "--stdout", "--branch-probabilities", "unit.gcda"],
                    cwd=scratch, check=True, capture_output=True, text=True).stdout
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
    excluded = {}                       # file -> line numbers left out
    left_out_lines, left_out_functions = set(), set()

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
                excluded[rel] = excluded_lines(sources[rel])
            for fn in entry["functions"]:
                key = (rel, fn["start_line"])
                if fn["start_line"] in excluded[rel]:
                    left_out_functions.add(key)
                    continue
                functions[key] = functions.get(key, False) or fn["execution_count"] > 0
            for ln in entry["lines"]:
                key = (rel, ln["line_number"])
                if ln["line_number"] in excluded[rel]:
                    left_out_lines.add(key)
                    continue
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
    print(f"left out by exclusion marks: {len(left_out_lines)} lines, "
          f"{len(left_out_functions)} functions")
    print("lines never run:")
    for (rel, line), reached in sorted(lines.items()):
        if not reached:
            print(f"  {rel}:{line}: {sources[rel][line - 1].strip()}")
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
