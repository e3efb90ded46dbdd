#include "pattern/wildcard/brace_expansion.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace fromsel {

namespace {

// Counts stop growing here: one above the limit is enough to refuse.
constexpr std::size_t kSaturated = MaxBraceExpansions + 1;

// Patterns shorter than this build their entries in a stack buffer.
constexpr std::size_t kStackBufferSize = 260;

// Group numbers fit 32 bits: longer patterns than MaxBraceExpansionBytes
// are refused before their groups are numbered.
constexpr std::uint32_t kNoGroup = UINT32_MAX;

std::size_t SaturatingAdd(std::size_t a, std::size_t b) {
  return a + b < kSaturated ? a + b : kSaturated;
}

// Both factors are at most kSaturated, so the product cannot overflow.
std::size_t SaturatingMultiply(std::size_t a, std::size_t b) {
  return a * b < kSaturated ? a * b : kSaturated;
}

// A '{' opens a group only when a '}' closes it, counting nesting; the
// others are plain text. Matching with a stack finds exactly the '}' at
// which the nesting count from each '{' returns to zero.
std::vector<char> FindGroupOpeners(const std::string& pattern) {
  std::vector<char> opens(pattern.size(), 0);
  std::vector<std::size_t> pending;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{') {
      pending.push_back(i);
    } else if (pattern[i] == '}' && !pending.empty()) {
      opens[pending.back()] = 1;
      pending.pop_back();
    }
  }
  return opens;
}

// Where a sequence goes on after the group it is inside of.
struct Resume {
  std::size_t index;
  std::size_t product;
  std::size_t end;
  std::size_t position;
};

struct Alternative {
  std::size_t start;  // first byte
  std::size_t end;    // the ',' or '}' after it
  std::size_t count;  // entries it expands to
};

struct Group {
  std::size_t close = 0;  // position of the '}'
  std::size_t count = 0;  // sum of the alternatives' counts
  std::vector<Alternative> alternatives;
};

// The groups of a pattern and how many entries each part expands to.
// Nesting is followed with an explicit stack, never by recursion: a
// sequence expands to the product of its parts, a group to the sum of its
// alternatives.
struct BraceStructure {
  std::size_t total = 1;
  std::vector<Group> groups;            // in the order of their '{'
  std::vector<std::uint32_t> groupAt;   // group opened at a position, or kNoGroup

  void Analyse(const std::string& pattern, bool keepGroups);
};

void BraceStructure::Analyse(const std::string& pattern, bool keepGroups) {
  const std::vector<char> opens = FindGroupOpeners(pattern);
  if (keepGroups) groupAt.assign(pattern.size(), kNoGroup);

  struct Frame {
    std::size_t sum;       // completed alternatives
    std::size_t product;   // current alternative so far
    std::size_t start;     // start of the current alternative
    std::uint32_t group;   // index in groups when kept
  };
  std::vector<Frame> frames;
  std::size_t topProduct = 1;

  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '{' && opens[i]) {
      std::uint32_t index = kNoGroup;
      if (keepGroups) {
        index = static_cast<std::uint32_t>(groups.size());
        groups.emplace_back();
        groupAt[i] = index;
      }
      frames.push_back(Frame{0, 1, i + 1, index});
    } else if (frames.empty()) {
      // Outside every group ',' and '}' are plain text.
    } else if (c == ',' || c == '}') {
      // Inside a group no unmatched '{' can be open, so this belongs to the
      // innermost group.
      Frame& frame = frames.back();
      frame.sum = SaturatingAdd(frame.sum, frame.product);
      if (keepGroups)
        groups[frame.group].alternatives.push_back(Alternative{frame.start, i, frame.product});
      if (c == ',') {
        frame.product = 1;
        frame.start = i + 1;
        continue;
      }
      const std::size_t groupCount = frame.sum;
      if (keepGroups) {
        groups[frame.group].close = i;
        groups[frame.group].count = groupCount;
      }
      frames.pop_back();
      std::size_t& outer = frames.empty() ? topProduct : frames.back().product;
      outer = SaturatingMultiply(outer, groupCount);
    }
  }
  total = topProduct;
}

// Owns the buffer entries are built in: on the stack for short patterns,
// otherwise pattern length + 1 bytes from the heap.
class EntryBuffer {
 public:
  explicit EntryBuffer(std::size_t patternSize) {
    if (patternSize < kStackBufferSize) {
      data_ = local_;
    } else {
      heap_ = static_cast<char*>(std::malloc(patternSize + 1));
      data_ = heap_;
    }
  }
  ~EntryBuffer() { std::free(heap_); }
  EntryBuffer(const EntryBuffer&) = delete;
  EntryBuffer& operator=(const EntryBuffer&) = delete;

  char* data() const { return data_; }

 private:
  char local_[kStackBufferSize];
  char* heap_ = nullptr;
  char* data_ = nullptr;
};

// Writes entry number `index` (first group varying slowest) into `out` and
// returns its length. A sequence of parts with `product` entries gives its
// first part index / (product / count of that part), and so on; a group
// passes the index on to the alternative it falls into.
std::size_t BuildEntry(const std::string& pattern, const BraceStructure& structure,
                       std::size_t index, std::vector<Resume>& stack, char* out) {
  stack.clear();
  std::size_t product = structure.total;
  std::size_t end = pattern.size();
  std::size_t position = 0;
  std::size_t length = 0;
  for (;;) {
    if (position == end) {
      if (stack.empty()) return length;
      const Resume& resume = stack.back();
      index = resume.index;
      product = resume.product;
      end = resume.end;
      position = resume.position;
      stack.pop_back();
      continue;
    }
    const std::uint32_t groupIndex = structure.groupAt[position];
    if (groupIndex == kNoGroup) {
      out[length++] = pattern[position++];
      continue;
    }
    const Group& group = structure.groups[groupIndex];
    product /= group.count;
    std::size_t part = index / product;
    index %= product;
    stack.push_back(Resume{index, product, end, group.close + 1});
    for (const Alternative& alternative : group.alternatives) {
      if (part < alternative.count) {
        index = part;
        product = alternative.count;
        end = alternative.end;
        position = alternative.start;
        break;
      }
      part -= alternative.count;
    }
  }
}

}  // namespace

std::size_t CountBraceExpansions(const std::string& pattern) {
  try {
    BraceStructure structure;
    structure.Analyse(pattern, false);
    // Divided rather than multiplied: size_t may be 32 bits wide.
    if (pattern.size() > MaxBraceExpansionBytes / structure.total) return kSaturated;
    return structure.total;
  } catch (const std::bad_alloc&) {
    return kSaturated;  // unknown: treat as too many
  }
}

void ExpandBraces(const std::string& pattern, std::vector<std::string>& list) {
  // Counting first keeps a refused pattern cheap to refuse again.
  if (CountBraceExpansions(pattern) > MaxBraceExpansions) return;
  const std::size_t originalSize = list.size();
  try {
    BraceStructure structure;
    structure.Analyse(pattern, true);
    // No entry is longer than the pattern.
    EntryBuffer buffer(pattern.size());
    if (!buffer.data()) return;
    list.reserve(originalSize + structure.total);
    std::vector<Resume> stack;
    for (std::size_t index = 0; index < structure.total; ++index) {
      const std::size_t length = BuildEntry(pattern, structure, index, stack, buffer.data());
      list.emplace_back(buffer.data(), length);
    }
  } catch (const std::bad_alloc&) {
    // Out of memory: leave the list as it was, so the rule simply fails to
    // match and is expanded again next time.
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(originalSize), list.end());
  }
}

}  // namespace fromsel
