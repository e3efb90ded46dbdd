#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets that read their input through
FuzzedDataProvider: strings are taken from the front (a backslash followed
by another byte ends a string, a doubled backslash is one backslash),
integers and booleans from the back, one byte each for the small ranges
used here. Run it from anywhere; it rewrites fuzz/corpus/<target>/seed-*.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def s(text):
    """A ConsumeRandomLengthString field, terminated."""
    if isinstance(text, str):
        text = text.encode("latin-1")
    return text.replace(b"\\", b"\\\\") + b"\\ "


def tail(*values):
    """Bytes consumed from the back, in consumption order (first value is last byte)."""
    return bytes(reversed([v & 0xFF for v in values]))


def write(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    if os.path.isdir(folder):
        for name in os.listdir(folder):
            if name.startswith("seed-"):
                os.remove(os.path.join(folder, name))
    os.makedirs(folder, exist_ok=True)
    for i, data in enumerate(seeds):
        with open(os.path.join(folder, "seed-%03d" % i), "wb") as f:
            f.write(data)


def regex_search():
    # tail: ruleForm, options, startShift (4 = 0), rangeShift (4 = 0)
    cases = [
        (True, 0, "(.+)@example\\.org", "news@example.org"),
        (True, 0, "me", "ME"),
        (True, 0, "a|b", "b"),
        (True, 0, "", ""),
        (True, 0, "[a-z0-9._%+-]+@(sales|info)\\.example\\.(com|net)", "joe.bloggs@info.example.net"),
        (False, 1, "x*", "xxxy"),
        (False, 0, "\\bfoo\\b", "a foo bar"),
        (False, 1, "(?i:A)b", "xaB ab"),
        (False, 0, "(a)\\1", "baab"),
        (False, 2, "a # comment\n b", "ab"),
        (False, 4, "a.b", "a\nb"),
        (False, 0, "(?=ab)a", "cab"),
        (False, 0, "(?!a)\\w", "ab"),
        (False, 0, "(?>a+)b", "aaab"),
        (False, 0, "a{2,3}?", "aaaa"),
        (False, 0, "(x){2}y{0}z{1,}", "xxzz"),
        (False, 0, "[[:alpha:]][^[:digit:]]", "1ab"),
        (False, 1, "\\x41\\0101\\cA\\M-a", "AA\x01\xe1"),
        (False, 0, "^a$", "x\na\n"),
        (False, 8, "^a\\Z", "a"),
        (False, 0, "\\Gab|\\<c\\>|\\Bd", "ab c xd"),
        (False, 0, ".*foo", "xx\nbarfoo"),
        (False, 0, "(a|b|c|d)+?e", "abcde"),
        (False, 1, "(?-i)[A]", "xA"),
        (False, 0, "(a*)*b", "aaaaaaaaaaaaaaaaaaaaaaaa"),
    ]
    return [s(p) + subject.encode("latin-1") + tail(rule, opts, 4, 4)
            for rule, opts, p, subject in cases]


def regex_errors():
    # tail: options, allocation to refuse (0..12), piece count (1..64)-1,
    # then one choice byte per piece (fragments are indexed by choice % count).
    seeds = []
    for refuse in range(0, 13, 3):
        for pieces in ([0, 1], [2, 3, 1], [34, 35], [48, 49], [12, 20, 21]):
            seeds.append(tail(1, refuse, len(pieces) - 1, *pieces))
    # a long repeat: choice >= 240, fragment index, repeat index (9 = 4000)
    seeds.append(tail(0, 0, 0, 250, 0x5C, 9))
    seeds.append(tail(0, 0, 0, 250, 0, 7))
    return seeds


def wildcard():
    cases = [
        ("*@{example.com,example.org}", "Me@Example.ORG"),
        ("AB*", "abc"), ("*", ".x"), (".*", ".x"), ("\\.x", ".x"), ("a*", "a.b"),
        ("*?x", "abx"), ("*\\", "a\\"), ("[]a", "xa"), ("[!]a", "xa"), ("[a-]", "-"),
        ("[z-a]", "m"), ("[\\]]", "]"), ("[^a]", "b"), ("[abc", "a"), ("a\xe0", "a\xe0"),
        ("[\x80-\xff]", "\x90"), ("*/b", "a/b"), ("{a,b}{c,d}", "bd"), ("{a,{b,{c,d}}}", "c"),
        ("x{,y}", "xy"), ("a{}b", "ab"), ("a}b,c", "a}b,c"), ("{a,b", "{a,b"), ("[{]", "{"),
        ("{" + ",".join("abcdefgh") + "}" * 1 + "{" + ",".join("abcdefgh") + "}" * 1 +
         "{" + ",".join("abcdefgh") + "}{" + ",".join("abcdefgh") + "}", "hh"),
        ("*x*y*z*", "axbyczd" * 10), ("x" * 300 + "{a,b}", "x" * 300 + "b"),
    ]
    return [s(p) + subject.encode("latin-1") for p, subject in cases]


def settings():
    texts = [
        ">Enable=1\n>Delivered-To=0\n:RSV:*@example.org\tMe\tme@example.net\n",
        ">ENABLE = 1\n> enable=1\n>Enable=yes\n>Enable=-1\n>Enable\n>Enable=2\n>Enable=1x\n",
        ":rsv:p\tn\ta\n:xyz:p\n:R\n::a\tb\tc\td\te\n",
        "bare\tpattern\twith tabs\n#comment\n;semi\n",
        ">Enable=1\r\n::a\tb\tc\r\n\r\nlast\r\r\n",
        "\n\n::after blank\t\t\n",
        "::\t\t\n",
    ]
    return [t.encode("latin-1") for t in texts]


def template():
    # fields: template, pattern, address; tail: registerCount (1..12)-1, then group draws
    cases = [
        ("me+\\1@example.net", "(.+)@example\\.org", "news@example.org"),
        ("\\2\\3", "(a)", "a"),
        ("\\\\\\&\\x\\", "a", "a"),
        ("\\9\\8\\1", "(a)(b)(c)(d)(e)(f)(g)(h)(i)", "abcdefghi"),
        ("\\1-\\2", "(x)?(y)", "y"),
    ]
    return [s(t) + s(p) + s(a) + tail(2, 1, 0, 1, 1, 1) for t, p, a in cases]


def rewrite():
    # tail: enabled (0..7, 0 = off), lookAtDeliveredTo, rule count (0..12),
    # then per rule: regex, setSender, verp, piece count, pieces...
    # Strings (names, addresses, reference, pieces) come from the front.
    def rule(regex, sender, verp, pieces):
        return [regex, sender, verp, len(pieces)] + pieces

    seeds = []
    front = s("Me") + s("me@example.net") + s("Me2") + s("") + s("folder>255")
    rules = rule(0, 0, 0, [1 + 4 * 0, 3]) + rule(1, 1, 1, [7, 2, 3])
    # has-prefix flag, source present (1..15), source piece count, pieces
    source = [1, 5, 8, 0 + 4, 6 + 0, 3 + 4, 5, 1, 7, 4, 3]
    seeds.append(front + tail(1, 1, 2, *rules, *source))
    seeds.append(front + tail(0, 0, 2, *rules, *source))
    seeds.append(s("") + s("") + s("x") + tail(3, 1, 1, *rule(0, 1, 1, [1]), 0, 1, 3, 2, 6, 3))
    return seeds


if __name__ == "__main__":
    write("regex_search", regex_search())
    write("regex_errors", regex_errors())
    write("wildcard", wildcard())
    write("settings", settings())
    write("template", template())
    write("rewrite", rewrite())
