#!/usr/bin/env python3
"""Mutation sampling: how many small, plausible faults do the tests catch?

Picks a fixed, reproducible sample of mutants in one scope: "library" is imagelib/ (the codecs'
readers, the load and save pipelines, the row converters, the operations), "program" is app/ and
platform/. Applies each in turn to a source tree, builds that scope's test programs and runs
them; a mutant is killed when a test fails, crashes or times out. The sample depends only on the scope's sources and the seed, so the same
mutants are tried on any tree that has the same sources (e.g. before and after a change of the
tests).

Mutations:
  cmp   a comparison flipped: < and <=, > and >=, == and !=
  off   an off-by-one: "+ 1" or "- 1" becomes "+ 0" / "- 0"
  drop  a guard dropped: a one-statement "if (...) return ...;" removed

Usage:
  scripts/mutation_sample.py --tree DIR [--scope library|program] [--build DIR] [--count 40]
                             [--seed 1] [--out FILE]
  scripts/mutation_sample.py --tree DIR --list          # print the sample only

The build directory is configured on first use (Release, no -Werror, ccache, lld). The file
being mutated is always restored, also on Ctrl-C or SIGTERM.
"""
import argparse
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

# What each scope mutates and which tests it runs against the mutants.
SCOPES = {
    # The image library: the codecs' readers and writers, the load and save pipelines, the row
    # converters and the operations; the unit and conformance tests outside platform/ and app/.
    "library": {
        "sources": ["imagelib/codecs/**/*.cpp", "imagelib/core/load_*.cpp", "imagelib/core/save_*.cpp",
                    "imagelib/core/convert_*.cpp", "imagelib/ops/*.cpp"],
        "tests": r"^(codecs|core|metadata|ops|thumbcache|tools)_",
        "labels": "unit|conformance",
        "targets": r"^(test_(codecs|core|metadata|ops|thumbcache|tools)_[a-z0-9_]+|lumora-img):",
    },
    # The program and its platform layer, against their own tests (the install test, which
    # builds and installs a whole tree, is left out). The SDL backend is not run by any test.
    "program": {
        "sources": ["app/**/*.cpp", "platform/**/*.cpp"],
        "tests": r"^(app|platform)_",
        "exclude": r"^app_install_test$",
        "labels": "unit|conformance|app",
        "targets": r"^(test_(app|platform)_(?!install_test)[a-z0-9_]+|lumora|lumora-img):",
    },
}
# Tables of constants: mutants there are mostly equivalent or untestable by design.
SKIP_FILES = re.compile(r"(_tables?|_ccitt_tables|sdl_backend|winmain)\.cpp$")
SOURCE_GLOBS = SCOPES["library"]["sources"]
TEST_REGEX = SCOPES["library"]["tests"]
TEST_LABELS = SCOPES["library"]["labels"]
TEST_EXCLUDE = None
TARGET_REGEX = re.compile(SCOPES["library"]["targets"])

CMP_SWAP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
CMP_RE = re.compile(r"(?<=[\w)\]]) (<=|>=|==|!=|<|>) (?=[\w(!*-])")
OFF_RE = re.compile(r"(?<=[\w)\]]) ([+-]) 1(?![\w.'])")
GUARD_RE = re.compile(r"^(\s*)if \(.*\) return\b.*;\s*$")
QUOTA = {"cmp": 0.4, "off": 0.3, "drop": 0.3}


def code_part(line):
    """The line with string and character literals blanked and any // comment cut off."""
    out, quote, i = [], None, 0
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            if c == quote:
                quote = None
            out.append(" ")
        elif c in "\"'":
            quote = c
            out.append(" ")
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)


