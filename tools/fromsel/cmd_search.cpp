// fromsel search: compile a pattern and search a subject, one at a time or
// as JSON Lines from stdin (--batch).
#include <climits>
#include <cstdio>
#include <istream>
#include <ostream>
#include <string>

#include "pattern/regex/compile.h"
#include "pattern/regex/search.h"
#include "tools/fromsel/cli.h"

namespace fromsel::cli {

namespace {

struct SearchRequest {
  std::string pattern;
  std::string subject;
  std::int64_t options = 0;
  std::int64_t start = 0;
  std::int64_t range = 0;
  bool hasRange = false;
};

struct SearchOutcome {
  std::string error;  // compile error text; empty when compiled
  int result = regex::NoMatch;
  std::vector<std::pair<int, int>> registers;
};

SearchOutcome RunSearchRequest(const SearchRequest& request) {
  regex::InstallCaseTable();
  SearchOutcome outcome;
  const regex::RegexProgramOwner program(static_cast<std::uint32_t>(request.options));
  if (!program) {
    outcome.error = "memory exhausted";
    return outcome;
  }
  if (const char* error =
          regex::CompileRegex(request.pattern.data(), request.pattern.size(), *program)) {
    outcome.error = error;
    return outcome;
  }
  const int size = static_cast<int>(request.subject.size());
  const std::int64_t range = request.hasRange ? request.range : size - request.start;
  regex::RegexRegistersOwner registers;
  outcome.result = regex::SearchRegex(*program, request.subject.data(), size,
                                      static_cast<int>(request.start), static_cast<int>(range),
                                      &registers.get());
  if (outcome.result >= 0) {
    for (int i = 0; i < program->registerCount; ++i)
      outcome.registers.emplace_back(registers.get().startOffsets[i],
                                     registers.get().endOffsets[i]);
  }
  return outcome;
}

bool FitsInt(std::int64_t value) { return value >= INT_MIN && value <= INT_MAX; }

// --- JSON Lines: strings whose code points U+0000..U+00FF are bytes. ---

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  // Reads {"key": value, ...} into the request; false with a reason on error.
  bool ReadRequest(SearchRequest& request, std::string& reason);

 private:
  void SkipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r'))
      ++at_;
  }
  bool Expect(char c) {
    SkipBlanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool ReadString(std::string& out, std::string& reason);
  bool ReadCodePoint(std::uint32_t& cp, std::string& reason);
  bool ReadHex4(std::uint32_t& value);
  bool ReadInteger(std::int64_t& out, std::string& reason);

  const std::string& text_;
  std::size_t at_ = 0;
};

bool JsonReader::ReadHex4(std::uint32_t& value) {
  if (text_.size() - at_ < 4) return false;
  value = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = text_[at_++];
    value <<= 4;
    if (c >= '0' && c <= '9') value |= static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f') value |= static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') value |= static_cast<std::uint32_t>(c - 'A' + 10);
    else return false;
  }
  return true;
}

// One code point of a string body: an escape or a UTF-8 sequence.
bool JsonReader::ReadCodePoint(std::uint32_t& cp, std::string& reason) {
  const auto byte = static_cast<unsigned char>(text_[at_++]);
  if (byte == '\\') {
    if (at_ >= text_.size()) return reason = "unterminated string", false;
    const char e = text_[at_++];
    switch (e) {
      case '"': cp = '"'; return true;
      case '\\': cp = '\\'; return true;
      case '/': cp = '/'; return true;
      case 'b': cp = 0x08; return true;
      case 'f': cp = 0x0C; return true;
      case 'n': cp = 0x0A; return true;
      case 'r': cp = 0x0D; return true;
      case 't': cp = 0x09; return true;
      case 'u':
        if (!ReadHex4(cp)) return reason = "malformed \\u escape", false;
        return true;
      default:
        return reason = "unknown escape", false;
    }
  }
  if (byte < 0x20) return reason = "control character in string", false;
  if (byte < 0x80) {
    cp = byte;
    return true;
  }
  // UTF-8: the lead byte tells how many continuation bytes follow.
  int more = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
  if (more < 0 || byte >= 0xF8) return reason = "malformed UTF-8", false;
  cp = byte & (0x3F >> more);
  for (; more > 0; --more) {
    if (at_ >= text_.size()) return reason = "malformed UTF-8", false;
    const auto next = static_cast<unsigned char>(text_[at_++]);
    if ((next & 0xC0) != 0x80) return reason = "malformed UTF-8", false;
    cp = (cp << 6) | (next & 0x3F);
  }
  return true;
}

bool JsonReader::ReadString(std::string& out, std::string& reason) {
  if (!Expect('"')) return reason = "string expected", false;
  out.clear();
  while (at_ < text_.size() && text_[at_] != '"') {
    std::uint32_t cp = 0;
    if (!ReadCodePoint(cp, reason)) return false;
    if (cp > 0xFF) return reason = "code point above U+00FF", false;
    out += static_cast<char>(cp);
  }
  if (at_ >= text_.size()) return reason = "unterminated string", false;
  ++at_;
  return true;
}

