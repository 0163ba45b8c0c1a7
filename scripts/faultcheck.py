#!/usr/bin/env python3
"""Applies each fault of scripts/faults.txt to a scratch copy of the tree,
rebuilds, runs the test suite and prints whether the suite caught it.

  scripts/faultcheck.py                 every fault; stop at the first test that fails
  scripts/faultcheck.py P01 L14         only these faults
  scripts/faultcheck.py --killers       run the whole suite per fault and name every killer
  scripts/faultcheck.py --functions     the same, down to the failing test functions
  scripts/faultcheck.py --check         only check that every fault applies to today's code
  scripts/faultcheck.py --tests 'tst_flash.*'   run only the tests whose names match

The scratch copy (default /tmp/lumivor-faults, or --scratch DIR) is kept
between runs, so only what changed is rebuilt. The working tree is never
touched. Exit status: 0 when every fault was killed, 1 when one survived or
did not build.
"""
import argparse
import filecmp
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SKIPPED = {".git", "build"}


class Fault:
    def __init__(self, ident, title):
        self.ident, self.title = ident, title
        self.file = self.find = self.replace = None


def read_faults(path):
    faults, current = [], None
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        header = re.match(r"^\[(\w+)\]\s*(.*)$", line)
        if header:
            current = Fault(header.group(1), header.group(2))
            faults.append(current)
            continue
        field = re.match(r"^(file|find|replace):\s?(.*)$", line)
        if not field or current is None:
            sys.exit(f"{path}:{number}: cannot read: {line}")
        value = field.group(2).replace("\\n", "\n")
        setattr(current, field.group(1), value)
    for fault in faults:
        if fault.file is None or fault.find is None or fault.replace is None:
            sys.exit(f"fault {fault.ident} lacks file, find or replace")
    return faults


def sync_tree(source, target):
    """Copies what differs, removes what is gone; unchanged files keep their
    times, so the scratch build rebuilds only what changed."""
    target.mkdir(parents=True, exist_ok=True)
    for directory, subdirectories, files in os.walk(source):
        subdirectories[:] = [d for d in subdirectories if d not in SKIPPED or directory != str(source)]
        relative = Path(directory).relative_to(source)
        (target / relative).mkdir(exist_ok=True)
        for name in files:
            src, dst = Path(directory) / name, target / relative / name
            if not dst.exists() or not filecmp.cmp(src, dst, shallow=False):
                shutil.copy2(src, dst)
                os.utime(dst)  # newer than anything built from the old copy
    for directory, subdirectories, files in os.walk(target):
        subdirectories[:] = [d for d in subdirectories if d not in SKIPPED or directory != str(target)]
        relative = Path(directory).relative_to(target)
        for name in files:
            if not (source / relative / name).exists():
                (Path(directory) / name).unlink()


def apply_fault(tree, fault):
    path = tree / fault.file
    original = path.read_text()
    count = original.count(fault.find)
    if count != 1:
        return None, f"{fault.file}: the text to change occurs {count} times"
    path.write_text(original.replace(fault.find, fault.replace))
    return original, None


def restore(tree, fault, original):
    path = tree / fault.file
    path.write_text(original)
    os.utime(path)


def build(build_dir, log, targets=None):
    command = ["cmake", "--build", str(build_dir)]
    if targets:
        command += ["--target"] + targets
    with open(log, "w") as out:
        return subprocess.call(command, stdout=out, stderr=out) == 0


def test_targets(build_dir, pattern):
    """The programs behind the tests that match: only those are rebuilt."""
    if not pattern:
        return None
    listed = subprocess.run(["ninja", "-C", str(build_dir), "-t", "targets", "all"],
                            capture_output=True, text=True).stdout
    programs = {line.split(":")[0].rsplit("/", 1)[-1] for line in listed.splitlines()}
    tests = re.findall(r"Test\s+#\d+: (\S+)",
                       subprocess.run(["ctest", "--test-dir", str(build_dir), "-N", "-R", pattern],
                                      capture_output=True, text=True).stdout)
    return sorted({name for name in tests if name in programs}) or None


TEST_LINE = re.compile(r"Test\s+#\d+: (\S+) \.+\**\s*(.+?)\s+([\d.]+) sec")


def run_ctest(build_dir, arguments):
    result = subprocess.run(["ctest", "--test-dir", str(build_dir)] + arguments,
                            capture_output=True, text=True)
    outcomes = {}
    for match in TEST_LINE.finditer(result.stdout):
        outcomes[match.group(1)] = (match.group(2), float(match.group(3)))
    return outcomes


def failures(outcomes):
    return [name for name, (status, _) in outcomes.items() if status != "Passed"]


FAILED_FUNCTION = re.compile(r"^FAIL!\s*:\s*(\S+?)(?:\(.*?\))?\s")


