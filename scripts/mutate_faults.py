# Small faults for the fault-injection script (scripts/mutate): a C/C++ tokenizer, the fault sites
# of one source file, a robust identity for each fault, and the seeded sample spread over files.
import hashlib
import random
import re
from bisect import bisect_right

TOKEN_RE = re.compile(
    r"""(?P<ws>\s+)
    |(?P<lc>//[^\n]*)
    |(?P<bc>/\*.*?\*/)
    |(?P<str>(?:u8|[uUL])?R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)"|(?:u8|[uUL])?"(?:\\.|[^"\\\n])*")
    |(?P<chr>(?:u8|[uUL])?'(?:\\.|[^'\\\n])+')
    |(?P<num>\.?\d(?:[eEpP][+-]|[\w.'])*)
    |(?P<id>[A-Za-z_]\w*)
    |(?P<op>>>=|<<=|->\*|\.\.\.|::|->|\+\+|--|<<|>>|<=|>=|==|!=|&&|\|\||[-+*/%&|^!=<>]=|.)""",
    re.S | re.X,
)
PREPROCESSOR_RE = re.compile(r"#(?:\\\n|[^\n])*")

COMPARISONS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
KEYWORDS_BEFORE_EXPR = {"return", "case", "else", "do", "throw", "delete", "new", "co_return"}
# A string literal in a statement that calls one of these is a format or a mode, not a text.
NOT_TEXT_CALLS = {"sscanf", "fscanf", "scanf", "vsscanf", "fopen", "freopen", "getenv", "strcmp",
                  "strncmp", "dlopen", "dlsym"}
LOW_PRECEDENCE = {"?", ":", "=", "<", ">", "<=", ">=", "==", "!=", "&", "|", "^", "&&", "||", "<<",
                  ">>", ","}


class Token:
    __slots__ = ("kind", "text", "start", "end")

    def __init__(self, kind, text, start, end):
        self.kind, self.text, self.start, self.end = kind, text, start, end


def tokenize(src):
    """Code tokens of a C/C++ source: comments, whitespace and preprocessor lines dropped."""
    tokens, pos, line_start = [], 0, True
    while pos < len(src):
        if line_start and src[pos] == "#":
            pos = PREPROCESSOR_RE.match(src, pos).end()
            continue
        m = TOKEN_RE.match(src, pos)
        kind = m.lastgroup if m.lastgroup != "delim" else "str"
        if kind == "ws":
            if "\n" in m.group():
                line_start = True
        else:
            line_start = False
            if kind not in ("lc", "bc"):
                tokens.append(Token(kind, m.group(), m.start(), m.end()))
        pos = m.end()
    return tokens


def matching(tokens, i, open_text, close_text):
    """Index of the token closing the bracket at i, or None."""
    depth = 0
    for j in range(i, len(tokens)):
        if tokens[j].text == open_text:
            depth += 1
        elif tokens[j].text == close_text:
            depth -= 1
            if depth == 0:
                return j
    return None


def excluded_spans(tokens):
    """Token index ranges never mutated: assert(...), static_assert(...), extern "C" lines."""
    spans = []
    for i, t in enumerate(tokens):
        nxt = tokens[i + 1] if i + 1 < len(tokens) else None
        if t.text in ("assert", "static_assert") and nxt is not None and nxt.text == "(":
            spans.append((i, matching(tokens, i + 1, "(", ")") or i + 1))
        elif t.text == "extern" and nxt is not None and nxt.kind == "str":
            end = i + 2
            while end < len(tokens) and tokens[end].text not in (";", "{"):
                end += 1
            spans.append((i, end))
    skip = set()
    for a, b in spans:
        skip.update(range(a, b + 1))
    return skip


def template_brackets(tokens):
    """Indices of '<' and '>'/'>>' tokens that delimit template argument lists."""
    marks = set()
    for i, t in enumerate(tokens):
        if t.text != "<" or i in marks:
            continue
        if i > 0 and tokens[i - 1].text == "operator":
            continue
        depth, parens, closers = 1, 0, []
        for j in range(i + 1, min(len(tokens), i + 80)):
            u = tokens[j]
            if u.kind in ("id", "num") or u.text in ("::", ",", "*", "&", "...", "[", "]"):
                continue
            if u.text == "(":
                parens += 1
            elif u.text == ")" and parens > 0:
                parens -= 1
            elif u.text == "<":
                depth += 1
            elif u.text in (">", ">>"):
                depth -= 1 if u.text == ">" else 2
                closers.append(j)
                if depth <= 0:
                    marks.add(i)
                    marks.update(closers)
                    break
            else:
                break
    return marks


