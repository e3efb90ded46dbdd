#include "pattern/wildcard/wildcard.h"

#include <cstring>

#include "platform/platform.h"

namespace fromsel {

namespace {

using Byte = unsigned char;

constexpr std::size_t kByteValues = 256;

// Case folding goes through a table filled once from the platform's
// single-character lower-casing, so a match costs no system call per byte.
struct FoldTable {
  Byte map[kByteValues];
};

constexpr FoldTable MakeIdentityTable() {
  FoldTable table{};
  for (std::size_t i = 0; i < kByteValues; ++i) table.map[i] = static_cast<Byte>(i);
  return table;
}

constexpr FoldTable kIdentity = MakeIdentityTable();

FoldTable MakeLowerTable() {
  FoldTable table = MakeIdentityTable();
  // NUL ends every string and is never compared, so it is left alone.
  for (std::size_t i = 1; i < kByteValues; ++i)
    table.map[i] = platform::LowerAnsiChar(static_cast<Byte>(i));
  return table;
}

inline const Byte* FoldFor(int options) {
  return (options & WildcardCaseFold) ? RuleFoldTable() : kIdentity.map;
}

constexpr WildcardResult kMatch = WildcardResult::Match;
constexpr WildcardResult kNoMatch = WildcardResult::NoMatch;

enum class Item { Accepted, Rejected, Malformed };

struct Options {
  const Byte* fold;
  bool noEscape;
  bool pathName;
};

bool IsEscape(Byte c, const Options& o) { return c == '\\' && !o.noEscape; }

// Bytes of a bracket range compare as signed 8-bit values.
int Signed(Byte c) { return static_cast<signed char>(c); }

// The bracket expression after a '[' at `p` against subject byte `t`.
// On success `p` is left after the closing ']'.
Item MatchBracket(const Byte*& p, Byte t, const Options& o) {
  const Byte* q = p;
  bool negated = false;
  if (*q == '!' || *q == '^') {
    negated = true;
    ++q;
  }
  const int test = Signed(o.fold[t]);
  bool accepted = false;
  for (;;) {
    Byte low = *q;
    if (low == 0) return Item::Malformed;
    if (low == ']') {
      ++q;
      break;
    }
    if (IsEscape(low, o)) {
      low = *++q;
      if (low == 0) return Item::Malformed;
    }
    ++q;
    Byte high = low;
    if (*q == '-' && q[1] != ']') {
      high = q[1];
      if (high == 0) return Item::Malformed;
      q += 2;
      if (IsEscape(high, o)) {
        high = *q;
        if (high == 0) return Item::Malformed;
        ++q;
      }
    }
    if (Signed(o.fold[low]) <= test && test <= Signed(o.fold[high])) accepted = true;
  }
  p = q;
  return accepted != negated ? Item::Accepted : Item::Rejected;
}

// The literal byte an item stands for, with `p` moved past the item.
Byte TakeLiteral(const Byte*& p, const Options& o) {
  Byte c = *p++;
  // A trailing backslash stands for itself.
  if (IsEscape(c, o) && *p != 0) c = *p++;
  return c;
}

// One single-byte item (anything but a star or the end of the pattern)
// against subject byte `c`, which is 0 at the end of the subject.
// Protected periods are the caller's business.
Item MatchItem(const Byte*& p, Byte c, const Options& o) {
  if (c == 0) return Item::Rejected;
  const Byte pc = *p;
  if (pc == '?' || pc == '[') {
    if (o.pathName && c == '/') return Item::Rejected;
    if (pc == '?') {
      ++p;
      return Item::Accepted;
    }
    ++p;
    return MatchBracket(p, c, o);
  }
  const Byte* q = p;
  const Byte literal = TakeLiteral(q, o);
  if (o.fold[literal] != o.fold[c]) return Item::Rejected;
  p = q;
  return Item::Accepted;
}

// Moves `s` to the first position at which the item at `p` could match, as
// a star would try them; nullptr when the star cannot reach such a place.
const Byte* FindCandidate(const Byte* p, const Byte* s, const Options& o) {
  if (*p == '?' || *p == '[') return s;
  const Byte literal = TakeLiteral(p, o);
  const Byte wanted = o.fold[literal];
  if (!o.pathName) {
    for (Byte c; (c = *s) != 0; ++s) {
      if (o.fold[c] == wanted) return s;
    }
    return nullptr;
  }
  for (Byte c; (c = *s) != 0; ++s) {
    if (o.fold[c] == wanted) return s;
    // Under WildcardPathName a star's run stops before the next '/'.
    if (c == '/') return nullptr;
  }
  return nullptr;
}

// Reads the pattern left to right. Until the first star that has to try
// runs, protected periods are in force; that star's tries run with the
// options less WildcardLeadingPeriod, so from there on the leading-period
// rule is off. A later failure needs only the most recent star retried one
// byte further: every run an earlier star could take leaves the later star
// a subset of the starting places already tried, since runs and items never
// cross a '/' under WildcardPathName either. Time is therefore at most
// pattern length times subject length, with no recursion.
WildcardResult Match(const Byte* pattern, const Byte* subject, int options, const Byte* fold,
                     StepMeter& meter) {
  const Options o{fold, (options & WildcardNoEscape) != 0, (options & WildcardPathName) != 0};
  // FindCandidate, with the bytes it passes over charged as a scan's.
  auto NextCandidate = [&meter](const Byte* p, const Byte* s, const Options& options) {
    const Byte* found = FindCandidate(p, s, options);
    meter.Step(ScanSteps(found ? found - s : 0));
    return found;
  };
  bool leadingPeriod = (options & WildcardLeadingPeriod) != 0;
  auto isProtected = [&](const Byte* s) {
    return *s == '.' && (s == subject || (o.pathName && s[-1] == '/'));
  };

  const Byte* p = pattern;
  const Byte* s = subject;
  const Byte* starPattern = nullptr;  // item after the most recent star
  const Byte* starSubject = nullptr;  // where that star's current try ends

  for (;;) {
    if (!meter.Step()) return kNoMatch;
    if (*p == '*') {
      while (*p == '*') ++p;
      if (leadingPeriod && isProtected(s)) return kNoMatch;
      if (*p == 0) {
        if (!o.pathName) return kMatch;
        return std::strchr(reinterpret_cast<const char*>(s), '/') ? kNoMatch : kMatch;
      }
      if (leadingPeriod && o.pathName && *p == '/') {
        // The star runs to the next '/' with the options unchanged.
        s = reinterpret_cast<const Byte*>(std::strchr(reinterpret_cast<const char*>(s), '/'));
        if (!s) return kNoMatch;
        continue;
      }
      leadingPeriod = false;
      starPattern = p;
      starSubject = NextCandidate(p, s, o);
      if (!starSubject) return kNoMatch;
      s = starSubject;
      continue;
    }
    if (*p == 0) {
      if (*s == 0) return kMatch;
    } else if (leadingPeriod && (*p == '?' || *p == '[') && isProtected(s)) {
      return kNoMatch;  // no star before: nothing to retry
    } else {
      const Item item = MatchItem(p, *s, o);
      if (item == Item::Accepted) {
        ++s;
        continue;
      }
      // No path through the pattern can pass an unterminated bracket.
      if (item == Item::Malformed) return kNoMatch;
    }
    // Retry: the most recent star takes one more byte.
    if (!starPattern) return kNoMatch;
    const Byte taken = *starSubject;
    if (taken == 0 || (o.pathName && taken == '/')) return kNoMatch;
    starSubject = NextCandidate(starPattern, starSubject + 1, o);
    if (!starSubject) return kNoMatch;
    p = starPattern;
    s = starSubject;
  }
}

enum class Shortcut { NoMatch, Match, General };

// Address patterns mostly end in a literal ("*@example.com"), and those
// literal items must lie exactly on the subject's last bytes. Checking that
// first rejects most subjects at once; a pattern that is only stars and
// that literal (or only the literal) is then decided without the general
// matcher, except under WildcardPathName where a star's run matters.
Shortcut TryTrailingLiteral(const Byte* pattern, const Byte* patternEnd, const Byte* subject,
                            const Byte* subjectEnd, int options, const Byte* fold) {
  const Byte* p = patternEnd;
  const Byte* s = subjectEnd;
  // Compared from the end while read, so a mismatch costs one byte.
  while (p > pattern && !StopsLiteralRun(static_cast<char>(p[-1]))) {
    if (s == subject || fold[*--p] != fold[*--s]) return Shortcut::NoMatch;
  }
  if (p == pattern) return s == subject ? Shortcut::Match : Shortcut::NoMatch;
  for (const Byte* q = pattern; q < p; ++q) {
    if (*q != '*') return Shortcut::General;
  }
  if (options & WildcardPathName) return Shortcut::General;
  // Stars before the literal: any run will do unless the subject opens
  // with a protected period.
  if ((options & WildcardLeadingPeriod) && subject[0] == '.') return Shortcut::NoMatch;
  return Shortcut::Match;
}

}  // namespace

const unsigned char* RuleFoldTable() {
  // Built at the first call, in a lambda of its own, so that every later
  // call (one per wildcard match) is the guard's test and a load, without
  // the frame the filling needs.
  static const unsigned char* const lower = [] {
    static const FoldTable table = MakeLowerTable();
    return table.map;
  }();
  return lower;
}

WildcardResult WildcardMatch(const char* pattern, const char* subject, int options,
                             WorkBudget* budget) {
  const Byte* p = reinterpret_cast<const Byte*>(pattern);
  const Byte* s = reinterpret_cast<const Byte*>(subject);
  const std::size_t patternLength = std::strlen(pattern);
  const std::size_t subjectLength = std::strlen(subject);
  StepMeter meter(budget);
  // Both texts are read to their ends; that covers the one scan of the
  // subject that finds no candidate and ends the match.
  meter.Step(ScanSteps(static_cast<std::int64_t>(patternLength + subjectLength)));
  // The folding table, looked up once for the shortcut and the matcher.
  const Byte* fold = FoldFor(options);
  switch (TryTrailingLiteral(p, p + patternLength, s, s + subjectLength, options, fold)) {
    case Shortcut::NoMatch: return kNoMatch;
    case Shortcut::Match: return kMatch;
    case Shortcut::General: break;
  }
  return Match(p, s, options, fold, meter);
}

WildcardResult WildcardMatchGeneral(const char* pattern, const char* subject, int options) {
  StepMeter meter(nullptr);
  return Match(reinterpret_cast<const Byte*>(pattern), reinterpret_cast<const Byte*>(subject),
               options, FoldFor(options), meter);
}

bool WildcardMatches(const std::string& pattern, const std::string& subject, WorkBudget* budget) {
  return WildcardMatch(pattern.c_str(), subject.c_str(), WildcardLeadingPeriod | WildcardCaseFold,
                       budget) == kMatch;
}

}  // namespace fromsel
