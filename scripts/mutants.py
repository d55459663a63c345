#!/usr/bin/python3
"""Mutation testing of the rules (game/), the windows (screens/: their logic
and their layout tables), the sound (sound/), the player's files (storage/) and the one-game guard (app/),
on clang's own parser (Debian's python3-clang).

    scripts/mutants.py                  every mutant
    AREA=screens scripts/mutants.py     one area: game, layouts, screens, sound, process, storage or app
    MUTANTS_MAX=N scripts/mutants.py    N mutants spread over the files
    scripts/mutants.py game/turn.cpp    the mutants of some files only
    MUTANTS_AGAIN=1 scripts/mutants.py  last run's survivors again after new tests, and any never judged

Mutation points come from the parsed source (tokens and cursors of
clang.cindex, with the flags of compile_commands.json). Each file is compiled
once with all its mutants in it, each behind a run-time switch
(KIRAMOKU_MUTANT=<id>), so a mutant costs a test run, not a build. The switch
lives only in a copy of the sources under build-mutants/; the tree itself is
never written. A mutant that does not compile (a constant expression, a
type it does not fit) is taken out again and counted as not compiling.

Each mutant meets only the tests whose executables link the library its file
is in, first failure ends it. Report in build/mutants/report.txt; survivors
judged equivalent are in tests/mutants-equivalent.txt, one a line:
"file:line: change: why".
"""
import bisect
import concurrent.futures
import glob
import hashlib
import json
import os
import pickle
import re
import shlex
import shutil
import signal
import subprocess
import sys
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path

import clang.cindex as ci

ROOT = Path(__file__).resolve().parent.parent
OUT = ROOT / 'build' / 'mutants'
WORK = ROOT / os.environ.get('MUTANTS_WORK', 'build-mutants')   # another, for a second run beside the first
SRC = WORK / 'src'
BUILD = WORK / 'build'
SWITCH = WORK / 'mutant_switch.h'
CACHE = WORK / 'mutants.pickle'
BUILT = WORK / 'built'   # the last build of the mutants went through
EQUIVALENT = ROOT / 'tests' / 'mutants-equivalent.txt'
FILES = ['game/*.cpp', 'game/*.h', 'screens/boardlayout.cpp', 'screens/selectionlayout.cpp',
         'screens/winnerlayout.cpp', 'screens/form1.cpp', 'screens/form2.cpp',
         'screens/form3.cpp', 'screens/elements.cpp', 'screens/windowlook.cpp', 'screens/session.cpp',
         'screens/playback.cpp', 'sound/beep.cpp', 'screens/announcer.cpp', 'sound/mmcontrol.cpp',
         'sound/sequencer.cpp', 'sound/audiooutput.cpp', 'sound/tunecheck.cpp', 'process/worker.cpp', 'process/report.cpp',
         'storage/keptfile.cpp', 'storage/keptgame.cpp', 'storage/musicchoice.cpp', 'app/onegame.cpp']
# The report's areas, first match; AREA=<name> runs one of them.
AREAS = [('screens/boardlayout', 'layouts'), ('screens/selectionlayout', 'layouts'),
         ('screens/winnerlayout', 'layouts'), ('screens/', 'screens'), ('sound/', 'sound'), ('process/', 'process'), ('storage/', 'storage'), ('game/', 'game'),
         ('app/', 'app')]
# The screen reader, the package and install checks.
LEFT_OUT = re.compile(r'screen|orca|lintian|debian|install|silently|frozen|live_pipewire')
# The live sound test hears what only a sound server shows (the output
# reopened after a restart, the fade played out, the beep's new context); it
# takes most of a minute, so only these files' mutants meet it, each worker
# on a private server of its own.
LIVE = re.compile(r'^test_music_live_')
LIVE_FILES = ('sound/sequencer.cpp', 'sound/audiooutput.cpp', 'sound/beep.cpp')
FIXTURE = ROOT / 'tests' / 'music' / 'pulse-fixture.sh'
# The mutants are built with LeakSanitizer (a malloc hook, no slower to run):
# a test that ends with memory nothing points to any more fails, as in the
# sanitizer build, so a free left out (a player, a stream, the synthesizer)
# is caught. What the system libraries keep for good is in the same list.
LEAKS = f'suppressions={ROOT}/tests/leak-suppressions.txt:print_suppressions=0'
WORKERS = os.cpu_count() or 2   # parsing and building
# The tests mostly wait (for timers, the pauses of a walk, the disk): the
# machine's cores stay half idle with one test a core, so more run at once.
TESTERS = int(os.environ.get('MUTANTS_TESTERS') or 3 * WORKERS)
MAX_BUILD_ROUNDS = 8
LIBCLANG = '/usr/lib/llvm-14/lib/libclang.so.1'
RUNNING = set()   # the test processes under way

SWITCH_HEADER = """#pragma once
// make mutants only: KIRAMOKU_MUTANT=<id> turns on the one mutant <id>.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <type_traits>  // std::remove_cvref_t in the returned-value mutants
#include <unistd.h>
namespace kiramoku_mutants {
inline long active()
{
    static const long id = [] { const char *v = std::getenv("KIRAMOKU_MUTANT"); return v ? std::atol(v) : 0L; }();
    return id;
}
// The tests' first run (KIRAMOKU_MUTANT_TRACE=<file>): each switch a test
// passes writes its id once, so a mutant later meets only the tests that
// reach it. Appended at once, since a test may end with _Exit.
constexpr long traced = 1L << 16;
inline void reached(long id)
{
    static const int fd = [] {
        const char *path = std::getenv("KIRAMOKU_MUTANT_TRACE");
        return path ? ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644) : -1;
    }();
    static std::atomic<bool> seen[traced];
    if (fd < 0 || id >= traced || seen[id].exchange(true))
        return;
    char line[24];
    const int n = std::snprintf(line, sizeof line, "%ld\\n", id);
    (void)!::write(fd, line, n);
}
inline bool on(long id) { reached(id); return active() == id; }
// Inside a constexpr function: off while the compiler evaluates it.
constexpr bool onc(long id) { return !__builtin_is_constant_evaluated() && on(id); }
}
"""

RELATIONAL = {'<': ['<=', '>='], '<=': ['<', '>'], '>': ['>=', '<='], '>=': ['>', '<'],
              '==': ['!='], '!=': ['==']}
ARITHMETIC = {'+': ['-'], '-': ['+'], '*': ['/'], '/': ['*'], '%': ['*'],
              '+=': ['-='], '-=': ['+='], '*=': ['/='], '/=': ['*=']}
LOGICAL = {'&&': ['||'], '||': ['&&']}
BINARY = {**RELATIONAL, **ARITHMETIC, **LOGICAL}
NUMBER = re.compile(rb"^(0[xX][0-9a-fA-F]+|0[bB][01]+|[0-9]+)([uUlLzZ]*)$")
FUNCTIONS = {ci.CursorKind.FUNCTION_DECL, ci.CursorKind.CXX_METHOD, ci.CursorKind.FUNCTION_TEMPLATE,
             ci.CursorKind.CONSTRUCTOR, ci.CursorKind.DESTRUCTOR, ci.CursorKind.LAMBDA_EXPR,
             ci.CursorKind.CONVERSION_FUNCTION}