def statement_bounds(tokens, i):
    a = i
    while a > 0 and tokens[a - 1].text not in (";", "{", "}"):
        a -= 1
    b = i
    while b + 1 < len(tokens) and tokens[b].text not in (";", "{", "}"):
        b += 1
    return a, b


def is_text_literal(tokens, i):
    lit = tokens[i].text
    body = lit[lit.index('"') + 1:-1]
    if not body or "/" in body or re.search(r"\.\w{2,4}$", body):
        return False
    a, b = statement_bounds(tokens, i)
    for t in tokens[a:b + 1]:
        if t.kind == "id" and (t.text in NOT_TEXT_CALLS or t.text.endswith("_")):
            return False
    return bool(plain_positions(lit))


def plain_positions(lit):
    """Offsets in a string literal token of characters a one-character change may touch: not the
    quotes, not inside escapes other than \\n and \\t, not inside printf conversions."""
    out, k = [], lit.index('"') + 1
    while k < len(lit) - 1:
        c = lit[k]
        if c == "\\":
            if lit[k + 1] in "nt":
                out.append(k)
            k += 2
        elif c == "%":
            m = re.compile(r"%(?:%|[-+ #0]*\d*(?:\.\d+)?(?:hh|h|ll|l|L|z|j|t)?[a-zA-Z])").match(lit, k)
            k += len(m.group()) if m else 1
        else:
            if not c.isspace() or c == " ":
                out.append(k)
            k += 1
    if all(lit[k] == " " for k in out):
        return []
    return out


def changed_char(lit, k):
    if lit[k] == "\\":
        return lit[:k] + ("\\t" if lit[k + 1] == "n" else "\\n") + lit[k + 2:]
    c = lit[k]
    if c.isalpha() and c.isascii():
        base = ord("a") if c.islower() else ord("A")
        d = chr(base + (ord(c) - base + 1) % 26)
    elif c.isdigit():
        d = str((int(c) + 1) % 10)
    elif c == " ":
        d = "_"
    else:
        d = "#" if c != "#" else "@"
    return lit[:k] + d + lit[k + 1:]


def number_variants(text):
    m = re.fullmatch(r"(0[xX][0-9a-fA-F']+|\d[\d']*)([uUlL]*)", text)
    if m:
        base = 16 if m.group(1)[:2].lower() == "0x" else 10
        v = int(m.group(1).replace("'", ""), base)
        fmt = (lambda x: hex(x)) if base == 16 else str
        out = [("off-by-one", fmt(v + 1) + m.group(2))]
        if v > 0:
            out.append(("off-by-one", fmt(v - 1) + m.group(2)))
        return out
    m = re.fullmatch(r"((?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)([fFlL]?)", text)
    if not m:
        return []
    v = float(m.group(1))
    new = [1.0] if v == 0 else [v * 2, v / 2]
    return [("const", fmt_float(x) + m.group(2)) for x in new]


def fmt_float(x):
    s = repr(x)
    return s if ("." in s or "e" in s) else s + ".0"


def index_variants(tokens, i, j, src):
    inner = src[tokens[i].end:tokens[j].start]
    if j == i + 1 or (j == i + 2 and tokens[i + 1].kind == "num"):
        return []
    wrap = any(t.text in LOW_PRECEDENCE for t in tokens[i + 1:j])
    e = "(" + inner.strip() + ")" if wrap else inner.strip()
    return [("off-by-one", e + " + 1"), ("off-by-one", e + " - 1")]


def is_subscript(tokens, i):
    if i == 0 or tokens[i + 1].text == "[" or tokens[i - 1].text == "[":
        return False
    p = tokens[i - 1]
    if p.text in (")", "]"):
        return True
    if p.kind != "id" or p.text in KEYWORDS_BEFORE_EXPR or p.text == "operator":
        return False
    q = tokens[i - 2] if i > 1 else None
    # "Type name[" declares an array: its size is a constant, not an index.
    return not (q is not None and q.kind == "id" and q.text not in KEYWORDS_BEFORE_EXPR)


