#include "handheld/serve_command_line.h"

#include <cstdint>
#include <string_view>

#include "base/text_codec.h"
#include "handheld/dictionary_store.h"
#include "link/socket/default_device_address.h"

namespace lexora::handheld {
namespace {

// A password on the command line would be visible to every user of the machine.
constexpr char kPasswordRefused[] =
    "--password is not taken: a command line is visible to every user; use "
    "--password-file FILE (- for standard input)";

std::optional<int64_t> number(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > (INT64_MAX - 9) / 10) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A PIN that is a number is announced as one, anything else as text.
Variant pinValue(const std::string& text) {
  const std::u16string wide = utf8ToUtf16(text);
  if (auto value = changeTypeToInt32(Variant::fromString(wide))) {
    return Variant::fromInt32(*value);
  }
  return Variant::fromString(wide);
}

enum class Takes { Nothing, Text, Count };

struct ServeOption {
  std::string_view name;
  Takes takes;
  int64_t least;  // the range of a Count
  int64_t most;
  // `text` is the value as given; `count` its number, for a Count.
  void (*apply)(ServeCommandLine& line, const std::string& text, int64_t count);
};

constexpr int64_t kUnbounded = INT64_MAX;

constexpr ServeOption kServeOptions[] = {
    {"--listen", Takes::Text, 0, 0,
     [](ServeCommandLine& line, const std::string& text, int64_t) { line.listen = text; }},
    {"--store", Takes::Text, 0, 0,
     [](ServeCommandLine& line, const std::string& text, int64_t) { line.options.store = text; }},
    {"--password-file", Takes::Text, 0, 0,
     [](ServeCommandLine& line, const std::string& text, int64_t) { line.passwordSource = text; }},
    {"--allow-remote", Takes::Nothing, 0, 0,
     [](ServeCommandLine& line, const std::string&, int64_t) { line.allowRemote = true; }},
    {"--attempts", Takes::Count, 0, INT32_MAX,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.options.attempts = static_cast<int32_t>(count);
     }},
    {"--pin", Takes::Text, 0, 0,
     [](ServeCommandLine& line, const std::string& text, int64_t) {
       line.options.pin = pinValue(text);
     }},
    {"--max-connections", Takes::Count, 1, 100000,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.options.maxConnections = static_cast<size_t>(count);
     }},
    {"--idle-timeout", Takes::Count, 1, 86400,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.options.idleTimeout = std::chrono::seconds(count);
     }},
    {"--max-memory", Takes::Count, 1, 1 << 24,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.options.maxMemoryBytes = static_cast<uint64_t>(count) << 20;
     }},
    {"--no-device", Takes::Nothing, 0, 0,
     [](ServeCommandLine& line, const std::string&, int64_t) { line.faults.noDevice = true; }},
    {"--two-devices", Takes::Nothing, 0, 0,
     [](ServeCommandLine& line, const std::string&, int64_t) { line.faults.twoDevices = true; }},
    {"--refuse-writes", Takes::Nothing, 0, 0,
     [](ServeCommandLine& line, const std::string&, int64_t) { line.faults.refuseWrites = true; }},
    {"--refuse-writes-after", Takes::Count, 0, kUnbounded,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.faults.refuseWrites = true;
       line.faults.refuseWritesAfter = count;
     }},
    {"--no-ack", Takes::Nothing, 0, 0,
     [](ServeCommandLine& line, const std::string&, int64_t) {
       line.faults.ackFault = FaultPlan::AckFault::NoAck;
     }},
    {"--ack-type", Takes::Count, 0, 255,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.faults.ackFault = FaultPlan::AckFault::WrongType;
       line.faults.wrongAckType = static_cast<uint8_t>(count);
     }},
    {"--short-ack", Takes::Nothing, 0, 0,
     [](ServeCommandLine& line, const std::string&, int64_t) {
       line.faults.ackFault = FaultPlan::AckFault::Short;
     }},
    {"--long-ack", Takes::Nothing, 0, 0,
     [](ServeCommandLine& line, const std::string&, int64_t) {
       line.faults.ackFault = FaultPlan::AckFault::Overlong;
     }},
    {"--fault-at", Takes::Count, 1, kUnbounded,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.faults.faultFirst = line.faults.faultLast = count;
     }},
    {"--fault-from", Takes::Count, 1, kUnbounded,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.faults.faultFirst = count;
     }},
    {"--close-after", Takes::Count, 1, kUnbounded,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.faults.closeAfter = count;
     }},
    {"--ack-delay", Takes::Count, 0, 600000,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.faults.ackDelayMs = static_cast<int>(count);
     }},
    {"--gather-end-flags", Takes::Count, 1, 100000,
     [](ServeCommandLine& line, const std::string&, int64_t count) {
       line.faults.gatherEndFlags = static_cast<size_t>(count);
     }},
    {"--predictable-temp-names", Takes::Nothing, 0, 0,
     [](ServeCommandLine& line, const std::string&, int64_t) {
       line.faults.predictableTempNames = true;
     }},
};

const ServeOption* findServeOption(std::string_view word) {
  for (const ServeOption& known : kServeOptions) {
    if (word == known.name) return &known;
  }
  return nullptr;
}

}  // namespace

std::optional<ServeCommandLine> parseServeCommandLine(const std::vector<std::string>& args,
                                                      std::string& error) {
  ServeCommandLine line;
  line.listen = defaultDeviceAddress();
  line.options.store = DictionaryStore::defaultDirectory();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--password") {
      error = kPasswordRefused;
      return std::nullopt;
    }
    const ServeOption* known = findServeOption(word);
    std::string text;
    std::optional<int64_t> count;
    bool valid = known != nullptr;
    if (valid && known->takes != Takes::Nothing) {
      valid = i + 1 < args.size();
      if (valid) text = args[++i];
    }
    if (valid && known->takes == Takes::Count) {
      count = number(text);
      valid = count && *count >= known->least && *count <= known->most;
    }
    if (!valid) {
      error = "serve: bad option or value " + word;
      return std::nullopt;
    }
    known->apply(line, text, count.value_or(0));
  }
  return line;
}

}  // namespace lexora::handheld