CONSTANT_PLACES = {ci.CursorKind.ENUM_CONSTANT_DECL, ci.CursorKind.STATIC_ASSERT,
                   ci.CursorKind.TEMPLATE_NON_TYPE_PARAMETER}


@dataclass
class Mutant:
    file: str
    line: int
    change: str
    start: int          # the region of the source it replaces (bytes)
    end: int
    alt: bytes = b''    # the region's text once mutated (before nested mutants)
    edit: tuple = None  # or: (start, end, text) inside the region, nested mutants kept
    wrap: tuple = (b'', b'')   # around the mutated text
    orig_wrap: tuple = (b'', b'')
    guard: str = 'on'
    id: int = 0
    outcome: str = ''   # killed, survived, not compiling
    test: str = ''
    nth: int = 1        # among the mutants of its line with the same change


@dataclass
class Node:
    cursor: object
    start: int
    end: int
    parent: int


@dataclass
class Source:
    rel: str
    text: bytes
    nodes: list = field(default_factory=list)
    tokens: list = field(default_factory=list)   # (start, end, kind, spelling bytes)
    macros: list = field(default_factory=list)   # (start, end, name)
    demoted: list = field(default_factory=list)  # (start, end, text) of constexpr keywords
    demote: bool = True
    starts: list = field(default_factory=list)
    mutants: list = field(default_factory=list)


def log(*words):
    print('mutants:', *words, flush=True)


def run(cmd, **kw):
    return subprocess.run(cmd, text=True, capture_output=True, **kw)


# ---------------------------------------------------------------- the copy

def target_files():
    names = sorted({p for pattern in FILES for p in glob.glob(pattern, root_dir=ROOT)})
    return [n for n in names if Path(ROOT / n).is_file()]


def tracked_files():
    done = run(['git', 'ls-files', '-co', '--exclude-standard'], cwd=ROOT)
    if done.returncode != 0:
        sys.exit('mutants: needs a git checkout (git ls-files)')
    return [f for f in done.stdout.splitlines() if (ROOT / f).is_file()]


def write_if_changed(path, data):
    if path.exists() and path.read_bytes() == data:
        return False
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    return True


def copy_tree(mutated):
    """The sources, but for the mutated files: those hold their mutants
    (written later), and writing them twice would rebuild everything."""
    for rel in tracked_files():
        if rel not in mutated or not (SRC / rel).exists():
            write_if_changed(SRC / rel, (ROOT / rel).read_bytes())
            shutil.copymode(ROOT / rel, SRC / rel)   # the tests' scripts stay runnable
    write_if_changed(SWITCH, SWITCH_HEADER.encode())


def configure():
    query = BUILD / '.cmake' / 'api' / 'v1' / 'query' / 'codemodel-v2'
    query.parent.mkdir(parents=True, exist_ok=True)
    query.touch()
    done = run(['cmake', '-S', str(SRC), '-B', str(BUILD), '-DCMAKE_BUILD_TYPE=RelWithDebInfo',
                '-DKIRAMOKU_WERROR=OFF', '-DCMAKE_EXPORT_COMPILE_COMMANDS=ON',
                f'-DCMAKE_CXX_FLAGS=-include {SWITCH} -fsanitize=leak', '-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=leak'])
    if done.returncode != 0:
        sys.exit('mutants: cmake failed\n' + done.stdout + done.stderr)


# ---------------------------------------------------------------- parsing

def compile_args(commands, path):
    same = [c for c in commands if Path(c['file']) == path]
    near = [c for c in commands if Path(c['file']).parent == path.parent]
    entry = (same or near)[0]
    args = entry.get('arguments') or shlex.split(entry['command'])
    kept, skip = [], False
    for a in args[1:]:
        if skip or a == entry['file']:
            skip = False
            continue
        if a in ('-o', '-c'):
            skip = True
            continue
        kept.append(a)
    return kept + ['-x', 'c++', '-Wno-pragma-once-outside-header']


def parse(rel, commands, originals):
    path = SRC / rel
    index = ci.Index.create()
    unsaved = [(str(SRC / r), t) for r, t in originals.items()]
    tu = index.parse(str(path), args=compile_args(commands, path), unsaved_files=unsaved,
                     options=ci.TranslationUnit.PARSE_DETAILED_PROCESSING_RECORD)
    for d in tu.diagnostics:
        if d.severity >= ci.Diagnostic.Error:
            log(f'{rel}: clang: {d}')
    src = Source(rel, originals[rel])
    whole = ci.SourceRange.from_locations(tu.get_location(str(path), 0),
                                          tu.get_location(str(path), len(src.text)))
    src.tokens = [(t.extent.start.offset, t.extent.end.offset, t.kind, t.spelling.encode())
                  for t in tu.get_tokens(extent=whole)]
    collect_nodes(src, tu.cursor, str(path))
    return src


def in_file(cursor, path):
    f = cursor.extent.start.file
    return f is not None and f.name == path and cursor.extent.end.file is not None


def collect_nodes(src, root, path):
    stack = [(c, -1) for c in root.get_children()]
    while stack:
        cursor, parent = stack.pop()
        if not in_file(cursor, path):
            continue
        start, end = cursor.extent.start.offset, cursor.extent.end.offset
        if cursor.kind == ci.CursorKind.MACRO_INSTANTIATION:
            src.macros.append((start, end, cursor.spelling))
            continue
        src.nodes.append(Node(cursor, start, end, parent))
        me = len(src.nodes) - 1
        stack.extend((c, me) for c in cursor.get_children())


# ---------------------------------------------------------------- finding mutants

def line_of(src, offset):
    return src.text.count(b'\n', 0, offset) + 1


def ancestors(src, node):
    while node.parent >= 0:
        node = src.nodes[node.parent]
        yield node


def token_at(src, offset):
    if len(src.starts) != len(src.tokens):
        src.starts = [t[0] for t in src.tokens]
    i = bisect.bisect_left(src.starts, offset)
    return src.tokens[i] if i < len(src.tokens) else None


def inside_macro(src, start, end):
    return next((m for m in src.macros if m[0] <= start and end <= m[1]), None)


def constexpr_keyword(src, node):
    """The `constexpr` token of a declaration, before its name, if any."""
    name = node.cursor.location.offset
    for t in src.tokens:
        if node.start <= t[0] < name and t[3] == b'constexpr':
            return t
    return None