def file_sites(path, src):
    """Every fault of one file: dicts with start, end, old, new, kind, cls."""
    tokens = tokenize(src)
    skip = excluded_spans(tokens)
    tmpl = template_brackets(tokens)
    faults = []

    def add(a, b, new, kind, cls):
        faults.append({"start": a, "end": b, "old": src[a:b], "new": new, "kind": kind, "class": cls})

    for i, t in enumerate(tokens):
        if i in skip:
            continue
        prev = tokens[i - 1].text if i else ""
        if t.text in COMPARISONS and i not in tmpl and prev != "operator":
            add(t.start, t.end, COMPARISONS[t.text], "compare", "logic")
        elif t.kind == "num" and i not in tmpl:
            for kind, new in number_variants(t.text):
                add(t.start, t.end, new, kind, "logic")
        elif t.text == "[" and i + 1 < len(tokens) and is_subscript(tokens, i):
            j = matching(tokens, i, "[", "]")
            if j is not None and not any(k in skip for k in range(i, j)):
                for kind, new in index_variants(tokens, i, j, src):
                    add(tokens[i].end, tokens[j].start, new, kind, "logic")
                    faults[-1]["index"] = True
        elif t.kind == "str" and '"' in t.text and not t.text.lstrip("uUL8").startswith("R"):
            if is_text_literal(tokens, i):
                for k in plain_positions(t.text):
                    add(t.start, t.end, changed_char(t.text, k), "text", "text")
    return faults


def identify(path, src, faults):
    """Adds line, line text, occurrence index, change and id to each fault of one file."""
    starts = [0] + [m.end() for m in re.finditer("\n", src)]
    seen = {}
    for f in faults:
        ln = bisect_right(starts, f["start"]) - 1
        end = src.find("\n", starts[ln])
        f["line"] = ln + 1
        f["linetext"] = src[starts[ln]:end if end >= 0 else len(src)].strip()
        f["change"] = describe(f)
        key = (re.sub(r"\s+", "", f["linetext"]), f["change"])
        f["occ"] = seen.get(key, 0)
        seen[key] = f["occ"] + 1
        f["file"] = path
        f["id"] = fault_id(path, key[0], f["occ"], f["change"])
    return faults


def fault_id(path, norm_line, occ, change):
    h = hashlib.sha1("\0".join([path, norm_line, str(occ), change]).encode()).hexdigest()
    return h[:12]


def describe(f):
    if f["kind"] == "text":
        old, new = f["old"], f["new"]
        k = next(i for i in range(len(old)) if old[i] != new[i])
        a, b = max(1, k - 4), k + 5
        return "%s @%d: %s -> %s" % (old, k, old[a:b].rstrip('"'), new[a:b].rstrip('"'))
    if f.get("index"):
        return "[%s] -> [%s]" % (f["old"].strip(), f["new"])
    return "%s -> %s" % (f["old"], f["new"])


def sample(per_file, count, seed):
    """Up to count faults spread evenly over files and, within a file, over kinds of fault: each
    file's sites in a seeded order of its own (so a change in one file leaves the others' picks
    alone), one variant per site, kinds taken in turn; files taken round robin, the last partial
    round picking its files at random."""
    queues = {}
    for path, faults in per_file.items():
        sites = {}
        for f in faults:
            sites.setdefault((f["kind"], f["start"], f["end"]), []).append(f)
        rng = random.Random("%s/%s" % (seed, path))
        by_kind = {}
        for key in sorted(sites):
            by_kind.setdefault(key[0], []).append(rng.choice(sites[key]))
        for group in by_kind.values():
            rng.shuffle(group)
        kinds = sorted(by_kind)
        rng.shuffle(kinds)
        longest = max((len(g) for g in by_kind.values()), default=0)
        queues[path] = [by_kind[k][i] for i in range(longest) for k in kinds if i < len(by_kind[k])]
    picked, depth = [], 0
    rng = random.Random(seed)
    while len(picked) < count:
        row = [q[depth] for _, q in sorted(queues.items()) if depth < len(q)]
        if not row:
            break
        if len(picked) + len(row) > count:
            row = rng.sample(row, count - len(picked))
        picked.extend(row)
        depth += 1
    return picked
