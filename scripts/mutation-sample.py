#!/usr/bin/env python3
"""A fixed, seeded sample of mutants over src/, each built and run against the tests.

Every mutant changes one place of one library source: a comparison or arithmetic
operator swapped, a bound moved by one, a condition negated, a constant changed or a
statement removed. The sample is the same for the same seed and the same sources, so
two runs (before and after a change of the tests) compare. For each mutant the file is
changed, the test executables are rebuilt incrementally in their own build folder, the
tests run (without the exhaustive label) with a time limit, and the file is restored.

  scripts/mutation-sample.py                 # the whole sample (hours on two cores)
  scripts/mutation-sample.py --list          # print the mutants, build nothing
  scripts/mutation-sample.py --shard 1/4     # a quarter of the sample; results are kept
  scripts/mutation-sample.py --report        # counts and survivors of the kept results
  scripts/mutation-sample.py --follow OLD.json --at REV --build build-follow
                                             # the mutants of an earlier run, found again in
                                             # today's sources, with their outcome then and now

Results go to <build>/mutation-results.json, one entry per mutant, so a run can stop
and go on later; --fresh forgets them.
"""

import argparse
import json
import os
import pathlib
import random
import re
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent

# (kind, pattern, replacement). Patterns need blanks around binary operators so that
# template brackets, pointers, references and include lines are left alone.
OPERATORS = [
    ("comparison", r" == ", " != "),
    ("comparison", r" != ", " == "),
    ("comparison", r" < ", " <= "),
    ("comparison", r" <= ", " < "),
    ("comparison", r" > ", " >= "),
    ("comparison", r" >= ", " > "),
    ("logic", r" && ", " || "),
    ("logic", r" \|\| ", " && "),
    ("arithmetic", r" \+ ", " - "),
    ("arithmetic", r" - ", " + "),
    ("arithmetic", r" \* ", " / "),
    ("arithmetic", r" / ", " * "),
    ("off-by-one", r"(?<=[ (\[])1(?=[ );\]])", "2"),
    ("off-by-one", r" \+ 1\b", ""),
    ("off-by-one", r" - 1\b", ""),
    ("constant", r"(?<=[ (\[{,])0(?=[ );\]},])", "1"),
    ("constant", r"(?<=[ (\[{,])2(?=[ );\]},])", "3"),
    ("constant", r"(?<=[ (\[{,])0\.5(?=[ );\]},])", "0.25"),
    ("negation", r"\bif \(", "if (!"),
    ("negation", r"\bwhile \(", "while (!"),
]

# A statement line that may be removed: an expression statement, not a declaration,
# a return, a brace or a control line.
STATEMENT = re.compile(r"^\s+[a-z_][\w.\->\[\]]*(\s*[-+*/|&]?=\s*|\+\+|--|\()[^;{}]*;\s*$")
SKIP_LINE = re.compile(r"^\s*(#|//|\*|/\*)|static_assert|VORLITH_(EXPECTS|ENSURES)|template\s*<")


def candidates():
    found = []
    for path in sorted((ROOT / "src").rglob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        rel = path.relative_to(ROOT).as_posix()
        for number, line in enumerate(path.read_text().splitlines(), start=1):
            if SKIP_LINE.search(line):
                continue
            code = line.split("//", 1)[0]
            for kind, pattern, replacement in OPERATORS:
                for match in re.finditer(pattern, code):
                    found.append((rel, number, match.start(), kind, match.group(0), replacement))
            if STATEMENT.match(code) and not code.lstrip().startswith(("return", "const ", "auto ")):
                found.append((rel, number, 0, "removal", code.strip(), ""))
    return found


def sample(seed, count):
    pool = candidates()
    rng = random.Random(seed)
    chosen = rng.sample(pool, min(count, len(pool)))
    chosen.sort()
    return [
        {"id": f"{rel}:{line}:{col}:{kind}", "file": rel, "line": line, "col": col,
         "kind": kind, "from": old, "to": new}
        for rel, line, col, kind, old, new in chosen
    ]


def apply(mutant, text):
    lines = text.split("\n")
    index = mutant["line"] - 1
    line = lines[index]
    if mutant["kind"] == "removal":
        lines[index] = "/* mutant: statement removed */"
    else:
        col = mutant["col"]
        assert line[col:col + len(mutant["from"])] == mutant["from"], mutant["id"]
        lines[index] = line[:col] + mutant["to"] + line[col + len(mutant["from"]):]
    return "\n".join(lines)


def run(command, timeout, env):
    try:
        done = subprocess.run(command, cwd=ROOT, env=env, timeout=timeout,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return done.returncode
    except subprocess.TimeoutExpired:
        return None


# The gtest executables run directly (one process each, stopping at the first failure),
# the mutated file's own subsystem first and then the quickest ones, so that most killed
# mutants cost seconds; the remaining tests (tool, Python, package, docs, fuzz replays)
# run through CTest afterwards.
GTEST_ORDER = ["types", "runtime", "math", "storage", "signal", "survey", "hardening", "allocation"]
GTEST_LABELS = "exhaustive|" + "|".join(GTEST_ORDER)


def configure(build, env):
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                    "-DCMAKE_CXX_COMPILER_LAUNCHER=", "-DVORLITH_BUILD_BENCH=OFF"],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build), f"-j{os.cpu_count() or 2}"], check=True, env=env,
                   stdout=subprocess.DEVNULL)


