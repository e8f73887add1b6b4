#!/usr/bin/env python3
"""The manual pages and the programs' --help agree: every ctadm command and
every ctserver option that --help lists has an entry in its page, and the
page describes none that --help lacks.
Usage: check_manpages.py CTADM CTSERVER MANDIR"""
import re
import subprocess
import sys


def help_text(program):
    run = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=60)
    if run.returncode != 0:
        sys.exit(f"{program} --help failed: {run.stderr}")
    return run.stdout


def section(page, name):
    """The roff text of one .SH section."""
    match = re.search(r"^\.SH " + re.escape(name) + r"\n(.*?)(?=^\.SH |\Z)", page, re.M | re.S)
    if not match:
        sys.exit(f"no {name} section")
    return match.group(1)


def tags(text):
    """The tag line of each .TP entry, roff fonts and escapes removed."""
    for tag in re.findall(r"^\.TP\n(.*)$", text, re.M):
        tag = re.sub(r"\\f[BIRP]", "", tag)
        yield re.sub(r"^\.[A-Z]+ ", "", tag).replace("\\-", "-")


def first_words(text):
    return {re.split(r'[ ,"]+', tag.strip())[0] for tag in tags(text)}


def option_words(text):
    return {word for tag in tags(text) for word in re.findall(r"(--[a-z][a-z-]*)", tag)}


def ctadm_commands(text):
    after = text.split("SUBCOMMANDS:", 1)[-1] if "SUBCOMMANDS:" in text else text.split("Subcommands:", 1)[-1]
    return {m.group(1) for m in re.finditer(r"^  ([a-z][a-z-]*)\s", after, re.M)}


def long_options(text):
    return set(re.findall(r"(--[a-z][a-z-]*)", text))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    ctadm, ctserver, mandir = sys.argv[1:]
    failures = []

    commands = ctadm_commands(help_text(ctadm))
    page = open(f"{mandir}/ctadm.1", encoding="utf-8").read()
    documented = first_words(section(page, "COMMANDS"))
    if not commands:
        failures.append("ctadm --help lists no commands")
    for missing in sorted(commands - documented):
        failures.append(f"ctadm.1 does not describe the command {missing}")
    for extra in sorted(documented - commands):
        failures.append(f"ctadm.1 describes {extra}, which ctadm --help does not list")

    options = long_options(help_text(ctserver))
    page = open(f"{mandir}/ctserver.8", encoding="utf-8").read()
    documented = option_words(section(page, "OPTIONS"))
    for missing in sorted(options - documented):
        failures.append(f"ctserver.8 does not describe the option {missing}")
    for extra in sorted(documented - options):
        failures.append(f"ctserver.8 describes {extra}, which ctserver --help does not list")

    for failure in failures:
        print(failure)
    print(f"checked {len(commands)} ctadm commands and {len(options)} ctserver options")
    return 1 if failures else 0


sys.exit(main())