def guard_of(src, node):
    """on() at run time; onc() inside constexpr functions; None where only
    a constant can stand (enum values, template arguments, static_assert, a
    constexpr variable that cannot become a run-time constant)."""
    child = node
    for up in ancestors(src, node):
        kind = up.cursor.kind
        if kind in CONSTANT_PLACES:
            return None
        if kind == ci.CursorKind.CASE_STMT and within(node, next(up.cursor.get_children())):
            return None   # the case label
        if kind in FUNCTIONS:
            return 'onc' if constexpr_keyword(src, up) else 'on'
        if kind in (ci.CursorKind.VAR_DECL, ci.CursorKind.FIELD_DECL, ci.CursorKind.PARM_DECL):
            initializer = list(up.cursor.get_children())[-1:]
            if not initializer or node.start < initializer[0].extent.start.offset:
                return None   # in the declared type: an array size, a template argument
            keyword = constexpr_keyword(src, up)
            if keyword:
                return demote(src, up, keyword)
        child = up
    return 'on'


def within(node, cursor):
    return cursor.extent.start.offset <= node.start and node.end <= cursor.extent.end.offset


def demote(src, node, keyword):
    """A constexpr variable of a .cpp file becomes a const one initialised at
    start-up, so its mutants can switch; in a header it stays a constant."""
    if not src.rel.endswith('.cpp') or not src.demote:
        return None
    if node.cursor.semantic_parent.kind in (ci.CursorKind.CLASS_DECL, ci.CursorKind.STRUCT_DECL):
        return None
    name = node.cursor.location.offset
    already_const = any(node.start <= t[0] < name and t[3] == b'const' for t in src.tokens)
    edit = (keyword[0], keyword[1], b'' if already_const else b'const')
    if edit not in src.demoted:
        src.demoted.append(edit)
    return 'on'


def add(src, node_start, node_end, change, guard, **kw):
    if guard is None:
        m = Mutant(src.rel, line_of(src, node_start), change, node_start, node_end, outcome='not compiling')
        m.test = 'constant expression'
    else:
        m = Mutant(src.rel, line_of(src, node_start), change, node_start, node_end, guard=guard, **kw)
    src.mutants.append(m)


def short(text, width=40):
    text = ' '.join(text.decode(errors='replace').split())
    return text if len(text) <= width else text[:width - 1] + '…'


def operator_token(src, node):
    kind = node.cursor.kind
    children = list(node.cursor.get_children())
    if kind in (ci.CursorKind.BINARY_OPERATOR, ci.CursorKind.COMPOUND_ASSIGNMENT_OPERATOR):
        if len(children) != 2:
            return None
        return token_at(src, children[0].extent.end.offset)
    if kind == ci.CursorKind.CALL_EXPR and node.cursor.spelling.startswith('operator'):
        for c in children:
            if c.spelling.startswith('operator') and c.extent.start.offset > node.start:
                return token_at(src, c.extent.start.offset)
    return None


def arithmetic(node):
    t = node.cursor.type.get_canonical()
    return t.kind.value in range(ci.TypeKind.BOOL.value + 1, ci.TypeKind.LONGDOUBLE.value + 1) \
        or 'Checked' in t.spelling


def binary_mutants(src, node, guard):
    tok = operator_token(src, node)
    if not tok or tok[3].decode() not in BINARY or not (node.start < tok[0] and tok[1] < node.end):
        return
    op = tok[3].decode()
    if op in ARITHMETIC and not arithmetic(node):
        return
    for alt in BINARY[op]:
        add(src, node.start, node.end, f'{op} → {alt}', guard, edit=(tok[0], tok[1], alt.encode()))


def unary_mutants(src, node, guard):
    first, last = token_at(src, node.start), token_at(src, node.end - 1)
    if first and first[3] == b'!' and first[0] == node.start:
        # `!!`, not nothing: a class that tests as a bool (an optional) would
        # otherwise meet the `!` of the other branch as a class and be built from it.
        add(src, node.start, node.end, f'! removed: {short(src.text[node.start:node.end])}', guard,
            edit=(first[0], first[1], b'!!'))
    for tok in {first, last}:
        if tok and tok[3] in (b'++', b'--') and node.start <= tok[0] < node.end:
            alt = b'--' if tok[3] == b'++' else b'++'
            add(src, node.start, node.end, f'{tok[3].decode()} → {alt.decode()}', guard,
                edit=(tok[0], tok[1], alt))


def condition_of(src, node):
    kind = node.cursor.kind
    children = list(node.cursor.get_children())
    if kind in (ci.CursorKind.IF_STMT, ci.CursorKind.WHILE_STMT, ci.CursorKind.CONDITIONAL_OPERATOR):
        return next((c for c in children if c.kind.is_expression()), None)
    if kind == ci.CursorKind.DO_STMT:
        return children[-1] if children else None
    if kind == ci.CursorKind.FOR_STMT:
        semis = [t[0] for t in src.tokens if node.start < t[0] < node.end and t[3] == b';'][:2]
        if len(semis) == 2:
            return next((c for c in children if semis[0] < c.extent.start.offset < semis[1]), None)
    return None


def negation_mutant(src, node, guard):
    cond = condition_of(src, node)
    if cond is None:
        return
    start, end = cond.extent.start.offset, cond.extent.end.offset
    text = src.text[start:end]
    inner = next((n for n in src.nodes if n.start == start and n.end == end
                  and (tok := operator_token(src, n)) and tok[3].decode() in {**RELATIONAL, **LOGICAL}), None)
    if text.startswith(b'!') or (inner and operator_token(src, inner)[3].decode() in RELATIONAL):
        return
    add(src, start, end, f'negated: {short(text)}', guard, wrap=(b'!(', b')'))


def statement_parent(src, node):
    for up in ancestors(src, node):
        if up.cursor.kind == ci.CursorKind.UNEXPOSED_EXPR and up.start == node.start and up.end == node.end:
            continue
        return up
    return None


def call_mutant(src, node, guard):
    name = node.cursor.spelling
    if not name or name.startswith('operator') or name == node.cursor.type.spelling:
        return
    up = statement_parent(src, node)
    if up is None or up.cursor.kind not in (ci.CursorKind.COMPOUND_STMT, ci.CursorKind.IF_STMT,
                                            ci.CursorKind.CASE_STMT, ci.CursorKind.DEFAULT_STMT):
        return
    if up.cursor.kind == ci.CursorKind.IF_STMT and condition_of(src, up).extent.start.offset == node.start:
        return
    add(src, node.start, node.end, f'call removed: {short(src.text[node.start:node.end])}', guard,
        alt=b'(void)0', orig_wrap=(b'(void)(', b')'))


def return_mutant(src, node, guard):
    children = [c for c in node.cursor.get_children() if c.kind.is_expression()]
    function = next((a for a in ancestors(src, node) if a.cursor.kind in FUNCTIONS), None)
    if not children or function is None:
        return
    value = children[-1]
    start, end = value.extent.start.offset, value.extent.end.offset
    text = src.text[start:end]
    if text in (b'0', b'0.0', b'nullptr'):
        return   # {} of a zero is that zero: no change at all
    if function.cursor.kind != ci.CursorKind.LAMBDA_EXPR:
        result = function.cursor.result_type
        if result.kind in (ci.TypeKind.LVALUEREFERENCE, ci.TypeKind.RVALUEREFERENCE, ci.TypeKind.VOID) \
                or result.get_canonical().kind == ci.TypeKind.ENUM:
            return
    if value.type.get_canonical().kind == ci.TypeKind.BOOL:
        add(src, start, end, f'return negated: {short(text)}', guard, wrap=(b'!(', b')'))
    else:
        add(src, start, end, f'return replaced by {{}}: {short(text)}', guard,
            alt=b'std::remove_cvref_t<decltype(' + text + b')>{}')


