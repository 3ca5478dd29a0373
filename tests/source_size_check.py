#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails when a source file under the folders checked is longer than 450 lines or a function in one is longer
than 60 lines (signature to closing brace), unless the allow-list names it. An allow-list entry that no
longer exceeds its limit fails too, so that the list only shrinks.

Usage: source_size_check.py SOURCE_ROOT ALLOW_LIST FOLDER [FOLDER ...]
The allow-list holds one entry a line, `path` for a file or `path function` for a function; # starts a
comment."""
import pathlib
import re
import sys

MAX_FILE_LINES = 450
MAX_FUNCTION_LINES = 60

# Comments, string and character literals: blanked so that their braces and words do not count.
TOKENS = re.compile(r'//[^\n]*|/\*.*?\*/|R"(?P<d>[^(]*)\(.*?\)(?P=d)"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'',
                    re.S)
CONTROL = re.compile(r'^\s*(if|for|while|switch|catch|do|else)\b')
NAME = re.compile(r'([A-Za-z_~][\w:~]*(?:operator\s*\S+?)?)\s*\($')


def blank(match):
    return re.sub(r'[^\n]', ' ', match.group(0))


def functions(text):
    """(name, first line, last line) of each function defined at namespace or class scope."""
    code = TOKENS.sub(blank, text)
    found = []
    scopes = []  # 'namespace', 'class', 'function' or 'other' for each open brace
    header_start = 0  # where the text before the next brace began
    for i, char in enumerate(code):
        if char in ';':
            header_start = i + 1
        elif char == '{':
            header = code[header_start:i]
            inside_code = any(scope[0] in ('function', 'other') for scope in scopes)
            if inside_code:
                kind = 'other'
            elif re.search(r'\bnamespace\b|\bextern\s*$', header):
                kind = 'namespace'
            elif re.search(r'\b(class|struct|union|enum)\b', header) and '(' not in header:
                kind = 'class'
            elif '(' in header and '=' not in header.split('(')[0] and not CONTROL.match(header):
                kind = 'function'
            else:
                kind = 'other'
            first = len(code[:header_start]) + len(header) - len(header.lstrip())
            scopes.append((kind, first, header))
            header_start = i + 1
        elif char == '}':
            if not scopes:
                continue
            kind, first, header = scopes.pop()
            if kind == 'function':
                signature = header[: header.find('(') + 1].strip()
                match = NAME.search(signature)
                name = match.group(1) if match else signature
                found.append((name, code.count('\n', 0, first) + 1, code.count('\n', 0, i) + 1))
            header_start = i + 1
    return found


def main():
    root = pathlib.Path(sys.argv[1])
    allowed = set()
    for line in pathlib.Path(sys.argv[2]).read_text(encoding='utf-8').splitlines():
        entry = line.split('#', 1)[0].strip()
        if entry:
            allowed.add(tuple(entry.split(None, 1)))
    over = {}
    for folder in sys.argv[3:]:
        for path in sorted((root / folder).rglob('*')):
            if path.suffix not in ('.cpp', '.h'):
                continue
            relative = path.relative_to(root).as_posix()
            text = path.read_text(encoding='utf-8')
            lines = text.count('\n')
            if lines > MAX_FILE_LINES:
                over[(relative,)] = f'{relative}: {lines} lines (at most {MAX_FILE_LINES})'
            for name, first, last in functions(text):
                if last - first + 1 > MAX_FUNCTION_LINES:
                    over[(relative, name)] = (f'{relative}:{first}: {name} has {last - first + 1} lines '
                                              f'(at most {MAX_FUNCTION_LINES})')
    failed = False
    for key, message in sorted(over.items()):
        if key not in allowed:
            print('too long:', message)
            failed = True
    for key in sorted(allowed - over.keys()):
        print('allow-list entry no longer needed (remove it):', ' '.join(key))
        failed = True
    print(f'{len(over)} over the limits, {len(allowed)} allowed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