def build_targets(build):
    """Every target but the exhaustive tests, which the sample never runs."""
    listed = subprocess.run(["cmake", "--build", str(build), "--target", "help"], capture_output=True,
                            text=True).stdout
    names = [line.split()[1] for line in listed.splitlines() if line.startswith("... ")]
    return [n for n in names if n not in ("exhaustive_tests", "all", "clean", "depend", "edit_cache",
                                          "rebuild_cache", "install", "install/local", "install/strip",
                                          "list_install_components", "test", "docs", "package")
            and not n.endswith((".o", ".i", ".s")) and "fuzz" not in n]


def test_mutant(mutant, build, targets, timeout, env):
    path = ROOT / mutant["file"]
    original = path.read_text()
    try:
        path.write_text(apply(mutant, original))
        started = time.monotonic()
        built = run(["cmake", "--build", str(build), f"-j{os.cpu_count() or 2}", "--target", *targets],
                    timeout, env)
        if built is None:
            return "timeout"
        if built != 0:
            return "not built"
        subsystem = mutant["file"].split("/")[1]
        order = sorted(GTEST_ORDER, key=lambda name: name != subsystem)
        for name in order:
            executable = build / "tests" / f"{name}_tests"
            if not executable.exists():
                continue
            left = timeout - (time.monotonic() - started)
            if left <= 0:
                return "timeout"
            outcome = run([str(executable), "--gtest_fail_fast", "--gtest_brief=1"], left, env)
            if outcome is None:
                return "timeout"
            if outcome != 0:
                return "killed"
        left = max(1.0, timeout - (time.monotonic() - started))
        tested = run(["ctest", "--test-dir", str(build), "-LE", GTEST_LABELS, "--stop-on-failure",
                      f"-j{os.cpu_count() or 2}", "--timeout", str(int(left))], left, env)
        if tested is None:
            return "timeout"
        return "survived" if tested == 0 else "killed"
    finally:
        path.write_text(original)


def relocate(earlier, rev):
    """The mutants of an earlier run, at the same code in today's sources.

    Each mutant's line is looked up by its text as it stood at `rev` (the commit the earlier
    run mutated), in the same file first and then anywhere in src/ (code that moved); equal
    lines are told apart by how many of the two lines around them still match. A mutant whose
    line is gone, or is not told apart, is left out and counted."""
    today = {p.relative_to(ROOT).as_posix(): p.read_text().split("\n")
             for p in sorted((ROOT / "src").rglob("*")) if p.suffix in (".cpp", ".h")}
    found, lost = [], []
    for old in earlier.values():
        then = subprocess.run(["git", "show", f"{rev}:{old['file']}"], cwd=ROOT, capture_output=True,
                              text=True, check=True).stdout.split("\n")
        index = old["line"] - 1
        context = [then[i] if 0 <= i < len(then) else None for i in range(index - 2, index + 3)]

        def score(lines, i):
            return sum(0 <= i + d < len(lines) and lines[i + d] == context[d + 2] for d in (-2, -1, 1, 2))

        best = None
        for files in ([old["file"]] if old["file"] in today else [], list(today)):
            hits = sorted(((score(today[f], i), f, i) for f in files
                           for i, text in enumerate(today[f]) if text == context[2]), reverse=True)
            if hits and (len(hits) == 1 or hits[0][0] > hits[1][0]):
                best = hits[0]
                break
            if hits:
                break
        if best is None:
            lost.append(old["id"])
            continue
        _, rel, i = best
        found.append(dict(old, id=f"{rel}:{i + 1}:{old['col']}:{old['kind']}", file=rel, line=i + 1,
                          was=old["id"], outcome_then=old["outcome"]))
    return found, lost


