#!/usr/bin/env python3
"""Writes the third-party notices of Korvel's programs from what they link.

Static programs (Windows): the linker's map files name every archive member
that went into a program. Each archive is traced to where it came from: a
prefix built from a Debian source package (--built, the cross-built Qt and
SQLite) or a Debian package installed here (dpkg -S, the compiler's runtime
and mingw-w64). Inside Qt, the third-party code Qt bundles (its
qt_attribution.json files) is listed when one of its source files was linked.

Shared programs (Linux): the libraries each program needs (its NEEDED
entries) are traced to their Debian packages the same way, and so are files
shipped beside the programs (--file, Qt's translations on Windows).

Every component gets its version and its licence text: the package's Debian
copyright file with the full texts of the common licences it refers to, or a
bundled component's own licence file. A linked archive whose origin is unknown
stops the build, so no component goes unnamed.
"""

import argparse
import json
import os
import re
import subprocess
import sys
from dataclasses import dataclass, field

COMMON_LICENSES = "/usr/share/common-licenses"
RULE = "=" * 78


@dataclass
class Component:
    name: str
    version: str
    licence: str
    text: str
    linked: set = field(default_factory=set)


def fail(message):
    sys.exit(f"notices: {message}")


def dpkg_version(package):
    result = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package],
                            capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"the Debian package {package} is not installed")
    return result.stdout.strip()


def owning_package(path):
    """The Debian package that installed path, or None."""
    candidates = [path, os.path.realpath(path)]
    # With /usr merged, a library may be known to dpkg under /lib.
    for candidate in list(candidates):
        if candidate.startswith("/usr/lib/"):
            candidates.append(candidate[len("/usr"):])
    for candidate in candidates:
        result = subprocess.run(["dpkg-query", "-S", candidate], capture_output=True, text=True)
        if result.returncode == 0:
            # "package[:arch]: path"; diversions and several owners aside.
            return result.stdout.split(":")[0].split(",")[0].strip()
    return None


# Copyright files in free form, known by a phrase they carry.
FREE_FORM_LICENCES = [
    ("GCC RUNTIME LIBRARY EXCEPTION", "GPL-3+ with the GCC Runtime Library Exception"),
    ("The GNU C Library is free software", "LGPL-2.1+"),
]


def main_licence(copyright_text):
    """The licence of a machine-readable copyright file's "Files: *" stanza."""
    for stanza in re.split(r"\n\s*\n", copyright_text):
        if re.search(r"^Files:\s*\*\s*$", stanza, re.M):
            found = re.search(r"^License:\s*(.+)$", stanza, re.M)
            if found:
                return found.group(1).strip()
    for phrase, licence in FREE_FORM_LICENCES:
        if phrase in copyright_text:
            return licence
    return None


def with_common_licences(text):
    """The text followed by each of Debian's common licences it refers to."""
    names = sorted(set(re.findall(re.escape(COMMON_LICENSES) + r"/([A-Za-z0-9.+-]+?)['\".,]?(?=[\s'\"`]|$)",
                                  text)))
    for name in names:
        path = os.path.join(COMMON_LICENSES, name)
        if os.path.isfile(path):
            with open(path, encoding="utf-8") as common:
                text += f"\n\n----- {path} -----\n\n{common.read()}"
    return text


def debian_component(package, name, licence_override):
    path = f"/usr/share/doc/{package}/copyright"
    if not os.path.isfile(path):
        fail(f"no copyright file for {package} ({path})")
    with open(path, encoding="utf-8", errors="replace") as copyright_file:
        text = copyright_file.read()
    licence = licence_override.get(package) or main_licence(text)
    if not licence:
        fail(f"the licence of {package} is not machine-readable: give it with --licence")
    title = f"{name} (Debian package {package})" if name else package
    return Component(title, dpkg_version(package), licence, with_common_licences(text))