def killers_with_functions(build_dir, arguments):
    """Every failing test program, with the test functions that failed in it
    ("tst_link: LinkServiceTest::refusesOthers"); a program that crashed or
    timed out is named alone."""
    result = subprocess.run(["ctest", "--test-dir", str(build_dir), "--output-on-failure"] + arguments,
                            capture_output=True, text=True)
    functions, program = {}, None
    for line in result.stdout.splitlines():
        header = TEST_LINE.search(line)
        if header:
            program = header.group(1) if header.group(2) != "Passed" else None
            if program:
                functions.setdefault(program, [])
            continue
        failed = FAILED_FUNCTION.match(line)
        if failed and program and failed.group(1) not in functions[program]:
            functions[program].append(failed.group(1))
    return [f"{name}: {' '.join(names)}" if names else name for name, names in functions.items()]


def fastest_first(build_dir, pattern):
    """The tests by their last measured time, quickest first."""
    listed = subprocess.run(["ctest", "--test-dir", str(build_dir), "-N"] +
                            (["-R", pattern] if pattern else []),
                            capture_output=True, text=True).stdout
    names = re.findall(r"Test\s+#\d+: (\S+)", listed)
    costs = {}
    cost_file = build_dir / "Testing" / "Temporary" / "CTestCostData.txt"
    if cost_file.exists():
        for line in cost_file.read_text().splitlines():
            parts = line.split()
            if len(parts) == 3:
                costs[parts[0]] = float(parts[2])
    return sorted(names, key=lambda name: costs.get(name, 1e9))


def first_killer(build_dir, ordered):
    for name in ordered:
        outcomes = run_ctest(build_dir, ["-R", f"^{re.escape(name)}$"])
        if failures(outcomes) or not outcomes:
            return [name]
    return []


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("faults", nargs="*", help="fault ids (all when none)")
    parser.add_argument("--killers", action="store_true", help="name every test that fails")
    parser.add_argument("--functions", action="store_true",
                        help="name every test program and test function that fails")
    parser.add_argument("--check", action="store_true", help="only check that the faults apply")
    parser.add_argument("--tests", help="only the tests whose names match this pattern")
    parser.add_argument("--scratch", default=os.environ.get("LUMIVOR_FAULTS_DIR", "/tmp/lumivor-faults"))
    parser.add_argument("--sanitize", action="store_true", help="build with the sanitizers, as ./test does")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    options = parser.parse_args()

    faults = read_faults(ROOT / "scripts" / "faults.txt")
    if options.faults:
        wanted = set(options.faults)
        faults = [f for f in faults if f.ident in wanted]
    scratch = Path(options.scratch)
    tree, build_dir = scratch / "tree", scratch / "build"
    sync_tree(ROOT, tree)

    if options.check:
        broken = 0
        for fault in faults:
            original, error = apply_fault(tree, fault)
            if error:
                print(f"{fault.ident}: {error}")
                broken += 1
            else:
                restore(tree, fault, original)
        print(f"{len(faults) - broken} of {len(faults)} faults apply")
        return 1 if broken else 0

    # Configured at every start: test programs may have been added or renamed.
    subprocess.check_call(["cmake", "-S", str(tree), "-B", str(build_dir), "-G", "Ninja",
                           "-DCMAKE_BUILD_TYPE=Debug", "-DLUMIVOR_TEST_TIMEOUT_SCALE=10",
                           f"-DLUMIVOR_SANITIZE={'ON' if options.sanitize else 'OFF'}"],
                          stdout=subprocess.DEVNULL)
    targets = test_targets(build_dir, options.tests)
    if not build(build_dir, scratch / "build.log", targets):
        sys.exit(f"the unchanged tree does not build; see {scratch / 'build.log'}")
    pattern = ["-R", options.tests] if options.tests else []
    baseline = run_ctest(build_dir, ["-j", str(options.jobs)] + pattern)
    if failures(baseline):
        sys.exit(f"the unchanged tree fails {', '.join(failures(baseline))}; fix that first")
    print(f"suite: {len(baseline)} tests, {sum(t for _, t in baseline.values()):.1f} s of test time")
    ordered = fastest_first(build_dir, options.tests)

    survived = 0
    report = scratch / f"results-{time.strftime('%Y%m%d-%H%M%S')}.txt"
    for fault in faults:
        original, error = apply_fault(tree, fault)
        if error:
            line = f"{fault.ident} NOT APPLIED  {error}"
            survived += 1
        else:
            try:
                started = time.monotonic()
                if not build(build_dir, scratch / f"build-{fault.ident}.log", targets):
                    line = f"{fault.ident} NO BUILD     see {scratch / f'build-{fault.ident}.log'}"
                    survived += 1
                else:
                    if options.functions:
                        killers = killers_with_functions(build_dir, ["-j", str(options.jobs)] + pattern)
                    elif options.killers:
                        killers = failures(run_ctest(build_dir, ["-j", str(options.jobs)] + pattern))
                    else:
                        killers = first_killer(build_dir, ordered)
                    seconds = time.monotonic() - started
                    if killers:
                        line = f"{fault.ident} killed       {'; '.join(killers)}  ({seconds:.0f} s)"
                    else:
                        line = f"{fault.ident} SURVIVED     {fault.title}"
                        survived += 1
            finally:
                restore(tree, fault, original)
        print(line, flush=True)
        with open(report, "a") as out:
            out.write(line + "\n")
    print(f"{len(faults) - survived} of {len(faults)} faults killed; results in {report}")
    return 1 if survived else 0


if __name__ == "__main__":
    sys.exit(main())
