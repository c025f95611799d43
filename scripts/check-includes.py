#!/usr/bin/env python3
"""Fails when a source includes what its folder may not (the layout's rules).

Each folder may include the project folders listed for it, and outside the
project only what its kind allows: the standard library, GLib's C API, or any
library. A file takes the rule of the longest folder that holds it.
Usage: scripts/check-includes.py   (from anywhere in the checkout)
"""
import os
import re
import subprocess
import sys

STD = 'std'          # the C++ standard library only
GLIB_C = 'glib-c'    # and GLib's C API (glib, gobject, gio, gmodule)
EXPAT = 'expat'      # and expat
ANY = 'any'          # any library

# folder: (project folders or files it may include, libraries it may include)
RULES = {
    'platform/': (['platform/'], STD),
    'platform/plist/': (['platform/', 'platform/plist/'], EXPAT),
    'platform/linux/': (['platform/', 'platform/plist/', 'platform/linux/'], ANY),
    'extension/': (['extension/', 'platform/'], STD),
    'finderbus/': (['finderbus/'], GLIB_C),
    'host/': (['host/', 'extension/', 'platform/', 'platform/plist/', 'platform/linux/',
               'finderbus/'], ANY),
    'tools/': (['tools/', 'platform/', 'platform/plist/', 'platform/linux/', 'finderbus/',
                'extension/companion_contract.h'], ANY),
    'integrations/': (['integrations/', 'finderbus/'], ANY),
    # The companion app calls the extension's own rules for what it shows (the
    # menu's commands and options, the bookmark map, the terminal's bundle,
    # the rename engine's names) rather than copy them.
    'companion/': (['companion/', 'platform/', 'platform/plist/', 'platform/linux/', 'finderbus/',
                    'extension/companion_contract.h', 'extension/batchrename/rename_engine.h',
                    'extension/settings/', 'extension/menu/menu_builder.h',
                    'extension/actions/terminal_launch.h'], ANY),
    'tests/': (None, ANY),
    'bench/': (None, ANY),
    'fuzz/': (None, ANY),
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
GLIB_C_HEADERS = re.compile(r'^(glib|gio|gobject|gmodule)(\.h|-object\.h|-unix\.h|/)')


def rule_for(path):
    folder = None
    for prefix in RULES:
        if path.startswith(prefix) and (folder is None or len(prefix) > len(folder)):
            folder = prefix
    return folder


def project_folder_of(include):
    """The rule folder an include names, by the longest rule that holds it."""
    return rule_for(include) or include


def allows(allowed, header, named):
    """Whether `allowed` admits `header`, which lies in the rule folder `named`.
    A rule folder admits its own headers but not those of the rule folders
    below it; any other folder admits everything below it; a file, itself."""
    if allowed in RULES:
        return named == allowed
    return header == allowed or (allowed.endswith('/') and header.startswith(allowed))


def allowed_library(header, kind):
    if kind == ANY:
        return True
    if kind == EXPAT and header == 'expat.h':
        return True
    if kind == GLIB_C and GLIB_C_HEADERS.match(header):
        return True
    # Standard C++ headers have neither a suffix nor a folder.
    return '/' not in header and '.' not in header


def main():
    top = subprocess.check_output(['git', 'rev-parse', '--show-toplevel'], text=True).strip()
    os.chdir(top)
    files = subprocess.check_output(['git', 'ls-files', '*.c', '*.cpp', '*.h'],
                                    text=True).split()
    breaches = []
    for path in files:
        folder = rule_for(path)
        if folder is None:
            continue
        projects, libraries = RULES[folder]
        with open(path, encoding='utf-8', errors='replace') as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                quoted, header = match.group(1) == '"', match.group(2)
                if quoted and projects is not None:
                    named = project_folder_of(header)
                    if not any(allows(p, header, named) for p in projects):
                        breaches.append(f'{path}:{number}: {folder} may not include "{header}"')
                elif not quoted and not allowed_library(header, libraries):
                    breaches.append(f'{path}:{number}: {folder} may not include <{header}>')
    for breach in breaches:
        print(breach)
    if breaches:
        print(f'{len(breaches)} include(s) break the layout rules (scripts/check-includes.py)')
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