def candidates(tree):
    found = []
    files = sorted({p for g in SOURCE_GLOBS for p in tree.glob(g)})
    for path in files:
        rel = path.relative_to(tree).as_posix()
        if SKIP_FILES.search(rel):
            continue
        in_block = False
        for n, line in enumerate(path.read_text().splitlines(), 1):
            stripped = line.strip()
            if in_block:
                if "*/" in stripped:
                    in_block = False
                continue
            if stripped.startswith("/*"):
                in_block = "*/" not in stripped
                continue
            if (not stripped or stripped.startswith(("#", "//")) or "static_assert" in line
                    or "template" in line or "constexpr" in line):
                continue
            code = code_part(line)
            for m in CMP_RE.finditer(code):
                op = m.group(1)
                new = line[:m.start(1)] + CMP_SWAP[op] + line[m.end(1):]
                found.append({"kind": "cmp", "file": rel, "line": n, "col": m.start(1),
                              "from": op, "to": CMP_SWAP[op], "new": new})
            for m in OFF_RE.finditer(code):
                s, e = m.start(0), m.end(0)
                new = line[:s] + " " + m.group(1) + " 0" + line[e:]
                found.append({"kind": "off", "file": rel, "line": n, "col": s,
                              "from": m.group(1) + " 1", "to": m.group(1) + " 0", "new": new})
            g = GUARD_RE.match(code)
            if g and code.count("(") == code.count(")") and "{" not in code:
                new = g.group(1) + "// (guard dropped by mutation)"
                found.append({"kind": "drop", "file": rel, "line": n, "col": 0,
                              "from": stripped, "to": "", "new": new})
    return found


def sample(found, count, seed):
    rng = random.Random(seed)
    picked = []
    for kind, share in QUOTA.items():
        pool = [m for m in found if m["kind"] == kind]
        want = min(len(pool), round(count * share))
        picked += rng.sample(pool, want)
    picked.sort(key=lambda m: (m["file"], m["line"], m["col"]))
    for i, m in enumerate(picked, 1):
        m["id"] = f"M{i:02d}"
    return picked


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def configure(tree, build):
    if (build / "build.ninja").exists():
        return
    r = run(["cmake", "-S", str(tree), "-B", str(build), "-G", "Ninja",
             "-DCMAKE_BUILD_TYPE=Release", "-DLUMORA_BENCH=OFF",
             "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache",
             "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld"])
    if r.returncode:
        sys.exit("configure failed:\n" + r.stdout)


def targets(build):
    r = run(["ninja", "-C", str(build), "-t", "targets", "all"])
    names = sorted({TARGET_REGEX.match(l).group(1) for l in r.stdout.splitlines()
                    if TARGET_REGEX.match(l)})
    if not names:
        sys.exit("no test targets found in " + str(build))
    return names


def run_tests(cmd, limit):
    """Runs the test command in its own process group; kills the whole group after `limit` s."""
    p = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                         start_new_session=True)
    try:
        out, _ = p.communicate(timeout=limit)
        return p.returncode, out
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        out, _ = p.communicate()
        return None, out
    except BaseException:
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
        raise


def build_and_test(build, names, jobs, timeout, limit):
    """Returns ('ok'|'build-failed'|'failed', first failing test or '').

    The tests' own CTest TIMEOUT (600 s) wins over ctest --timeout, so a hang is also cut off by
    a limit on the whole run: the baseline's duration plus the per-test timeout."""
    r = run(["nice", "-n", "10", "ninja", "-C", str(build), f"-j{jobs}"] + names)
    if r.returncode:
        return "build-failed", r.stdout[-2000:]
    # CTest's regular expressions have no look-ahead, hence a separate exclusion; a selection that
    # matches no test is an error, not a pass.
    exclude = ["-E", TEST_EXCLUDE] if TEST_EXCLUDE else []
    code, out = run_tests(["nice", "-n", "10", "ctest", "--test-dir", str(build), "-L", TEST_LABELS,
                           "-R", TEST_REGEX] + exclude + ["--no-tests=error", "--stop-on-failure",
                           "--timeout", str(timeout), f"-j{jobs}", "--output-on-failure"], limit)
    if code is None:
        running = re.findall(r"Start +\d+: (\S+)", out)
        done = set(re.findall(r"Test +#\d+: (\S+) ", out))
        hung = [t for t in running if t not in done]
        return "failed", ", ".join(f"{t} (Timeout)" for t in hung) or "(Timeout)"
    if code == 0:
        return "ok", ""
    bad = re.findall(r"\d+ - (\S+) \((Failed|SEGFAULT|Timeout|Subprocess aborted|Child aborted|"
                     r"Exception|[A-Za-z ]+)\)", out)
    if not bad:  # ctest's own summary lines
        bad = re.findall(r"Test +#\d+: (\S+) .*\*\*\*(\w+)", out)
    return "failed", ", ".join(f"{n} ({why})" for n, why in bad) or out[-500:]