bool JsonReader::ReadInteger(std::int64_t& out, std::string& reason) {
  SkipBlanks();
  const bool negative = at_ < text_.size() && text_[at_] == '-';
  if (negative) ++at_;
  // Wide enough for every option word and offset, narrow enough not to overflow.
  constexpr std::int64_t kMaxMagnitude = std::int64_t{1} << 40;
  std::int64_t value = 0;
  const std::size_t first = at_;
  while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
    value = value * 10 + (text_[at_++] - '0');
    if (value > kMaxMagnitude) return reason = "number too large", false;
  }
  if (at_ == first) return reason = "integer expected", false;
  if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E'))
    return reason = "integer expected", false;
  out = negative ? -value : value;
  return true;
}

bool JsonReader::ReadRequest(SearchRequest& request, std::string& reason) {
  bool hasPattern = false, hasSubject = false;
  if (!Expect('{')) return reason = "not a JSON object", false;
  if (!Expect('}')) {
    do {
      std::string key;
      if (!ReadString(key, reason)) return false;
      if (!Expect(':')) return reason = "':' expected", false;
      if (key == "pattern") {
        if (!ReadString(request.pattern, reason)) return false;
        hasPattern = true;
      } else if (key == "subject") {
        if (!ReadString(request.subject, reason)) return false;
        hasSubject = true;
      } else if (key == "options") {
        if (!ReadInteger(request.options, reason)) return false;
      } else if (key == "start") {
        if (!ReadInteger(request.start, reason)) return false;
      } else if (key == "range") {
        if (!ReadInteger(request.range, reason)) return false;
        request.hasRange = true;
      } else {
        return reason = "unknown key " + key, false;
      }
    } while (Expect(','));
    if (!Expect('}')) return reason = "'}' expected", false;
  }
  SkipBlanks();
  if (at_ != text_.size()) return reason = "text after the object", false;
  if (!hasPattern || !hasSubject) return reason = "pattern and subject are required", false;
  if (request.subject.size() > static_cast<std::size_t>(INT_MAX))
    return reason = "subject too long", false;
  if (!FitsInt(request.start) || !FitsInt(request.range) || request.options < 0 ||
      request.options > UINT32_MAX)
    return reason = "number out of range", false;
  return true;
}

// A JSON string whose code points stand for the bytes; ASCII output only.
std::string JsonString(const std::string& bytes) {
  std::string out = "\"";
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string BatchLine(const std::string& line) {
  SearchRequest request;
  std::string reason;
  JsonReader reader(line);
  if (!reader.ReadRequest(request, reason))
    return "{\"error\": " + JsonString("bad input: " + reason) + "}";
  const SearchOutcome outcome = RunSearchRequest(request);
  if (!outcome.error.empty()) return "{\"error\": " + JsonString(outcome.error) + "}";
  std::string out = "{\"result\": " + std::to_string(outcome.result) + ", \"registers\": [";
  for (std::size_t i = 0; i < outcome.registers.size(); ++i) {
    if (i > 0) out += ", ";
    out += "[" + std::to_string(outcome.registers[i].first) + ", " +
           std::to_string(outcome.registers[i].second) + "]";
  }
  return out + "]}";
}

int RunBatch(Output& io) {
  std::string line;
  while (std::getline(io.in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    io.out << BatchLine(line) << "\n";
  }
  return ExitYes;
}

}  // namespace

int RunSearch(Arguments& args, Output& io) {
  if (args.TakeFlag("--batch")) {
    args.Positionals(0, 0);
    return RunBatch(io);
  }
  SearchRequest request;
  request.options = args.TakeNumber("--options", 0);
  request.start = args.TakeNumber("--start", 0);
  std::string rangeText;
  if (args.TakeOption("--range", rangeText)) {
    request.range = ParseNumber(rangeText, "--range");
    request.hasRange = true;
  }
  const std::vector<std::string> positionals = args.Positionals(2, 2);
  request.pattern = args.Bytes(positionals[0]);
  request.subject = args.Bytes(positionals[1]);
  if (request.options < 0 || request.options > UINT32_MAX)
    throw CliError{ExitUsage, "option word out of range"};
  if (!FitsInt(request.start) || !FitsInt(request.range) ||
      request.subject.size() > static_cast<std::size_t>(INT_MAX))
    throw CliError{ExitUsage, "start or range out of range"};

  const SearchOutcome outcome = RunSearchRequest(request);
  if (!outcome.error.empty()) {
    io.out << "error: " << outcome.error << "\n";
    return 3;
  }
  io.out << "result: " << outcome.result << "\n";
  for (std::size_t i = 0; i < outcome.registers.size(); ++i)
    io.out << i << ": " << outcome.registers[i].first << " " << outcome.registers[i].second << "\n";
  if (outcome.result >= 0) return ExitYes;
  return outcome.result == regex::NoMatch ? ExitNo : 2;
}

}  // namespace fromsel::cli