def linked_members(maps):
    """{archive path: {member file names}} from GNU ld map files, given as
    MAP=DIR: the map names archives as the link command did, from DIR."""
    archives = {}
    member = re.compile(r"^(\S+\.a)\(([^)]+)\)")
    for map_and_dir in maps:
        map_path, link_dir = map_and_dir.rsplit("=", 1)
        with open(map_path, encoding="utf-8", errors="replace") as map_file:
            for line in map_file:
                if line.startswith("Discarded input sections") or line.startswith("Memory Configuration"):
                    break
                found = member.match(line)
                if found:
                    archive = os.path.realpath(os.path.join(link_dir, found.group(1)))
                    archives.setdefault(archive, set()).add(found.group(2))
    return archives


def needed_libraries(elf_paths):
    """{library path: {program names}} from the programs' NEEDED entries."""
    libraries = {}
    search = ["/lib/x86_64-linux-gnu", "/usr/lib/x86_64-linux-gnu", "/lib64", "/usr/lib"]
    for program in elf_paths:
        dynamic = subprocess.run(["readelf", "-d", program], capture_output=True, text=True,
                                 check=True).stdout
        for soname in re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic):
            path = next((os.path.join(d, soname) for d in search
                         if os.path.exists(os.path.join(d, soname))), None)
            if path is None:
                fail(f"{program} needs {soname}, which is not on this system")
            libraries.setdefault(path, set()).add(os.path.basename(program))
    return libraries


def attribution_entries(qt_source):
    """(directory, entry) for every qt_attribution.json entry in Qt's src/."""
    for root, _, files in os.walk(os.path.join(qt_source, "src")):
        if "qt_attribution.json" not in files:
            continue
        with open(os.path.join(root, "qt_attribution.json"), encoding="utf-8") as attribution:
            # Qt's files keep line breaks inside strings and repeat keys.
            data = json.loads(attribution.read(), strict=False)
        for entry in data if isinstance(data, list) else [data]:
            yield root, entry