def literal_mutants(src, node, guard):
    tok = token_at(src, node.start)
    if not tok or tok[0] != node.start or tok[1] != node.end:
        return
    if inside_macro(src, tok[0], tok[1]):
        return
    start, end = tok[0], tok[1]
    cast = literal_cast(src, node)
    if node.cursor.kind == ci.CursorKind.INTEGER_LITERAL:
        changes = integer_changes(tok[3])
        if in_table(src, node):
            changes = table_change(tok[3])
        for alt, change in changes:
            add(src, start, end, change, guard, edit=(tok[0], tok[1], alt), wrap=cast, orig_wrap=cast)
    else:
        last = string_tokens(src, node)[-1]
        alt = changed_string(last[3])
        if alt:
            add(src, start, end, f'{short(last[3], 50)} → {short(alt, 50)}', guard,
                edit=(last[0], last[1], alt))


def table_change(spelling):
    """A number in a table row changes once, to 0: a test that reads the
    cell catches any change, and a step of one twip is less than a pixel.
    A 0 is the "none" of its column and stays."""
    value = NUMBER.match(spelling) and int(NUMBER.match(spelling).group(1), 0)
    return [(b'0', f'{value} → 0')] if value else []


def in_table(src, node):
    """A number in a row of a data table (an array's braced initialiser)."""
    listed = False
    for up in ancestors(src, node):
        if up.cursor.kind == ci.CursorKind.INIT_LIST_EXPR:
            listed = True
        elif up.cursor.kind == ci.CursorKind.VAR_DECL:
            kind = up.cursor.type.get_canonical().kind
            return listed and (kind in (ci.TypeKind.CONSTANTARRAY, ci.TypeKind.INCOMPLETEARRAY)
                               or 'std::array' in up.cursor.type.spelling)
    return False


def literal_cast(src, node):
    """Braced initialisers refuse a narrowing that is not a constant: a
    mutated number is converted explicitly to the type its place takes."""
    up = src.nodes[node.parent] if node.parent >= 0 else None
    if up and up.cursor.kind == ci.CursorKind.UNEXPOSED_EXPR and (up.start, up.end) == (node.start, node.end):
        t = up.cursor.type.get_canonical()
        if t.kind.value in range(ci.TypeKind.BOOL.value + 1, ci.TypeKind.LONGDOUBLE.value + 1):
            return (b'static_cast<' + t.spelling.encode() + b'>(', b')')
    return (b'', b'')


def integer_changes(spelling):
    match = NUMBER.match(spelling)
    if not match:
        return []
    value = int(match.group(1), 0) if not match.group(1).startswith(b'0') or len(match.group(1)) == 1 \
        or match.group(1)[1:2] in b'xXbB' else int(match.group(1), 8)
    changes = [(b'(' + spelling + b' + 1)', f'{value} → {value + 1}'),
               (b'(' + spelling + b' - 1)', f'{value} → {value - 1}')]
    if value not in (0, 1):
        changes.append((b'0', f'{value} → 0'))
    return changes


def string_tokens(src, node):
    return [t for t in src.tokens if node.start <= t[0] < node.end and t[2] == ci.TokenKind.LITERAL]


def changed_string(token):
    """One character changed: the last one, or one added to an empty string."""
    quote = token.find(b'"')
    if quote < 0 or b'R' in token[:quote] or not token.endswith(b'"'):
        return None
    body = token[quote + 1:-1]
    if not body:
        return token[:quote] + b'"X"'
    last = last_character(body)
    new = b'Y' if body[last:] == b'X' else b'X'
    return token[:quote + 1] + body[:last] + new + b'"'


def last_character(body):
    """Where the last character of a literal's body starts: an escape
    sequence or one UTF-8 code point."""
    escape = re.search(rb'\\(x[0-9a-fA-F]+|[0-7]{1,3}|u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8}|.)$', body)
    if escape:
        return escape.start()
    i = len(body) - 1
    while i > 0 and body[i] & 0xC0 == 0x80:
        i -= 1
    return i


def analyse(job):
    """Parses one file and finds its mutants (in a process of its own)."""
    rel, commands, originals, demote = job
    load_libclang()
    src = parse(rel, commands, originals)
    src.demote = demote
    find_mutants(src)
    src.nodes, src.tokens, src.macros, src.starts = [], [], [], []
    return src


def analysed(files, commands, originals):
    """The mutants of every file; kept in build-mutants/ while the sources
    and their flags stay the same."""
    finder = Path(__file__).read_text().split('# ' + '-' * 64 + ' the schema')[0]
    stamp = hashlib.sha256(repr((sorted(originals.items()), commands, finder)).encode())
    if CACHE.exists():
        saved = pickle.loads(CACHE.read_bytes())
        if saved[0] == stamp.hexdigest():
            return saved[1]
    log(f'parsing {len(files)} files')
    sources = analyse_all([(rel, commands, originals, True) for rel in files])
    keep(sources, stamp.hexdigest())
    return sources


def keep(sources, stamp=None):
    """The mutants found, and those that do not compile, for the next run."""
    stamp = stamp or pickle.loads(CACHE.read_bytes())[0]
    CACHE.write_bytes(pickle.dumps((stamp, sources)))


def analyse_all(jobs):
    with concurrent.futures.ProcessPoolExecutor(WORKERS) as pool:
        return list(pool.map(analyse, jobs))


def find_mutants(src):
    handlers = {ci.CursorKind.BINARY_OPERATOR: binary_mutants,
                ci.CursorKind.COMPOUND_ASSIGNMENT_OPERATOR: binary_mutants,
                ci.CursorKind.UNARY_OPERATOR: unary_mutants,
                ci.CursorKind.IF_STMT: negation_mutant, ci.CursorKind.WHILE_STMT: negation_mutant,
                ci.CursorKind.FOR_STMT: negation_mutant, ci.CursorKind.DO_STMT: negation_mutant,
                ci.CursorKind.CONDITIONAL_OPERATOR: negation_mutant,
                ci.CursorKind.RETURN_STMT: return_mutant,
                ci.CursorKind.INTEGER_LITERAL: literal_mutants,
                ci.CursorKind.STRING_LITERAL: literal_mutants}
    src.mutants, src.demoted = [], []
    for node in sorted(src.nodes, key=lambda n: (n.start, -n.end)):
        if node.cursor.kind == ci.CursorKind.CALL_EXPR:
            binary_mutants(src, node, guard_of(src, node))
            call_mutant(src, node, guard_of(src, node))
        elif node.cursor.kind in handlers:
            if inside_macro(src, node.start, node.end):
                continue
            handlers[node.cursor.kind](src, node, guard_of(src, node))
    macro_strings(src)
    src.mutants.sort(key=lambda m: (m.start, -m.end))
    drop_overlaps(src)
    # Several numbers of a table row may be alike: the report tells them
    # apart by their order in the line.
    alike = {}
    for m in src.mutants:
        alike[m.line, m.change] = m.nth = alike.get((m.line, m.change), 0) + 1


