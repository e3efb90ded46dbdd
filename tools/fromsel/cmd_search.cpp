// fromsel search: compile a pattern and search a subject, one at a time or
// as JSON Lines from stdin (--batch).
#include <climits>
#include <istream>
#include <ostream>
#include <string>

#include "pattern/regex/compile.h"
#include "pattern/regex/search.h"
#include "tools/fromsel/cli.h"
#include "tools/fromsel/json_lines.h"

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

// One line of --batch input: {"pattern": S, "subject": S, "options": N,
// "start": N, "range": N}, pattern and subject required.
bool ReadRequest(const std::string& line, SearchRequest& request, std::string& reason) {
  JsonReader reader(line);
  bool hasPattern = false, hasSubject = false;
  if (!reader.Expect('{')) return reason = "not a JSON object", false;
  if (!reader.Expect('}')) {
    do {
      std::string key;
      if (!reader.ReadString(key, reason)) return false;
      if (!reader.Expect(':')) return reason = "':' expected", false;
      if (key == "pattern") {
        if (!reader.ReadString(request.pattern, reason)) return false;
        hasPattern = true;
      } else if (key == "subject") {
        if (!reader.ReadString(request.subject, reason)) return false;
        hasSubject = true;
      } else if (key == "options") {
        if (!reader.ReadInteger(request.options, reason)) return false;
      } else if (key == "start") {
        if (!reader.ReadInteger(request.start, reason)) return false;
      } else if (key == "range") {
        if (!reader.ReadInteger(request.range, reason)) return false;
        request.hasRange = true;
      } else {
        return reason = "unknown key " + key, false;
      }
    } while (reader.Expect(','));
    if (!reader.Expect('}')) return reason = "'}' expected", false;
  }
  if (!reader.AtEnd()) return reason = "text after the object", false;
  if (!hasPattern || !hasSubject) return reason = "pattern and subject are required", false;
  if (request.subject.size() > static_cast<std::size_t>(INT_MAX))
    return reason = "subject too long", false;
  if (!FitsInt(request.start) || !FitsInt(request.range) || request.options < 0 ||
      request.options > UINT32_MAX)
    return reason = "number out of range", false;
  return true;
}

std::string BatchLine(const std::string& line) {
  SearchRequest request;
  std::string reason;
  if (!ReadRequest(line, request, reason))
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

// Reads one line (without its LF) of at most MaxBatchLineBytes; false at
// the end of the input. A longer line, or a failed read, is an input error:
// the run never ends early without saying so.
bool ReadBatchLine(std::istream& in, std::string& line, std::size_t number) {
  line.clear();
  std::istream::sentry ready(in, true);
  if (!ready) return false;
  std::streambuf& buffer = *in.rdbuf();
  for (;;) {
    const int c = buffer.sbumpc();
    if (c == std::char_traits<char>::eof()) break;
    if (c == '\n') return true;
    if (line.size() == MaxBatchLineBytes)
      throw CliError{ExitNoInput, "line " + std::to_string(number) + " of standard input is over " +
                                      std::to_string(MaxBatchLineBytes) + " bytes"};
    line.push_back(static_cast<char>(c));
  }
  in.setstate(std::ios::eofbit);
  return !line.empty();
}

int RunBatch(Output& io) {
  std::string line;
  for (std::size_t number = 1; ReadBatchLine(io.in, line, number); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    io.out << BatchLine(line) << "\n";
  }
  if (io.in.bad()) throw CliError{ExitNoInput, "cannot read standard input"};
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
    return ExitCompileError;
  }
  io.out << "result: " << outcome.result << "\n";
  for (std::size_t i = 0; i < outcome.registers.size(); ++i)
    io.out << i << ": " << outcome.registers[i].first << " " << outcome.registers[i].second << "\n";
  if (outcome.result >= 0) return ExitYes;
  return outcome.result == regex::NoMatch ? ExitNo : ExitGaveUp;
}

}  // namespace fromsel::cli