def stop(signum, frame):
    raise KeyboardInterrupt  # so that the mutated file is restored


def main():
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)  # also when started in the background, which ignores SIGINT
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--tree", required=True, type=Path)
    ap.add_argument("--build", type=Path)
    ap.add_argument("--scope", choices=sorted(SCOPES), default="library")
    ap.add_argument("--count", type=int, default=40)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--timeout", type=int, default=60, help="seconds per test")
    ap.add_argument("--out", type=Path, help="JSON lines, one per mutant, written as it goes")
    ap.add_argument("--only", help="comma-separated mutant ids to run (default: all)")
    ap.add_argument("--list", action="store_true")
    a = ap.parse_args()
    global SOURCE_GLOBS, TEST_REGEX, TEST_LABELS, TEST_EXCLUDE, TARGET_REGEX
    SOURCE_GLOBS = SCOPES[a.scope]["sources"]
    TEST_REGEX = SCOPES[a.scope]["tests"]
    TEST_LABELS = SCOPES[a.scope]["labels"]
    TEST_EXCLUDE = SCOPES[a.scope].get("exclude")
    TARGET_REGEX = re.compile(SCOPES[a.scope]["targets"])
    tree = a.tree.resolve()
    build = (a.build or tree / "build" / "mut").resolve()

    mutants = sample(candidates(tree), a.count, a.seed)
    if a.list:
        for m in mutants:
            print(f'{m["id"]} {m["kind"]:4} {m["file"]}:{m["line"]}  {m["from"]} -> {m["to"] or "(removed)"}')
        return
    if a.only:
        keep = set(a.only.split(","))
        mutants = [m for m in mutants if m["id"] in keep]

    configure(tree, build)
    names = targets(build)
    start = time.time()
    r = run(["nice", "-n", "10", "ninja", "-C", str(build), f"-j{a.jobs}"] + names)
    if r.returncode:
        sys.exit("the unmutated tree does not build:\n" + r.stdout[-2000:])
    tests_start = time.time()
    state, detail = build_and_test(build, names, a.jobs, a.timeout, 3600)
    if state != "ok":
        sys.exit(f"the unmutated tree does not pass ({state}):\n{detail}")
    limit = time.time() - tests_start + a.timeout
    print(f"baseline passes ({time.time() - start:.0f} s); {len(mutants)} mutants; "
          f"a test run is cut off after {limit:.0f} s", flush=True)

    out = open(a.out, "w") if a.out else None
    killed = valid = 0
    for m in mutants:
        path = tree / m["file"]
        original = path.read_text()
        lines = original.splitlines(keepends=True)
        lines[m["line"] - 1] = m["new"] + "\n"
        t0 = time.time()
        try:
            path.write_text("".join(lines))
            state, detail = build_and_test(build, names, a.jobs, a.timeout, limit)
        finally:
            path.write_text(original)
        result = {"build-failed": "invalid", "ok": "survived", "failed": "killed"}[state]
        if result != "invalid":
            valid += 1
            killed += result == "killed"
        rec = {k: m[k] for k in ("id", "kind", "file", "line", "from", "to")}
        rec.update(result=result, by=detail if result == "killed" else "", seconds=round(time.time() - t0))
        print(f'{m["id"]} {m["kind"]:4} {m["file"]}:{m["line"]:<5} {result:8} {rec["seconds"]:4d}s {rec["by"][:90]}',
              flush=True)
        if out:
            out.write(json.dumps(rec) + "\n")
            out.flush()
    # Leave the build matching the restored sources.
    run(["nice", "-n", "10", "ninja", "-C", str(build), f"-j{a.jobs}"] + names)
    print(f"killed {killed} of {valid} valid mutants ({len(mutants) - valid} did not build); "
          f"{time.time() - start:.0f} s", flush=True)


if __name__ == "__main__":
    main()