def macro_strings(src):
    """QStringLiteral("...") expands its literal out of sight of the
    cursors: the literal is changed inside the macro's own text."""
    for start, end, name in src.macros:
        if name != 'QStringLiteral':
            continue
        around = [n for n in src.nodes if n.start <= start and end <= n.end]
        if not around:
            continue
        node = min(around, key=lambda n: n.end - n.start)
        for tok in [t for t in src.tokens if start <= t[0] < end and t[2] == ci.TokenKind.LITERAL]:
            alt = changed_string(tok[3])
            if alt:
                add(src, start, end, f'{short(tok[3], 50)} → {short(alt, 50)}', guard_of(src, node),
                    edit=(tok[0], tok[1], alt))


def drop_overlaps(src):
    """Regions must nest; one that straddles another is left out."""
    kept, regions = [], []
    for m in src.mutants:
        if any(s < m.start < e < m.end or m.start < s < m.end < e for s, e in regions):
            continue
        kept.append(m)
        regions.append((m.start, m.end))
    src.mutants = kept


# ---------------------------------------------------------------- the schema

def schema(src, active):
    """The file with every active mutant behind its switch."""
    regions = {}
    for m in active:
        regions.setdefault((m.start, m.end), []).append(m)
    return splice(src, 0, len(src.text), sorted(regions.items()), list(src.demoted))


def splice(src, start, end, regions, edits, extra=None):
    out, pos = [], start
    inner = [r for r in regions if start <= r[0][0] and r[0][1] <= end and r[0] != (start, end)]
    top = [r for r in inner if not any(o[0][0] <= r[0][0] and r[0][1] <= o[0][1] and o[0] != r[0]
                                       for o in inner)]
    pieces = sorted([(s, e, 'region', ms) for (s, e), ms in top]
                    + [(s, e, 'edit', t) for s, e, t in edits + ([extra] if extra else [])
                       if start <= s and e <= end and not any(rs <= s < re_ for (rs, re_), _ in top)])
    for s, e, what, payload in pieces:
        out.append(src.text[pos:s])
        out.append(payload if what == 'edit' else switched(src, s, e, payload, regions, edits))
        pos = e
    out.append(src.text[pos:end])
    return b''.join(out)


def switched(src, start, end, mutants, regions, edits):
    orig = splice(src, start, end, regions, edits)
    o1, o2 = mutants[0].orig_wrap
    text = o1 + orig + o2
    for m in reversed(mutants):
        if m.alt:
            alt = m.alt
        elif m.edit:
            alt = splice(src, start, end, regions, edits, extra=m.edit)
        else:
            alt = orig
        alt = m.wrap[0] + alt + m.wrap[1]
        text = b'kiramoku_mutants::%s(%d) ? %s : %s' % (m.guard.encode(), m.id, alt, text)
    return b'(' + text + b')'


def number_mutants(sources):
    next_id = 1
    for src in sources:
        for m in src.mutants:
            if not m.outcome:
                m.id, next_id = next_id, next_id + 1


def write_schemas(sources):
    """Writes each file with its mutants; says which ones changed."""
    changed = set()
    for src in sources:
        text = schema(src, [m for m in src.mutants if not m.outcome])
        if write_if_changed(SRC / src.rel, text):
            changed.add(src.rel)
        src.spans = spans(src, text)
    return changed


def spans(src, text):
    """The generated lines of each mutant: where its switch stands, and as
    many lines further as its region has."""
    found = []
    for m in src.mutants:
        if m.outcome:
            continue
        marker = b'kiramoku_mutants::%s(%d) ?' % (m.guard.encode(), m.id)
        height = src.text.count(b'\n', m.start, m.end)
        pos = text.find(marker)
        while pos >= 0:
            first = text.count(b'\n', 0, pos) + 1
            found.append((first, first + height, m))
            pos = text.find(marker, pos + 1)
    return found


# ---------------------------------------------------------------- building

# An error's line, and the lines a template error was required from (the
# third group then says so).
ERROR = re.compile(r'^(/[^:\s]+):(\d+):\d+:\s+(?:(?:fatal )?error:|\s*(required) from here)', re.M)


def build(targets):
    return run(['cmake', '--build', str(BUILD), '-j', str(WORKERS), '--target', *targets, '--', '-k'])


def check_schemas(sources, commands, originals):
    """Each file with its mutants is compiled alone first (syntax only, two
    at a time), so that the build meets no mutant that does not compile."""
    pending = [s for s in sources if any(not m.outcome for m in s.mutants)]
    number_mutants(sources)
    changed = write_schemas(sources)
    if BUILT.exists():   # only what changed since the last build that went through
        pending = [s for s in pending if s.rel in changed]
    for _ in range(MAX_BUILD_ROUNDS):
        if not pending:
            return
        number_mutants(sources)
        write_schemas(sources)
        with concurrent.futures.ThreadPoolExecutor(WORKERS) as pool:
            outputs = list(pool.map(lambda s: syntax_check(s, commands), pending))
        errors = {(Path(f), int(n), bool(r)) for out in outputs for f, n, r in ERROR.findall(out)}
        failed = [s for s, out in zip(pending, outputs) if out]
        if failed and not take_out(sources, errors, commands, originals):
            sys.exit('mutants: a file fails to compile where no mutant is\n' + '\n'.join(outputs)[-4000:])
        pending = failed


def syntax_check(src, commands):
    """The compiler's errors for the file (a header through a .cpp file that
    includes it), empty when it compiles."""
    path = SRC / src.rel
    entry = next((c for c in commands if Path(c['file']) == path), None)
    if entry is None:
        near = [c for c in commands if Path(c['file']).parent == path.parent]
        includer = [c for c in near if f'"{path.name}"'.encode() in Path(c['file']).read_bytes()]
        entry = (includer or near)[0]
    args = entry.get('arguments') or shlex.split(entry['command'])
    if '-o' in args:
        at = args.index('-o')
        args = args[:at] + args[at + 2:]
    done = run(args + ['-fsyntax-only'], cwd=entry['directory'])
    return '' if done.returncode == 0 else done.stdout + done.stderr


def build_with_schemas(sources, targets, commands, originals):
    """Builds until every mutant left compiles: each error takes out the
    innermost mutants on its line, or the start-up constants of its file."""
    # The files that include their own moc output need it made first.
    made = codemodel()
    names = {t['name'] for t in made}
    build([t['name'] + '_autogen' for t in made if t['type'] == 'STATIC_LIBRARY' and t['name'] + '_autogen' in names])
    check_schemas(sources, commands, originals)
    for _ in range(MAX_BUILD_ROUNDS):
        number_mutants(sources)
        write_schemas(sources)
        done = build(targets)
        if done.returncode == 0:
            BUILT.touch()
            return
        errors = {(Path(f), int(n), bool(r)) for f, n, r in ERROR.findall(done.stdout + done.stderr)}
        if not take_out(sources, errors, commands, originals):
            sys.exit('mutants: the mutant build fails where no mutant is\n' + done.stdout[-4000:] + done.stderr[-4000:])
    sys.exit('mutants: the mutant build still fails after %d rounds' % MAX_BUILD_ROUNDS)