def linked_attributions(qt_source, qt_members):
    """The bundled components of Qt that at least one linked object comes from."""
    objects = {re.sub(r"\.(obj|o)$", "", m) for m in qt_members}  # "qregion.cpp"
    found = []
    for directory, entry in attribution_entries(qt_source):
        named = " ".join(filter(None, [entry.get("Path"), entry.get("Files")])).split()
        if named:
            sources = {n for n in named if re.search(r"\.(c|cc|cpp)$", n)}
            # A header counts when a source of its folder that includes it was linked.
            headers = [n for n in named if n.endswith(".h")]
            for candidate in os.listdir(directory):
                if not re.search(r"\.(c|cc|cpp)$", candidate):
                    continue
                with open(os.path.join(directory, candidate), encoding="utf-8",
                          errors="replace") as source:
                    text = source.read()
                if any(f'#include "{h}"' in text for h in headers):
                    sources.add(candidate)
        else:
            # The whole folder: every source under it.
            sources = {f for _, _, files in os.walk(directory) for f in files
                       if re.search(r"\.(c|cc|cpp)$", f)}
        hits = sources & objects
        if not hits:
            continue
        licence_file = os.path.normpath(os.path.join(directory, entry.get("LicenseFile", "")))
        if not entry.get("LicenseFile") or not os.path.isfile(licence_file):
            fail(f"{entry.get('Name')}: no licence file in {directory}")
        with open(licence_file, encoding="utf-8", errors="replace") as licence:
            text = licence.read()
        copyright_line = entry.get("Copyright", "").strip()
        if copyright_line:
            text = f"{copyright_line}\n\n{text}"
        found.append(Component(f"{entry['Name']} (bundled in Qt)",
                               entry.get("Version", "as bundled in Qt").split("\n")[0].strip(),
                               entry.get("License") or entry.get("LicenseId"), text,
                               {f"{h}.obj" for h in hits}))
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("output")
    parser.add_argument("--title", required=True)
    parser.add_argument("--map", action="append", default=[],
                        help="MAP=DIR: a GNU ld map file, of a link run in DIR")
    parser.add_argument("--elf", action="append", default=[], help="a dynamically linked program")
    parser.add_argument("--file", action="append", default=[],
                        help="a file of a Debian package shipped beside the programs")
    parser.add_argument("--own", action="append", default=[],
                        help="a folder of Korvel's own archives (not third-party)")
    parser.add_argument("--built", action="append", default=[],
                        help="NAME:PACKAGE:PREFIX: archives under PREFIX are NAME, built from "
                             "the Debian source of the installed PACKAGE")
    parser.add_argument("--qt-source", help="the Qt source the Qt under --built came from")
    parser.add_argument("--name", action="append", default=[],
                        help="PACKAGE=NAME: what the package is, for the reader")
    parser.add_argument("--licence", action="append", default=[],
                        help="PACKAGE=LICENCE where its copyright file does not say it plainly")
    parser.add_argument("--preface", help="a file whose text comes before the components")
    args = parser.parse_args()

    licence_override = dict(item.split("=", 1) for item in args.licence)
    names = dict(item.split("=", 1) for item in args.name)
    built = [item.split(":", 2) for item in args.built]
    own = [os.path.realpath(d) + os.sep for d in args.own]

    components = {}  # key -> Component
    qt_members = set()

    def add(key, make, linked):
        if key not in components:
            components[key] = make()
        components[key].linked |= linked

    for archive, members in sorted(linked_members(args.map).items()):
        if any(archive.startswith(d) for d in own):
            continue
        origin = next((b for b in built if archive.startswith(os.path.realpath(b[2]) + os.sep)),
                      None)
        if origin:
            name, package, _ = origin
            add(package, lambda: debian_component(package, name, licence_override),
                {os.path.basename(archive)})
            if name.startswith("Qt"):
                qt_members |= members
            continue
        package = owning_package(archive)
        if package is None:
            fail(f"{archive} is linked, but neither a built prefix nor a Debian package holds it")
        add(package, lambda: debian_component(package, names.get(package), licence_override),
            {os.path.basename(archive)})

    for library, programs in sorted(needed_libraries(args.elf).items()):
        if any(library.startswith(d) for d in own):
            continue
        package = owning_package(library)
        if package is None:
            fail(f"{library} is needed, but no Debian package holds it")
        add(package, lambda: debian_component(package, names.get(package), licence_override),
            {os.path.basename(library)})

    for shipped in args.file:
        package = owning_package(shipped)
        if package is None:
            fail(f"{shipped} is shipped, but no Debian package holds it")
        add(package, lambda: debian_component(package, names.get(package), licence_override),
            {os.path.basename(shipped)})

    ordered = sorted(components.values(), key=lambda c: c.name.lower())
    if args.qt_source and qt_members:
        ordered += sorted(linked_attributions(args.qt_source, qt_members),
                          key=lambda c: c.name.lower())
    if not ordered:
        fail("nothing linked was found: no map files or programs given?")

    out = [args.title, "=" * len(args.title), ""]
    if args.preface:
        with open(args.preface, encoding="utf-8") as preface:
            out += [preface.read().rstrip(), ""]
    out += ["Components", "----------", ""]
    for number, component in enumerate(ordered, 1):
        out += [f"{number}. {component.name}",
                f"   Version: {component.version}",
                f"   Licence: {component.licence}",
                f"   Files: {', '.join(sorted(component.linked))}", ""]
    for number, component in enumerate(ordered, 1):
        out += [RULE, f"{number}. {component.name} {component.version}",
                f"Licence: {component.licence}", RULE, "", component.text.rstrip(), ""]
    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    with open(args.output, "w", encoding="utf-8") as output:
        output.write("\n".join(out))


if __name__ == "__main__":
    main()
