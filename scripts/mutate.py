#!/usr/bin/env python3
"""A repeatable mutation pass: applies the one-line mutations of a list, one at a time, in a
scratch worktree under build/, rebuilds incrementally, runs the tests and reports which
mutations the tests caught and which survived.

Each mutation first meets the tests of its own area (the test folders that mirror the mutated
file's folder, and those that drive that code from the layer above), built alone, which catch
most mutations in seconds; only a mutation that passes them is built in full and meets the rest
of the suite. So a survivor has still passed every test.

The list (scripts/mutations.txt) holds blocks like:
    @ path/in/repository | what the mutation breaks
    - text as it stands in the file (must occur exactly once)
    + text it is replaced by
Mostly one line each; consecutive '-' (and '+') lines join into one text of several lines.
Lines starting with '#' and blank lines are ignored.

Windows-only code (a file in a folder named win32, or named *_win32.*) is not built on Linux,
so its mutations would survive there unseen. They go through the Windows build instead: the
mingw preset in the same scratch worktree (build-mingw), its tests run under Wine on a virtual
display by scripts/wine-ctest.sh (which runs a failed test once more, as Wine now and then ends
a program before it starts). The order is the same: the area's test programs first, then the
whole Windows suite. --no-wine leaves these mutations out (reported as skipped).

Usage: scripts/mutate.sh [--list FILE] [--only N,M-K,...] [--work DIR] [--newest-first]
                         [--no-wine]
       scripts/mutate.sh --check [--list FILE]   (each text occurs once in the working tree; no build)
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Test folders that exercise a source folder besides its mirror under tests/ (the longest
# matching source prefix wins). Only the order of the tests depends on this, never the verdict.
AREA_TESTS = {
    "loader/catalogue": ["tests/loader/catalogue", "tests/loader/app"],
    "loader/checker": ["tests/loader/checker", "tests/loader/runtime"],
    "loader/runtime": ["tests/loader/runtime", "tests/loader/app"],
    "loader/app": ["tests/loader/app", "tests/tools"],
    "loader/ui": ["tests/loader/ui"],
    "platform/registry/src/tool": ["tests/platform/registry"],
    "platform/host": ["tests/platform/host", "tests/loader/runtime"],
}


def parse(path):
    mutations = []
    current = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            tag, text = line[:2], line[2:]
            if tag == "@ ":
                file, _, note = text.partition(" | ")
                current = {"file": file.strip(), "note": note.strip(), "line": number}
                mutations.append(current)
            elif line in ("-", "- ") and current is not None and "to" not in current:
                current["from"] = current.get("from", "") + ("\n" if "from" in current else "")
            elif tag == "- " and current is not None and "to" not in current:
                current["from"] = current["from"] + "\n" + text if "from" in current else text
            elif line in ("+", "+ ") and current is not None and "from" in current:
                current["to"] = current.get("to", "") + ("\n" if "to" in current else "")
            elif tag == "+ " and current is not None and "from" in current:
                current["to"] = current["to"] + "\n" + text if "to" in current else text
            else:
                sys.exit(f"{path}:{number}: unexpected line: {line}")
    for m in mutations:
        if "from" not in m or "to" not in m:
            sys.exit(f"{path}:{m['line']}: incomplete mutation")
    return mutations


def run(cmd, cwd, log, env=None, timeout=None):
    with open(log, "a") as out:
        out.write(f"$ {' '.join(cmd)}\n")
        out.flush()
        try:
            return subprocess.run(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, env=env,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            out.write("timed out\n")
            return 124


def windows_only(path):
    """Whether path is built for Windows only (and so is mutated in the Windows build)."""
    parts = path.split("/")
    return "win32" in parts[:-1] or os.path.splitext(parts[-1])[0].endswith("_win32")


def area_folders(path):
    """The test folders (relative to the build folder) that a mutation of path meets first."""
    parts = path.split("/")
    for length in range(len(parts), 0, -1):
        folders = AREA_TESTS.get("/".join(parts[:length]))
        if folders:
            return folders
    return ["tests/" + "/".join(parts[:2])]


def list_tests(build, lister=None, cwd=None, env=None):
    """(number, name, working folder relative to build, program target or "") of every test,
    in ctest's numbering. The target is the test program's when it is one of the build's (the
    first word of the command under the build's bin folder: a cross build's command starts with
    its emulator). lister is the command that prints ctest's listing (ctest in build)."""
    listing = json.loads(subprocess.check_output(
        lister or ["ctest", "--show-only=json-v1"], cwd=cwd or build, text=True, env=env,
        stderr=subprocess.DEVNULL))
    programs = os.path.join(build, "bin") + os.sep
    tests = []
    for number, test in enumerate(listing["tests"], 1):
        folder = ""
        for prop in test.get("properties", []):
            if prop["name"] == "WORKING_DIRECTORY":
                folder = os.path.relpath(prop["value"], build)
        command = test.get("command") or [""]
        program = next((word for word in command if word.startswith(programs)), "")
        target = os.path.basename(program)
        target = target[:-len(".exe")] if target.endswith(".exe") else target
        tests.append((number, test["name"], folder, target))
    return tests