def take_out(sources, errors, commands, originals):
    """Takes out the mutants on the errors' lines; the lines a template was
    required from count only when no error line holds a mutant."""
    hard = {e for e in errors if not e[2]}
    return take_out_on(sources, hard, commands, originals) \
        or take_out_on(sources, errors, commands, originals)


def take_out_on(sources, errors, commands, originals):
    changed, undemoted = False, []
    for src in sources:
        lines = {n for f, n, _ in errors if f == SRC / src.rel}
        hard = {n for f, n, required in errors if f == SRC / src.rel and not required}
        if not lines:
            continue
        hit = [s for s in src.spans if any(s[0] <= n <= s[1] for n in lines)]
        for n in lines:
            around = [s for s in hit if s[0] <= n <= s[1]]
            if around:
                least = min(b - a for a, b, _ in around)
                for a, b, m in around:
                    if b - a == least:
                        m.outcome, m.test, changed = 'not compiling', 'does not compile', True
            elif n in hard and src.demote and src.demoted:
                src.demote = False
                undemoted.append(src)
                break
    for src in undemoted:
        again = analyse((src.rel, commands, originals, False))
        keep = {(m.start, m.end, m.change): m.outcome for m in src.mutants if m.outcome}
        for m in again.mutants:
            m.outcome = keep.get((m.start, m.end, m.change), m.outcome)
        src.mutants, src.demoted, src.demote, changed = again.mutants, again.demoted, False, True
    return changed


# ---------------------------------------------------------------- the tests

@dataclass
class Test:
    name: str
    command: list
    cwd: str
    env: dict
    seconds: float = 0.0
    reached: set = field(default_factory=set)


def codemodel():
    reply = BUILD / '.cmake' / 'api' / 'v1' / 'reply'
    index = json.loads(sorted(reply.glob('index-*.json'))[-1].read_text())
    model = json.loads((reply / index['reply']['codemodel-v2']['jsonFile']).read_text())
    return [json.loads((reply / t['jsonFile']).read_text()) for t in model['configurations'][0]['targets']]


def ctest_tests():
    shown = run(['ctest', '--show-only=json-v1'], cwd=BUILD)
    tests = []
    for t in json.loads(shown.stdout)['tests']:
        if LEFT_OUT.search(t['name']) or not t.get('command'):
            continue
        props = {p['name']: p['value'] for p in t.get('properties', [])}
        env = dict(v.split('=', 1) for v in props.get('ENVIRONMENT', []))
        cwd = props.get('WORKING_DIRECTORY', str(BUILD))
        tests += [Test(t['name'] + (f':{f}' if f else ''), t['command'] + ([f] if f else []), cwd, env)
                  for f in test_functions(t['command'], cwd, env)]
    return tests


def test_functions(command, cwd, env):
    """A whole test program is run one test function at a time, so that a
    mutant meets only the functions that reach it; a test that names its
    functions, or no test program, is run as it stands."""
    if len(command) > 1:
        return ['']
    listed = subprocess.run(command + ['-functions'], cwd=cwd, env=dict(os.environ, **env),
                            capture_output=True, text=True, timeout=60)
    found = re.findall(r'^(\w+)\(\)$', listed.stdout, re.M)
    return found if listed.returncode == 0 and found else ['']


def library_users(files):
    """For each file, the executables that link the library it is in."""
    targets = codemodel()
    users = {}
    for rel in files:
        library = next(t for t in targets if t['type'] == 'STATIC_LIBRARY'
                       and any(s['path'] == rel for s in t.get('sources', [])))
        archive = library['artifacts'][0]['path']
        users[rel] = {t['name']: str(BUILD / t['artifacts'][0]['path']) for t in targets
                      if t['type'] == 'EXECUTABLE' and any(f['fragment'].endswith(archive)
                      for f in t.get('link', {}).get('commandFragments', []))}
    return users


def test_targets(users):
    """The executables the kept tests run (a test is named after its
    executable, or starts with its name)."""
    names = [t['name'] for t in json.loads(run(['ctest', '--show-only=json-v1'], cwd=BUILD).stdout)['tests']
             if not LEFT_OUT.search(t['name'])]
    every = {name for u in users.values() for name in u}
    return sorted(e for e in every if any(n == e or n.startswith(e + '_') for n in names))


def tests_per_file(users):
    """The tests that can see each file: those whose executable links the
    library the file belongs to and, for a .cpp file, takes the file's
    object out of it (a static library gives only the objects called for)."""
    tests = ctest_tests()
    seen = {}
    for rel, executables in users.items():
        wanted = set(executables.values())
        defined = object_symbols(rel)
        if defined:
            wanted = {e for e in wanted if defined & executable_symbols(e)}
        # A test program may run inside another (the X server's xvfb-run).
        seen[rel] = [t for t in tests if wanted.intersection(t.command) and (rel in LIVE_FILES or not LIVE.search(t.name))]
    return seen


def object_symbols(rel):
    """The functions and data a .cpp file's object defines for others."""
    if not rel.endswith('.cpp'):
        return set()
    found = glob.glob(str(BUILD / '**' / (Path(rel).name + '.o')), recursive=True)
    found = [f for f in found if f'/{Path(rel).parent}/CMakeFiles/' in f]
    return symbols(found[0], strong=True) if found else set()


def symbols(path, strong=False):
    listed = run(['nm', '--defined-only', path]).stdout.split('\n')
    kinds = 'TDBR' if strong else 'TDBRtdbrWVwv'
    return {f[2] for f in (l.split() for l in listed) if len(f) == 3 and f[1] in kinds}


EXECUTABLES = {}


def executable_symbols(path):
    if path not in EXECUTABLES:
        EXECUTABLES[path] = symbols(path)
    return EXECUTABLES[path]


# The live test plays one at a time: two private servers at real-time
# priority on two cores would make each other late.
LIVE_TURN = threading.Lock()


def passes(test, mutant_id, scratch, timeout=None, **extra):
    """Whether the test passes; a QtTest run stops at its first FAIL!."""
    if not LIVE.search(test.name):
        return passes_now(test, mutant_id, scratch, timeout, **extra)
    # A new server each time: a mutant may leave it dead or frozen.
    server = scratch + '/server'
    with LIVE_TURN:
        run([str(FIXTURE), 'start', server, test.env['KIRAMOKU_SOUND_SERVER']])
        try:
            return passes_now(test, mutant_id, scratch, timeout, KIRAMOKU_SOUND_SERVER_DIR=server, **extra)
        finally:
            run([str(FIXTURE), 'stop', server])


