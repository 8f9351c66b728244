#!/usr/bin/env python3
"""Checks THIRD-PARTY-NOTICES.txt against what the programs really link.

Every third-party archive in the linker maps (--map) and every shared library
the programs need (--elf) must be named in a component's "Files:" line; every
component must give a version, a licence and a licence text; each --require
name must be one of the components (the Windows programs' known parts).
"""
import argparse
import os
import re
import subprocess
import sys


def components(text):
    """[(name, version, licence, linked names, licence text)] from the notices."""
    found = []
    for match in re.finditer(r"^(\d+)\. (.+)\n   Version: (.*)\n   Licence: (.*)\n   Files: (.*)$",
                             text, re.M):
        number, name = match.group(1), match.group(2)
        section = re.search(r"^=+\n" + number + r"\. " + re.escape(name) + r" .*\nLicence: .*\n=+\n(.*?)(?=^=+\n\d+\. |\Z)",
                            text, re.M | re.S)
        found.append((name, match.group(3).strip(), match.group(4).strip(),
                      {n.strip() for n in match.group(5).split(",")},
                      section.group(1).strip() if section else ""))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("notices")
    parser.add_argument("--map", action="append", default=[])
    parser.add_argument("--elf", action="append", default=[])
    parser.add_argument("--own", action="append", default=[])
    parser.add_argument("--require", action="append", default=[])
    args = parser.parse_args()

    with open(args.notices, encoding="utf-8") as notices:
        listed = components(notices.read())
    faults = []
    if not listed:
        faults.append("no components listed")
    for name, version, licence, _, text in listed:
        if not version or not licence or len(text) < 100:
            faults.append(f"{name}: version '{version}', licence '{licence}', "
                          f"{len(text)} characters of licence text")
    linked_names = set().union(*(c[3] for c in listed)) if listed else set()

    own = [os.path.realpath(d) + os.sep for d in args.own]
    expected = set()
    for map_and_dir in args.map:  # MAP=DIR: the map of a link run in DIR
        map_path, link_dir = map_and_dir.rsplit("=", 1)
        with open(map_path, encoding="utf-8", errors="replace") as map_file:
            for line in map_file:
                if line.startswith("Memory Configuration"):
                    break
                archive = re.match(r"^(\S+\.a)\(", line)
                path = archive and os.path.realpath(os.path.join(link_dir, archive.group(1)))
                if archive and not any(path.startswith(d) for d in own):
                    expected.add(os.path.basename(archive.group(1)))
    for program in args.elf:
        dynamic = subprocess.run(["readelf", "-d", program], capture_output=True, text=True,
                                 check=True).stdout
        expected |= set(re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic))
    for name in sorted(expected - linked_names):
        faults.append(f"{name} is linked but no component names it")

    for required in args.require:
        if not any(required.lower() in (n + " " + " ".join(l)).lower() for n, _, _, l, _ in listed):
            faults.append(f"no component for {required}")

    for fault in faults:
        print(f"{args.notices}: {fault}", file=sys.stderr)
    print(f"{len(listed)} components, {len(expected)} linked files checked")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