def selection(numbers):
    """ctest's -I argument that runs exactly the tests numbered numbers."""
    return "0,0,0," + ",".join(str(n) for n in sorted(numbers))


def check(mutations):
    """Every mutation's text must occur exactly once in the file it names, so that moving or
    editing code cannot silently shrink the pass."""
    bad = 0
    for index, m in enumerate(mutations, 1):
        path = os.path.join(ROOT, m["file"])
        try:
            with open(path, encoding="utf-8") as f:
                count = f.read().count(m["from"])
        except OSError as error:
            print(f"#{index} {m['file']}: {error.strerror}")
            bad += 1
            continue
        if count != 1:
            print(f"#{index} {m['file']}: text found {count} times: {m['note']}")
            bad += 1
    print(f"{len(mutations) - bad} of {len(mutations)} mutations apply")
    return 1 if bad else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", default=os.path.join(ROOT, "scripts", "mutations.txt"))
    parser.add_argument("--only", default="", help="numbers or ranges: 3,7,10-20")
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "mutate"),
                        help="scratch folder (separate ones let two passes run at once)")
    parser.add_argument("--newest-first", action="store_true",
                        help="take the list from its end, where new mutations are added, so that "
                             "a pass cut short has met the newest ones")
    parser.add_argument("--area-only", action="store_true",
                        help="run only the tests of the mutated files' areas (the unmutated tree "
                             "too): quicker, but a survivor has then passed those tests alone")
    parser.add_argument("--no-wine", action="store_true",
                        help="leave out the mutations of Windows-only code, which need the "
                             "Windows build and Wine")
    parser.add_argument("--check", action="store_true",
                        help="only check that every mutation applies to the working tree")
    args = parser.parse_args()

    mutations = parse(args.list)
    if args.check:
        return check(mutations)
    chosen = set()
    for part in filter(None, args.only.split(",")):
        first, _, last = part.partition("-")
        chosen.update(range(int(first), int(last or first) + 1))
    work = os.path.abspath(args.work)
    scratch = os.path.join(work, "src")
    log = os.path.join(work, "mutate.log")
    os.makedirs(work, exist_ok=True)

    # The scratch worktree follows the committed state of the current branch.
    head = subprocess.check_output(["git", "rev-parse", "HEAD"], cwd=ROOT, text=True).strip()
    if not os.path.isdir(os.path.join(scratch, ".git")) and not os.path.isfile(
            os.path.join(scratch, ".git")):
        subprocess.check_call(["git", "worktree", "add", "--force", "--detach", scratch, head],
                              cwd=ROOT, stdout=subprocess.DEVNULL)
    subprocess.check_call(["git", "checkout", "--quiet", "--force", "--detach", head],
                          cwd=scratch)

    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.setdefault("CMAKE_CXX_COMPILER_LAUNCHER", "ccache")
    env.setdefault("CMAKE_C_COMPILER_LAUNCHER", "ccache")
    # Paths relative to a folder that holds both the repository and the scratch tree, so that
    # the scratch tree shares the compiler cache with the repository's own builds.
    env.setdefault("CCACHE_BASEDIR", os.path.commonpath([ROOT, work]))

    class Suite:
        """One build of the scratch tree and the way to run its tests."""

        def __init__(self, name, preset, folder, test, lister, configure_extra=()):
            self.name = name
            self.build = ["cmake", "--build", "--preset", preset]
            self.configure = ["cmake", "--preset", preset] + list(configure_extra)
            self.folder = os.path.join(scratch, folder)
            self.test = test
            self.lister = lister
            self.tests = None
            self.everything = set()

        def prepare(self):
            """Configures and builds the unmutated tree and checks that it passes."""
            if run(self.configure, scratch, log, env) != 0 or \
                    run(self.build, scratch, log, env) != 0:
                sys.exit(f"the unmutated tree does not build ({self.name}); see {log}")
            # The list's own check fails under every mutation by construction, so it cannot
            # count as a catch.
            # ctest lists in the build folder; the Windows lister (through its preset) in the
            # source tree.
            listed = list_tests(self.folder, self.lister, scratch if self.lister else None, env)
            self.tests = [t for t in listed if t[1] != "MutationListApplies"]
            if not self.tests:
                sys.exit(f"no tests listed ({self.name}); see {log}")
            self.everything = {t[0] for t in self.tests}
            checked = self.everything
            if args.area_only:
                checked = set()
                for _, m in order:
                    if (windows_only(m["file"]) == (self is windows)):
                        checked |= {t[0] for t in area_tests(m["file"], self)}
            if checked and run(self.test + ["-I", selection(checked)], scratch, log, env) != 0:
                sys.exit(f"the unmutated tree does not pass its tests ({self.name}); see {log}")

    linux_configure = []
    if shutil.which("ld.lld"):
        # Every mutation relinks the programs that use the mutated file; lld does that several
        # times faster than the default linker, with the same result.
        linux_configure = [f"-DCMAKE_{kind}_LINKER_FLAGS=-fuse-ld=lld"
                           for kind in ("EXE", "SHARED", "MODULE")]
    linux = Suite("Linux", "default", "build",
                  ["ctest", "--preset", "default", "-j2", "--stop-on-failure", "--timeout", "120"],
                  None, linux_configure)
    wine = os.path.join(scratch, "scripts", "wine-ctest.sh")
    # No stop on the first failure under Wine: wine-ctest.sh runs the failed tests once more
    # (Wine now and then ends a program before it starts), and passes when they pass then, so
    # that after a stop the tests behind a flake would go unrun and the mutation would pass as a
    # survivor (seen: 30 of 55 tests run). A failing test is also run again at once.
    windows = Suite("Windows under Wine", "mingw", "build-mingw",
                    [wine, "-j2", "--repeat", "until-pass:2", "--timeout", "300"],
                    [wine, "--show-only=json-v1"])

    def area_tests(file, suite):
        """The tests of the suite that a mutation of file meets first."""
        folders = area_folders(file)
        return [t for t in suite.tests if t[3] and any(
            t[2] == f or t[2].startswith(f + "/") for f in folders)]

    def outcome_of(file, suite):
        """"caught", "survived" or "invalid": the area's test programs are built and run
        first; only when they pass is everything built and the rest of the suite run (not with
        --area-only). A test that times out counts as failing."""
        area = area_tests(file, suite)
        first = {t[0] for t in area}
        if first:
            targets = sorted({t[3] for t in area})
            if run(suite.build + ["--target"] + targets, scratch, log, env) != 0:
                return "invalid"
            if run(suite.test + ["-I", selection(first)], scratch, log, env, timeout=1800) != 0:
                return "caught"
        if args.area_only:
            return "survived"
        if run(suite.build, scratch, log, env) != 0:
            return "invalid"
        rest = suite.everything - first
        if rest and run(suite.test + ["-I", selection(rest)], scratch, log, env,
                        timeout=3600) != 0:
            return "caught"
        return "survived"

    results = {"caught": [], "survived": [], "invalid": [], "skipped": []}
    order = [(index, m) for index, m in enumerate(mutations, 1)
             if not chosen or index in chosen]
    if args.newest_first:
        order.reverse()
    for index, m in order:
        suite = windows if windows_only(m["file"]) else linux
        label = f"#{index} {m['file']}: {m['note']}"
        if suite is windows and args.no_wine:
            results["skipped"].append(label)
            print(f"skipped  {label} (Windows only; --no-wine)", flush=True)
            continue
        if suite.tests is None:
            suite.prepare()
        path = os.path.join(scratch, m["file"])
        with open(path, encoding="utf-8") as f:
            original = f.read()
        count = original.count(m["from"])
        if count != 1:
            results["invalid"].append(f"{label} (text found {count} times)")
            print(f"invalid  {label} (text found {count} times)", flush=True)
            continue
        with open(path, "w", encoding="utf-8") as f:
            f.write(original.replace(m["from"], m["to"]))
        started = time.monotonic()
        try:
            outcome = outcome_of(m["file"], suite)
            if outcome == "invalid":
                label += " (does not build)"
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        if suite is windows:
            label += " [Wine]"
        results[outcome].append(label)
        print(f"{outcome:8} {label} [{time.monotonic() - started:.0f} s]", flush=True)

    # Leave the scratch builds matching the unmutated sources.
    for suite in (linux, windows):
        if suite.tests is not None:
            run(suite.build, scratch, log, env)
    valid = len(results["caught"]) + len(results["survived"])
    print(f"\n{len(results['caught'])} of {valid} mutations caught"
          + (f" ({100.0 * len(results['caught']) / valid:.1f} %)" if valid else "")
          + f", {len(results['survived'])} survived, {len(results['invalid'])} invalid"
          + (f", {len(results['skipped'])} skipped" if results["skipped"] else ""))
    for label in results["survived"]:
        print(f"  survived: {label}")
    for label in results["invalid"]:
        print(f"  invalid:  {label}")
    return 0 if not results["survived"] and not results["invalid"] else 1


if __name__ == "__main__":
    sys.exit(main())