def passes_now(test, mutant_id, scratch, timeout=None, **extra):
    # A new home each run: tests running side by side keep their games and
    # settings apart, and nothing a mutant left behind meets the next one.
    # The font cache stays shared.
    home = Path(scratch) / 'home'
    shutil.rmtree(home, ignore_errors=True)
    home.mkdir()
    env = dict(os.environ, XDG_CACHE_HOME=os.environ.get('XDG_CACHE_HOME', str(Path.home() / '.cache')))
    env.update(test.env)
    env.update(extra, KIRAMOKU_MUTANT=str(mutant_id), TMPDIR=scratch, HOME=str(home), LSAN_OPTIONS=LEAKS)
    if 'XDG_DATA_HOME' in test.env:   # a test's own folder, the same for every run of it
        env['XDG_DATA_HOME'] = str(home / 'data')
    proc = subprocess.Popen(test.command, cwd=test.cwd, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, start_new_session=True)
    RUNNING.add(proc)
    late = threading.Timer(timeout or 1e9, stop, [proc])
    late.start()
    with open(Path(scratch) / 'output.txt', 'wb') as said:   # the last run's, to look at
        failed = any(said.write(line) and line.startswith(b'FAIL!') for line in proc.stdout)
    if failed:
        stop(proc)
    late.cancel()
    proc.wait()
    RUNNING.discard(proc)
    return not failed and proc.returncode == 0


def stop(proc):
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def scratch_dir(worker):
    path = WORK / 'tmp' / str(worker)
    shutil.rmtree(path, ignore_errors=True)
    path.mkdir(parents=True)
    return str(path)


def baseline(tests):
    """Every test once without a mutant: it must pass; its time sets its limit,
    and the switches it passes are the mutants it can meet."""
    def one(test):
        began = time.monotonic()
        scratch = scratch_dir(f'base-{tests.index(test)}')   # short: a sound server's socket lives inside
        trace = Path(scratch) / 'reached.txt'
        ok = passes(test, 0, scratch, timeout=600, KIRAMOKU_MUTANT_TRACE=str(trace))
        test.seconds = time.monotonic() - began
        test.reached = {int(n) for n in trace.read_text().split()} if trace.exists() else set()
        return test, ok
    with concurrent.futures.ThreadPoolExecutor(TESTERS) as pool:
        failed = [t.name for t, ok in pool.map(one, tests) if not ok]
    if failed:
        sys.exit('mutants: these tests fail without any mutant: ' + ', '.join(failed)
                 + f' (their output: {WORK.relative_to(ROOT)}/tmp/base-*/output.txt)')


def judge(mutant, tests, kills, scratch):
    """Killed by the first test that fails (or runs far over its time); a
    mutant that no test reaches survives without a run."""
    tests = [t for t in tests if mutant.id in t.reached]
    if not tests:
        mutant.outcome, mutant.test = 'survived', 'reached by no test'
        return
    order = sorted(tests, key=lambda t: (-kills.get((mutant.file, t.name), 0), t.seconds))
    for test in order:
        if not passes(test, mutant.id, scratch, timeout=3 * test.seconds + 10):
            kills[(mutant.file, test.name)] = kills.get((mutant.file, test.name), 0) + 1
            mutant.outcome, mutant.test = 'killed', test.name
            return
    mutant.outcome = 'survived'


def run_mutants(mutants, seen):
    """TESTERS at a time; each outcome goes to build/mutants/progress.txt at once."""
    kills, done = {}, [0]
    free = [scratch_dir(w) for w in range(TESTERS)]
    OUT.mkdir(parents=True, exist_ok=True)
    progress = open(OUT / f'progress{"-" + os.environ["AREA"] if os.environ.get("AREA") else ""}.txt', 'w', buffering=1)

    def one(m):
        scratch = free.pop()
        try:
            judge(m, seen[m.file], kills, scratch)
        finally:
            free.append(scratch)
        progress.write(f'{m.outcome}: {key(m)}  [{m.test}]\n')
        done[0] += 1
        if done[0] % 25 == 0 or done[0] == len(mutants):
            log(f'{done[0]}/{len(mutants)} mutants run')
    # The files take turns, so that the mutants waiting for the live test
    # are spread among the others instead of queueing all at once.
    by_file = {}
    for m in mutants:
        by_file.setdefault(m.file, []).append(m)
    turns = [ms[rank] for rank in range(max(map(len, by_file.values()), default=0))
             for ms in by_file.values() if rank < len(ms)]
    with concurrent.futures.ThreadPoolExecutor(TESTERS) as pool:
        list(pool.map(one, turns))


def chosen(sources):
    """Every mutant that compiles; or those of the files named on the command
    line; or only last run's survivors and those no run has judged yet, such
    as a stopped run's rest (MUTANTS_AGAIN=1); or MUTANTS_MAX of them."""
    areas = [a for a in os.environ.get('AREA', '').split(',') if a]
    if set(areas) - {name for _, name in AREAS}:
        sys.exit(f'mutants: no area {areas}; the areas: ' + ', '.join(dict.fromkeys(n for _, n in AREAS)))
    wanted = [s for s in sources if (not sys.argv[1:] or any(s.rel.startswith(a) for a in sys.argv[1:]))
              and (not areas or area_of(s.rel) in areas)]
    mutants = [m for s in wanted for m in s.mutants if not m.outcome]
    if os.environ.get('MUTANTS_AGAIN'):
        before = {l.split('  [')[0] for l in (OUT / 'survived.txt').read_text().splitlines()}
        judged = read_json(OUT / 'outcomes.json')
        mutants = [m for m in mutants if key(m) in before or key(m) not in judged]
    limit = int(os.environ.get('MUTANTS_MAX') or 0)
    if limit:
        mutants = sample([Source(s.rel, b'', mutants=[m for m in mutants if m.file == s.rel]) for s in wanted], limit)
    return mutants


def carried(sources, ran):
    """A run of some files (an AREA, files named, MUTANTS_AGAIN) leaves the
    other mutants their last run's outcome, so the report shows every area."""
    if not (os.environ.get('MUTANTS_AGAIN') or os.environ.get('AREA') or sys.argv[1:]):
        return []
    before = read_json(OUT / 'outcomes.json')
    now = set(map(key, ran))
    rest = [m for s in sources for m in s.mutants if not m.outcome and key(m) in before and key(m) not in now]
    for m in rest:
        m.outcome, m.test = before[key(m)]
        m.test += ' (last run)'
    return rest


def read_json(path):
    return json.loads(path.read_text()) if path.exists() else {}


def save_outcomes(ran):
    path = OUT / 'outcomes.json'
    kept = read_json(path)
    kept.update({key(m): [m.outcome, m.test.replace(' (last run)', '')] for m in ran})
    path.write_text(json.dumps(kept, ensure_ascii=False, indent=0))


