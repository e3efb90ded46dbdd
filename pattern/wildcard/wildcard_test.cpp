#include "pattern/wildcard/wildcard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "platform/platform.h"

namespace fromsel {
namespace {

constexpr int kRule = WildcardLeadingPeriod | WildcardCaseFold;
constexpr int kPath = WildcardPathName;
constexpr WildcardResult kMatch = WildcardResult::Match;
constexpr WildcardResult kNoMatch = WildcardResult::NoMatch;

WildcardResult ResultFor(bool matches) { return matches ? kMatch : kNoMatch; }

struct Case {
  const char* pattern;
  const char* subject;
  int options;
  bool matches;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << "'" << c.pattern << "' vs '" << c.subject << "' options " << c.options;
}

class WildcardCases : public ::testing::TestWithParam<Case> {};

TEST_P(WildcardCases, MatchAsDefined) {
  const Case& c = GetParam();
  EXPECT_EQ(WildcardMatch(c.pattern, c.subject, c.options), ResultFor(c.matches))
      << "pattern '" << c.pattern << "' subject '" << c.subject << "' options " << c.options;
  EXPECT_EQ(WildcardMatchGeneral(c.pattern, c.subject, c.options), ResultFor(c.matches));
}

INSTANTIATE_TEST_SUITE_P(
    Basics, WildcardCases,
    ::testing::Values(Case{"", "", 0, true}, Case{"", "a", 0, false}, Case{"*", "", 0, true},
                      Case{"*", "", kRule, true}, Case{"abc", "abc", 0, true},
                      Case{"abc", "ABC", 0, false}, Case{"abc", "ABC", kRule, true},
                      Case{"abc", "abcd", kRule, false}, Case{"a?c", "abc", 0, true},
                      Case{"a?c", "ac", 0, false}, Case{"**a", "ba", 0, true},
                      Case{"a*b*c", "axxbyyc", 0, true}, Case{"a*b*c", "axxbyy", 0, false},
                      Case{"*ab", "aab", 0, true}));

INSTANTIATE_TEST_SUITE_P(
    RuleOptions, WildcardCases,
    ::testing::Values(Case{"AB*", "abc", kRule, true}, Case{"*", ".x", kRule, false},
                      Case{"?x", ".x", kRule, false}, Case{"[.]x", ".x", kRule, false},
                      Case{".*", ".x", kRule, true}, Case{"\\.x", ".x", kRule, true},
                      Case{"a*", "a.b", kRule, true}, Case{"*?", "a", kRule, true},
                      Case{"*?", "", kRule, false}, Case{"*?", ".a", kRule, false},
                      Case{"*?x", "abx", kRule, true}, Case{"*", ".", kRule, false},
                      Case{"*.com", ".com", kRule, false}, Case{"*@EXAMPLE.com", "me@example.COM", kRule, true},
                      // Without the path-name rule only the subject's first byte is protected.
                      Case{"a*", "a.", kRule, true}));

INSTANTIATE_TEST_SUITE_P(
    Escapes, WildcardCases,
    ::testing::Values(Case{"*\\", "ab\\", 0, true}, Case{"*\\", "ab", 0, false},
                      Case{"a\\", "a\\", 0, true}, Case{"\\*", "*", 0, true},
                      Case{"\\*", "a", 0, false}, Case{"\\*", "\\a", WildcardNoEscape, true},
                      Case{"[\\]]", "]", 0, true}, Case{"[\\]]", "\\", WildcardNoEscape, false},
                      Case{"[\\]]", "\\]", WildcardNoEscape, true}));

INSTANTIATE_TEST_SUITE_P(
    Brackets, WildcardCases,
    ::testing::Values(Case{"[]a", "a", 0, false}, Case{"[]a", "]a", 0, false},
                      Case{"[!]a", "xa", 0, true}, Case{"[a-]", "-", 0, true},
                      Case{"[a-]", "a", 0, true}, Case{"[z-a]", "m", 0, false},
                      Case{"[z-a]", "z", 0, false}, Case{"[^a]", "b", 0, true},
                      Case{"[^a]", "a", 0, false}, Case{"[!a]", "b", 0, true},
                      Case{"[!a]", "a", 0, false}, Case{"[abc", "a", 0, false},
                      Case{"[abc", "[abc", 0, false}, Case{"*[abc", "xa", 0, false},
                      Case{"[a-", "a", 0, false}, Case{"[a\\", "a", 0, false},
                      Case{"[a-\\", "a", 0, false}, Case{"[A-\\]]", "]", 0, true},
                      Case{"[a-\\]]", "]", 0, false},
                      Case{"[A-C]", "b", kRule, true}, Case{"[a-c]", "B", kRule, true}));

INSTANTIATE_TEST_SUITE_P(
    PathName, WildcardCases,
    ::testing::Values(Case{"*", "a/b", kPath, false}, Case{"*/b", "a/b", kPath, true},
                      Case{"?", "/", kPath, false}, Case{"[/]", "/", kPath, false},
                      Case{"/", "/", kPath, true}, Case{"*b", "a/b", kPath, false},
                      Case{"a*/*", "ab/c", kPath, true}, Case{"*/", "ab", kPath, false},
                      Case{"*/.x", "a/.x", kPath | WildcardLeadingPeriod, true},
                      Case{"*/?x", "a/.x", kPath | WildcardLeadingPeriod, false},
                      Case{"a/*", "a/.x", kPath | WildcardLeadingPeriod, false},
                      // A star that tries runs lifts the leading-period rule for the rest.
                      Case{"*b/?x", "ab/.x", kPath | WildcardLeadingPeriod, true},
                      Case{"*\\/?x", "a/.x", kPath | WildcardLeadingPeriod, true}));

TEST(WildcardMatch, BracketRangesCompareSignedBytes) {
  // 'a' to 0xE0 runs downwards as signed values: accepts nothing.
  const std::string upward = "[a-\xE0]";
  // 0x80 to 0xFF: exactly the high half.
  const std::string high = "[\x80-\xFF]";
  for (int b = 1; b < 256; ++b) {
    const char subject[2] = {static_cast<char>(b), 0};
    EXPECT_EQ(WildcardMatch(upward.c_str(), subject, 0), kNoMatch) << b;
    EXPECT_EQ(WildcardMatch(high.c_str(), subject, 0), ResultFor(b >= 0x80)) << b;
  }
}

TEST(WildcardMatch, CaseFoldUsesThePlatformLowerCasing) {
  for (int b = 1; b < 256; ++b) {
    const unsigned char lower = platform::LowerAnsiChar(static_cast<unsigned char>(b));
    const char pattern[3] = {'\\', static_cast<char>(b), 0};  // escaped: a literal
    const char subject[2] = {static_cast<char>(lower), 0};
    EXPECT_EQ(WildcardMatch(pattern, subject, WildcardCaseFold), kMatch) << b;
    EXPECT_EQ(WildcardMatch(pattern, subject, 0), ResultFor(lower == b)) << b;
  }
}

TEST(WildcardMatch, ManyStarsFinishOnLongSubjects) {
  const char* manyStars = "*a*a*a*a*a*a*a*a*a*a*b";
  const std::string as(40, 'a');
  for (int options : {0, kRule, kRule | kPath}) {
    EXPECT_EQ(WildcardMatch(manyStars, as.c_str(), options), kNoMatch);
    EXPECT_EQ(WildcardMatchGeneral(manyStars, as.c_str(), options), kNoMatch);
    EXPECT_EQ(WildcardMatchGeneral(manyStars, (as + "b").c_str(), options), kMatch);
  }
  const std::string longSubject(100000, 'a');
  EXPECT_EQ(WildcardMatch("*a*?*[a]*a*b", longSubject.c_str(), kPath), kNoMatch);
  EXPECT_EQ(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*[b]", longSubject.c_str(), kRule), kNoMatch);
}

// ---------------------------------------------------------------------------
// The matching rules written out directly, recursion and all: exponential,
// but plainly right. The matcher must agree with it everywhere.

using Byte = unsigned char;

Byte Lower(Byte c, int options) {
  return (options & WildcardCaseFold) ? platform::LowerAnsiChar(c) : c;
}

// 1 accepted, 0 rejected, -1 unterminated; `p` after the ']' on success.
int ReferenceBracket(const Byte*& p, Byte t, int options) {
  const bool escapes = !(options & WildcardNoEscape);
  bool negated = false;
  if (*p == '!' || *p == '^') {
    negated = true;
    ++p;
  }
  bool any = false;
  const int test = static_cast<signed char>(Lower(t, options));
  while (*p != ']') {
    if (*p == 0) return -1;
    Byte low = *p++;
    if (escapes && low == '\\') {
      if (*p == 0) return -1;
      low = *p++;
    }
    Byte high = low;
    if (p[0] == '-' && p[1] != ']') {
      ++p;
      if (*p == 0) return -1;
      high = *p++;
      if (escapes && high == '\\') {
        if (*p == 0) return -1;
        high = *p++;
      }
    }
    const int lo = static_cast<signed char>(Lower(low, options));
    const int hi = static_cast<signed char>(Lower(high, options));
    if (lo <= test && test <= hi) any = true;
  }
  ++p;
  return any != negated ? 1 : 0;
}

int Reference(const Byte* p, const Byte* subject, int options) {
  const bool pathName = options & WildcardPathName;
  const Byte* s = subject;
  auto protectedPeriod = [&](const Byte* at) {
    return (options & WildcardLeadingPeriod) && *at == '.' &&
           (at == subject || (pathName && at[-1] == '/'));
  };
  auto singleRefused = [&](const Byte* at) {
    return *at == 0 || (pathName && *at == '/') || protectedPeriod(at);
  };
  for (;;) {
    const Byte c = *p;
    if (c == 0) return *s == 0 ? 0 : 1;
    if (c == '?') {
      if (singleRefused(s)) return 1;
      ++p;
      ++s;
    } else if (c == '[') {
      if (singleRefused(s)) return 1;
      ++p;
      if (ReferenceBracket(p, *s, options) != 1) return 1;
      ++s;
    } else if (c == '*') {
      while (*p == '*') ++p;
      if (protectedPeriod(s)) return 1;
      if (*p == 0) return pathName && std::strchr(reinterpret_cast<const char*>(s), '/') ? 1 : 0;
      if (pathName && *p == '/') {
        while (*s && *s != '/') ++s;
        if (*s == 0) return 1;
        continue;
      }
      for (const Byte* t = s;; ++t) {
        if (Reference(p, t, options & ~WildcardLeadingPeriod) == 0) return 0;
        if (*t == 0 || (pathName && *t == '/')) return 1;
      }
    } else {
      Byte literal = c;
      ++p;
      if (c == '\\' && !(options & WildcardNoEscape) && *p != 0) literal = *p++;
      if (*s == 0 || Lower(literal, options) != Lower(*s, options)) return 1;
      ++s;
    }
  }
}

// Mostly bytes of `alphabet`; one in eight any byte but NUL.
std::string RandomText(std::mt19937& random, const std::string& alphabet, std::size_t maxSize) {
  std::uniform_int_distribution<std::size_t> size(0, maxSize);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> anyByte(1, 255);
  std::uniform_int_distribution<int> oneIn(0, 7);
  std::string text;
  for (std::size_t n = size(random); n > 0; --n) {
    text.push_back(oneIn(random) == 0 ? static_cast<char>(anyByte(random)) : alphabet[pick(random)]);
  }
  return text;
}

// A subject shaped after the pattern, so that many pairs come close to
// matching: stars become short runs, single-byte items a byte they may take.
std::string SubjectLike(const std::string& pattern, std::mt19937& random,
                        const std::string& alphabet) {
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> run(0, 2);
  std::string subject;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '*') {
      for (int n = run(random); n > 0; --n) subject.push_back(alphabet[pick(random)]);
    } else if (c == '?') {
      subject.push_back(alphabet[pick(random)]);
    } else if (c == '[') {
      const std::size_t first = i + 1 < pattern.size() && (pattern[i + 1] == '!' || pattern[i + 1] == '^') ? i + 2 : i + 1;
      subject.push_back(first < pattern.size() && run(random) ? pattern[first] : alphabet[pick(random)]);
      const std::size_t close = pattern.find(']', first + 1);
      i = close == std::string::npos ? pattern.size() : close;
    } else if (c == '\\' && i + 1 < pattern.size()) {
      subject.push_back(pattern[++i]);
    } else {
      subject.push_back(c == 'a' && run(random) == 0 ? 'A' : c);
    }
  }
  return subject;
}

TEST(WildcardMatch, AgreesWithTheRecursiveDefinition) {
  // 0xC0/0xE0 are a case pair in the ANSI code page; 0x80/0xFF straddle the
  // signed order; 0x01 is the lowest byte.
  const std::string patternBytes = std::string("**??[[]]!^-\\\\../aAbB") + "\xC0\xE0\x80\xFF\x01";
  const std::string subjectBytes = std::string("aAbB../\\]-!") + "\xC0\xE0\x80\xFF\x01";
  std::mt19937 random(20261208);
  int matches = 0;
  int total = 0;
  for (int options = 0; options < 16; ++options) {
    for (int i = 0; i < 30000; ++i) {
      const std::string pattern = RandomText(random, patternBytes, 9);
      const std::string subject = i % 2 ? RandomText(random, subjectBytes, 7)
                                        : SubjectLike(pattern, random, subjectBytes);
      const WildcardResult expected =
          ResultFor(Reference(reinterpret_cast<const Byte*>(pattern.c_str()),
                              reinterpret_cast<const Byte*>(subject.c_str()), options) == 0);
      ASSERT_EQ(WildcardMatch(pattern.c_str(), subject.c_str(), options), expected)
          << "pattern '" << pattern << "' subject '" << subject << "' options " << options;
      ASSERT_EQ(WildcardMatchGeneral(pattern.c_str(), subject.c_str(), options), expected)
          << "pattern '" << pattern << "' subject '" << subject << "' options " << options;
      matches += expected == kMatch;
      ++total;
    }
  }
  // Enough matches that the agreement means something.
  EXPECT_GT(matches, total / 50);
  std::printf("%d of %d generated cases match\n", matches, total);
}

TEST(WildcardMatch, ShortcutAgreesWithGeneralMatcher) {
  // Patterns ending in literals, which the shortcut checks first, and
  // subjects often ending in those literals.
  const std::string bytes = std::string("*aAbB.@/?[]\\") + "\xC0\xE0";
  std::mt19937 random(7);
  for (int options = 0; options < 16; ++options) {
    for (int i = 0; i < 20000; ++i) {
      std::string pattern = RandomText(random, bytes, 6);
      if (i % 2 == 0) pattern.insert(0, "*");
      std::string subject = RandomText(random, "aAbB.@/\xC0\xE0", 6);
      // Often the subject ends in the pattern's literal, in the other case.
      const std::size_t literalStart = std::min(pattern.find_last_of("*?[]\\") + 1, pattern.size());
      if (i % 4 < 2) subject += pattern.substr(literalStart);
      if (i % 4 == 1) {
        for (char& c : subject) c = c == 'a' ? 'A' : c == '\xE0' ? '\xC0' : c;
      }
      ASSERT_EQ(WildcardMatch(pattern.c_str(), subject.c_str(), options),
                WildcardMatchGeneral(pattern.c_str(), subject.c_str(), options))
          << "pattern '" << pattern << "' subject '" << subject << "' options " << options;
    }
  }
}

TEST(WildcardMatches, IsTheRuleForm) {
  EXPECT_TRUE(WildcardMatches("*@Example.ORG", "me@example.org"));
  EXPECT_FALSE(WildcardMatches("*", ".hidden@example.org"));
  EXPECT_TRUE(WildcardMatches("*/*", "a/b"));  // no path-name rule
  EXPECT_FALSE(WildcardMatches("a\\", "a"));
}

}  // namespace
}  // namespace fromsel
