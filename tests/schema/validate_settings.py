#!/usr/bin/env python3
"""Settings files against their JSON Schema, with Debian's python3-jsonschema:
what read --json prints for the simulated logger (which check must take too),
every settings file the manual shows, and files the schema must refuse, each
of which korvel-cli check refuses as well.

Usage: validate_settings.py KORVEL_CLI SCHEMA MANUAL"""

import json
import re
import subprocess
import sys

import jsonschema

cli, schema_path, manual_path = sys.argv[1:4]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
failures = []


def run(arguments, stdin=""):
    return subprocess.run([cli] + arguments, input=stdin, capture_output=True, text=True,
                          timeout=60, check=False)


def expect(valid, document, what):
    errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
    if valid and errors:
        failures.append(f"{what}: {'/'.join(map(str, errors[0].path))}: {errors[0].message}")
    elif not valid and not errors:
        failures.append(f"{what}: the schema takes it")


def checked(text, what, code):
    result = run(["check", "-", "--json"], text)
    if result.returncode != code:
        failures.append(f"{what}: check exits {result.returncode}, not {code}: {result.stderr}")
    outcome = json.loads(result.stdout)
    if list(outcome)[0] != "format_version" or outcome["ok"] != (code == 0):
        failures.append(f"{what}: check --json printed {result.stdout}")


read = run(["--demo", "read", "--json"])
if read.returncode != 0:
    sys.exit(f"read --json exits {read.returncode}: {read.stderr}")
settings = json.loads(read.stdout)
expect(True, settings, "read --json")
checked(read.stdout, "read --json", 0)
addressed = {"$schema": "file:///usr/share/korvel/korvel-settings.schema.json", **settings}
expect(True, addressed, "read --json with $schema")
checked(json.dumps(addressed), "read --json with $schema", 0)

with open(manual_path, encoding="utf-8") as f:
    blocks = re.findall(r"```json\n(.*?)```", f.read(), re.S)
examples = 0
for number, block in enumerate(blocks, 1):
    document = json.loads(block)
    if isinstance(document, dict) and "korvel" in document:
        examples += 1
        expect(True, document, f"the manual's JSON block {number}")
        checked(block, f"the manual's JSON block {number}", 0)
if examples < 2:
    failures.append(f"the manual shows {examples} settings files; the test expects its two")

bad = {
    "an unknown key": {"korvel": 1, "tz": "UTC+01:00"},
    "another format": {"korvel": 2},
    "no format version": {"stop_mode": "button"},
    "a name that is no choice": {"korvel": 1, "stop_mode": "never"},
    "a delay without a delayed start": {"korvel": 1, "start": {"mode": "now", "delay": "01:00"}},
    "a single alarm without its high limit": {"korvel": 1, "alarm": {"type": "single", "low": 2}},
    "levels without their required high level": {"korvel": 1, "alarm": {"type": "multiple", "levels": {
        "temperature_low_1": {"limit": 2, "mode": "single", "delay": "00:10:00"}}}},
    "a zone without UTC": {"korvel": 1, "time_zone": "+05:30"},
    "an interval as a number": {"korvel": 1, "log_interval": 900},
    "a byte list of the wrong length": {"korvel": 1, "time_zone": [0, 5]},
    "a $schema that is not a text": {"$schema": 1, "korvel": 1},
}
for what, document in bad.items():
    expect(False, document, what)
    checked(json.dumps(document), what, 2)

for failure in failures:
    print(failure)
print(f"{len(failures)} failures; read --json, {examples} manual examples, {len(bad)} bad files")
sys.exit(1 if failures else 0)