def compare(results, mutants, lost):
    """Outcomes then and now of the same mutants."""
    pairs = [(m["outcome_then"], results[m["id"]]["outcome"], m) for m in mutants if m["id"] in results]
    print(f"followed: {len(mutants)} found again, {len(lost)} not found, {len(pairs)} run")
    for label, index in (("then", 0), ("now", 1)):
        built = [p for p in pairs if p[0] != "not built" and p[1] != "not built"]
        killed = sum(p[index] in ("killed", "timeout") for p in built)
        if built:
            print(f"  kill rate {label}: {killed}/{len(built)} = {killed / len(built):.1%}")
    for then, now, m in pairs:
        if then != now:
            print(f"  {then} -> {now}: {m['id']} (was {m['was']}): '{m['from']}' -> '{m['to']}'")


def report(results, mutants):
    wanted = {m["id"] for m in mutants}
    kept = {k: v for k, v in results.items() if k in wanted}
    counts = {}
    for entry in kept.values():
        counts[entry["outcome"]] = counts.get(entry["outcome"], 0) + 1
    built = sum(counts.get(k, 0) for k in ("killed", "survived", "timeout"))
    killed = counts.get("killed", 0) + counts.get("timeout", 0)
    print(f"mutants: {len(mutants)} in the sample, {len(kept)} run")
    for outcome in ("killed", "survived", "timeout", "not built"):
        print(f"  {outcome}: {counts.get(outcome, 0)}")
    if built:
        print(f"kill rate (killed or timed out, of the mutants that built): {killed / built:.1%}")
    survivors = sorted(k for k, v in kept.items() if v["outcome"] == "survived")
    if survivors:
        print("survivors:")
        for key in survivors:
            entry = kept[key]
            print(f"  {key}: '{entry['from']}' -> '{entry['to']}'")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--count", type=int, default=160)
    parser.add_argument("--build", default="build-mutation")
    parser.add_argument("--timeout", type=float, default=600, help="seconds per mutant, build and tests")
    parser.add_argument("--shard", default="1/1", help="K/N: run the K-th of N equal parts")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--report", action="store_true")
    parser.add_argument("--fresh", action="store_true")
    parser.add_argument("--headers-last", action="store_true",
                        help="run the mutants of .cpp files first: a header rebuilds most of the "
                             "tree, so a run cut short has then covered the most mutants")
    parser.add_argument("--follow", help="results file of an earlier run whose mutants to run again")
    parser.add_argument("--at", default="HEAD", help="the commit the earlier run mutated")
    args = parser.parse_args()

    lost = []
    if args.follow:
        mutants, lost = relocate(json.loads(pathlib.Path(args.follow).read_text()), args.at)
    else:
        mutants = sample(args.seed, args.count)
    if args.list:
        for m in mutants:
            print(f"{m['id']}: '{m['from']}' -> '{m['to']}'")
        return 0
    build = (ROOT / args.build).resolve()
    store = build / "mutation-results.json"
    results = {} if args.fresh or not store.exists() else json.loads(store.read_text())
    if args.report:
        compare(results, mutants, lost) if args.follow else report(results, mutants)
        return 0

    env = dict(os.environ, CCACHE_DISABLE="1", OMP_NUM_THREADS=os.environ.get("OMP_NUM_THREADS", "2"))
    configure(build, env)
    targets = build_targets(build)
    k, n = (int(x) for x in args.shard.split("/"))
    mine = [m for i, m in enumerate(mutants) if i % n == k - 1]
    if args.headers_last:
        mine.sort(key=lambda m: m["file"].endswith(".h"))
    for number, mutant in enumerate(mine, start=1):
        if mutant["id"] in results:
            continue
        outcome = test_mutant(mutant, build, targets, args.timeout, env)
        results[mutant["id"]] = dict(mutant, outcome=outcome)
        store.write_text(json.dumps(results, indent=1))
        print(f"[{number}/{len(mine)}] {outcome:9} {mutant['id']}", flush=True)
    # Leave the build matching the sources again.
    subprocess.run(["cmake", "--build", str(build), f"-j{os.cpu_count() or 2}"], env=env,
                   stdout=subprocess.DEVNULL)
    compare(results, mutants, lost) if args.follow else report(results, mutants)
    return 0


if __name__ == "__main__":
    sys.exit(main())