def save_times(ran, seconds, sampled):
    """Each area's time when it last ran whole, for the report."""
    path = OUT / 'area-times.json'
    times = read_json(path)
    areas = {area_of(m.file) for m in ran if '(last run)' not in m.test}
    if not sampled and not sys.argv[1:] and not os.environ.get('MUTANTS_AGAIN'):
        for area in areas:
            times[area] = f'{seconds / 60:.0f} min' + (' (with other areas)' if len(areas) > 1 else '') \
                + time.strftime(', %Y-%m-%d')
    path.write_text(json.dumps(times, ensure_ascii=False, indent=0))
    return times


def sample(sources, limit):
    """`limit` mutants spread over the files: files evenly spaced along the
    list in each pass, mutants evenly spaced within each file."""
    pools = [p for p in ([m for m in s.mutants if not m.outcome] for s in sources) if p]
    counts = [0] * len(pools)
    left = min(limit, sum(map(len, pools)))
    while left:
        open_ = [i for i, p in enumerate(pools) if counts[i] < len(p)]
        step = max(1, len(open_) / left)
        for i in sorted({open_[int(j * step)] for j in range(min(left, len(open_)))}):
            counts[i] += 1
            left -= 1
    return [p[int((j + 0.5) * len(p) / k)] for p, k in zip(pools, counts) for j in range(k)]


# ---------------------------------------------------------------- the report

def judged_equivalent(m, listed):
    """Whether a line of the list names the mutant: "file:line: change: why",
    or several changes of one line with one reason, "file:line: a | b: why"."""
    place, change = key(m).split(': ', 1)
    for e in listed:
        rest = e[len(place) + 2:] if e.startswith(place + ': ') else None
        if rest is not None and (rest.startswith((change + ': ', change + ' | '))
                                 or f' | {change}: ' in rest or f' | {change} | ' in rest):
            return True
    return False


def equivalents():
    if not EQUIVALENT.exists():
        return []
    return [l.strip() for l in EQUIVALENT.read_text().splitlines() if l.strip() and not l.startswith('#')]


def key(m):
    return f'{m.file}:{m.line}: {m.change}' + (f' (#{m.nth})' if m.nth > 1 else '')


def area_of(rel):
    return next(name for prefix, name in AREAS if rel.startswith(prefix))


def figures(mutants, judged):
    killed = sum(m.outcome == 'killed' for m in mutants)
    survived = [m for m in mutants if m.outcome == 'survived']
    equivalent = sum(key(m) in judged for m in survived)
    broken = sum(m.outcome == 'not compiling' for m in mutants)
    counted = killed + len(survived) - equivalent
    share = f'{100 * killed / counted:.1f} %' if counted else '-'
    return f'{killed:6} {len(survived):8} {equivalent:10} {broken:13}   {share}'


def report(sources, ran, seconds, sampled, times):
    listed = equivalents()
    judged = {key(m) for m in ran if judged_equivalent(m, listed)}
    everything = [m for s in sources for m in s.mutants if m in ran or m.outcome == 'not compiling']
    head = f'{"":34} {"killed":>6} {"survived":>8} {"equivalent":>10} {"not compiling":>13}   killed among non-equivalent'
    kept = sum('(last run)' in m.test for m in ran)
    lines = [f'make mutants: {len(ran) - kept} mutants run{" (a sample)" if sampled else ""}'
             + (f', {kept} outcomes kept from the last run' if kept else '')
             + f', in {seconds / 60:.1f} min', '', head]
    for name in dict.fromkeys(n for _, n in AREAS):
        part = [m for m in everything if area_of(m.file) == name]
        if part:
            lines.append(f'{name:34} {figures(part, judged)}' + (f'   whole run {times[name]}' if name in times else ''))
    lines.append(f'{"all":34} {figures(everything, judged)}')
    lines += ['', 'per file:', head]
    for src in sources:
        part = [m for m in everything if m.file == src.rel]
        if part:
            lines.append(f'{src.rel:34} {figures(part, judged)}')
    survivors = [m for m in ran if m.outcome == 'survived']
    lines += ['', 'survivors (equivalent ones marked =):']
    lines += [('= ' if key(m) in judged else '  ') + key(m)
              + ('  (reached by no test)' if m.test == 'reached by no test' else '') for m in survivors]
    text = '\n'.join(lines) + '\n'
    OUT.mkdir(parents=True, exist_ok=True)
    (OUT / 'report.txt').write_text(text)
    for outcome in ('killed', 'survived', 'not compiling'):
        rows = [f'{key(m)}  [{m.test}]' if m.test else key(m) for m in everything if m.outcome == outcome]
        (OUT / (outcome.replace(' ', '-') + '.txt')).write_text(''.join(r + '\n' for r in rows))
    print(text, end='')


# ---------------------------------------------------------------- main

def load_libclang():
    try:
        ci.Index.create()
    except Exception:
        ci.Config.set_library_file(LIBCLANG)


UNDER_WAY = {}   # once mutants run: what an interrupted run reports


def interrupted(*_):
    for proc in list(RUNNING):
        stop(proc)
    if UNDER_WAY:   # the mutants judged so far, as a sample
        done = [m for m in UNDER_WAY['ran'] if m.outcome]
        save_outcomes(done)
        report(UNDER_WAY['sources'], done, time.monotonic() - UNDER_WAY['began'], True, {})
    print('mutants: interrupted; the source tree was never written, build-mutants/ holds the copy',
          file=sys.stderr)
    os._exit(130)


def main():
    began = time.monotonic()
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGINT, interrupted)
    load_libclang()
    files = target_files()
    log(f'copying the tree to {SRC.relative_to(ROOT)} and configuring')
    copy_tree(files)
    originals = {rel: (ROOT / rel).read_bytes() for rel in files}
    configure()
    commands = json.loads((BUILD / 'compile_commands.json').read_text())
    sources = analysed(files, commands, originals)
    log(f'{sum(len(s.mutants) for s in sources)} mutants in {len(files)} files')
    users = library_users(files)
    log('building the mutant schemata in', BUILD.relative_to(ROOT))
    build_with_schemas(sources, test_targets(users), commands, originals)
    keep(sources)
    seen = tests_per_file(users)
    ran = chosen(sources)
    files = {m.file for m in ran}
    tests = sorted({t.name: t for f in files for t in seen[f]}.values(), key=lambda t: t.name)
    log(f'{len(tests)} tests without a mutant: {", ".join(t.name for t in tests)}')
    baseline(tests)
    listed = equivalents()
    for m in ran:
        if judged_equivalent(m, listed):
            m.outcome, m.test = 'survived', 'listed as equivalent, not run again'
    log(f'running {sum(not m.outcome for m in ran)} mutants ({sum(bool(m.outcome) for m in ran)} listed as equivalent)')
    UNDER_WAY.update(sources=sources, ran=ran, began=began)
    run_mutants([m for m in ran if not m.outcome], seen)
    ran += carried(sources, ran)
    save_outcomes(ran)
    seconds = time.monotonic() - began
    sampled = bool(os.environ.get('MUTANTS_MAX'))
    report(sources, ran, seconds, sampled, save_times(ran, seconds, sampled))


if __name__ == '__main__':
    main()
